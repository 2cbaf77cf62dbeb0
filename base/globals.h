// The editor's whole state: process-wide variables, defined once in globals.cpp.
//
// The misspelt names (mv_size_widht, mv_size_heigth, statas_area,
// color_paret_view_fg, pl_x_nomber, ...) are deliberate: they are the
// program's established names, and the traces and tests use them. Do not
// "fix" them.
#pragma once

// The widget handles are only stored here; the toolkit's headers stay out
// of the layers that need none (the document format, the exporter).
typedef struct _GtkWidget GtkWidget;

// Largest canvas side accepted from documents and the size dialog, in cells.
// 2048 cells at scale 10 still fit the X11 coordinate range of the drawing area.
constexpr int kMaxCanvasSide = 2048;
// Size of the document name buffer, in bytes, terminating NUL included.
constexpr int kFileNameSize = 4096;
// Size of the buffers in which titles and prompt labels are built, in bytes.
constexpr int kTextBufSize = 1024;
// What the main window adds around the visible canvas, in screen units: its
// default size is 64 cells plus these, and the visible cells are worked out
// from its size less these.
constexpr int kWindowExtraWidth = 3;
constexpr int kWindowExtraHeight = 27;

// Canvas, display and cell buffers
extern int dot_size;           // edge of one cell on screen, in screen units (2 to 10)
extern int mv_size_widht;      // canvas width, in cells
extern int mv_size_heigth;     // canvas height, in cells
extern int *px_cnvs;           // the picture: r, g, b per cell, row-major
extern int *px_cnvs_vtl;       // the overlay of shape previews; white where empty
extern unsigned long px_cnvs_changes; // cell changes of the picture so far; snapshots follow it
extern int now_window_left;    // first visible column, in cells, inclusive
extern int now_window_right;   // last visible column, in cells, inclusive
extern int now_window_top;     // first visible row, in cells, inclusive
extern int now_window_bottom;  // last visible row, in cells, inclusive

// Tools and colour
extern int now_tool;           // code of the current tool: 1 dot ... 7 fill, 9 picker
extern int now_rgb[3];         // current colour: red, green, blue, 0 to 255
extern int m_b_e;              // last button pressed on the canvas; minus it once released
extern int tool_line_start;    // 1 while the line tool holds its first point
extern int tool_box_start;     // 1 while the square or rectangle tool holds its first corner
extern int tool_circle_start;  // 1 while the circle or ellipse tool holds its centre
extern int line_x, line_y;     // first point of the line tool, in cells
extern int box_x, box_y;       // first box corner, or circle/ellipse centre, in cells
extern int px_old_x, px_old_y; // pointer at the previous cell change, in screen units
extern int tz;                 // motion events since the last periodic full repaint

// Document
extern char now_file_name[kFileNameSize]; // path of the document, or the untitled name
extern int save_fg;            // 1 while the picture has unsaved changes
extern int start_fg;           // 1 while the document has no file of its own

// Windows and dialogs. `window` and `px_main_window` are the same main
// window: `window` from the moment it is created (the menu bar attaches its
// accelerators to it while it is built), `px_main_window` once it is complete
// (the parent of dialogs and the target of title updates).
extern GtkWidget *window;              // the main window, as created
extern GtkWidget *px_main_window;      // the main window once complete
extern GtkWidget *drawing_area;        // the canvas drawing area
extern GtkWidget *g_scroll_window;     // the scrolled window around the canvas
extern GtkWidget *statas_area;         // the status-line drawing area
extern GtkWidget *tool_bar_window;     // the tool-bar window
extern GtkWidget *cp_main_window;      // the palette window
extern GtkWidget *preview_window;      // the preview window
extern GtkWidget *change_dialog;       // the canvas-size dialog
extern GtkWidget *entry_width;         // its width entry
extern GtkWidget *entry_height;        // its height entry
extern GtkWidget *change_scale_dialog; // the display-scale dialog
extern GtkWidget *entry_size;          // its scale entry

// View flags: 1 while the window is open
extern int tool_bar_view_fg;     // tool bar
extern int color_paret_view_fg;  // palette
extern int preview_fg;           // preview

// Palette
extern int *pl_main;      // palette table, pl_x_nomber x pl_y_nomber colours; null until drawn
extern int pl_dot_size;   // edge of one swatch, in screen units
extern int pl_x_nomber;   // palette columns
extern int pl_y_nomber;   // palette rows

// The untitled document's name.
extern const char *const kUntitledName;
