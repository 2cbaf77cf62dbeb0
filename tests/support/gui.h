// Fixture and helpers for tests that build the real windows under X.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "support/support.h"

// Runs pending toolkit work until nothing is left, then waits `ms` for the
// X server and runs it again.
void pump(int ms = 0);
// Destroys every top-level window of the toolkit.
void destroy_all_windows();

// Real GDK events delivered through the toolkit's event dispatch.
void send_button(GtkWidget *w, GdkEventType type, double x, double y, guint button);
void click(GtkWidget *w, double x, double y, guint button = 1);  // press + release
void send_motion(GtkWidget *w, double x, double y);
void send_scroll(GtkWidget *w, GdkScrollDirection direction);
void send_key(GtkWidget *w, guint keyval, GdkModifierType state);
void send_delete(GtkWidget *toplevel);

// Pixels of `w`'s window read back from the X server (caller unrefs).
GdkPixbuf *read_pixels(GtkWidget *w, int x, int y, int width, int height);
// Colour of one pixel of `w`'s window as 0xRRGGBB.
guint32 pixel_at(GtkWidget *w, int x, int y);

// Bits per pixel of the default screen's visual.
int screen_depth();
// For tests whose expected pixels are those of a 24-bit screen.
#define SKIP_UNLESS_24_BIT()                                                          \
  if (screen_depth() != 24)                                                           \
  GTEST_SKIP() << "compares exact 24-bit pixels; this screen has " << screen_depth() \
               << " bits"

// Runs `answer` from a timeout once a new dialog (a chooser too, not a window
// the editor builds meanwhile) has appeared; `answer` receives it.
void answer_next_dialog(std::function<void(GtkWidget *)> answer);
// Finds the first descendant of `w` of the given type whose label (for a
// button or a label) equals `label`, or the first of that type if label is null.
GtkWidget *find_widget(GtkWidget *w, GType type, const char *label = nullptr);

// Answers the next dialogs in turn from `steps`. The prompt (its text checked):
// "gtk-yes", "gtk-no" or "close". A chooser, its title traced: "" cancels, a path
// is taken, "gone:PATH" also removes PATH's folder. The size dialog: "W H", after
// 2049 and -1, whose refusals are traced. The scale dialog: the scale.
void answer(std::vector<std::string> steps, std::size_t i = 0);
// Runs `command` from the main loop, as the toolkit runs a menu command, and
// returns once it has; true if the command ended the main loop.
bool run_command(std::function<void()> command);
// Activates the menu item `item` (a close request if "") from the main loop, its dialogs
// answered from `steps`: the traces less the canvas's redraws, "[main loop ended]" if it ended.
std::string run(const char *item, std::vector<std::string> steps = {});

// Starts the editor anew in a fresh editor state, as the program does with `document`
// (if any) on its command line, and runs the toolkit until the canvas is on the screen.
void start_editor(std::string document = "");

// A test's child program: the GUI test program run again with
// kTestChildVariable set, which calls this instead of running the tests.
constexpr const char *kTestChildVariable = "KOMA_TEST_CHILD";
extern int (*gui_test_child)(int argc, char **argv);

// Builds the start-up windows in a fresh editor state, as the program does.
class GuiTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};
