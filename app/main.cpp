#include <cstdio>
#include <cstring>

#include <gtk/gtk.h>

#include "app/startup.h"

namespace {
constexpr const char *kHelp =
    "使い方: koma [GTK のオプション] [FILE.koma]\n"
    "\n"
    "ドット絵エディタ KOMA を起動します。引数が FILE.koma 一つだけのときは、\n"
    "その文書を開きます。--display=DISPLAY などの GTK のオプションも使えます。\n"
    "\n"
    "  --help      この説明を表示する\n"
    "  --version   版を表示する\n";

// --help and --version are answered before the toolkit starts, so that they
// work without a display. Arguments after "--" are never options.
bool answered_option(int argc, char **argv) {
  for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; i++) {
    if (std::strcmp(argv[i], "--help") == 0) return std::fputs(kHelp, stdout), true;
    if (std::strcmp(argv[i], "--version") == 0) return std::printf("koma %s\n", KOMA_VERSION), true;
  }
  return false;
}
}  // namespace

int main(int argc, char **argv) {
  if (answered_option(argc, argv)) return 0;
  gtk_set_locale();
  gtk_init(&argc, &argv);  // removes the toolkit's own options from argv
  koma_start(argc, argv);
  gtk_main();
  return 0;
}
