#include "files/export.h"

#include <string>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "support/capture.h"

TEST(ExportName, ExtensionOfTheFileItselfIsReplaced) {
  std::string stem = "/d.d/";  // a name longer than the buffer is cut between characters
  for (int i = 0; i < 337; i++) stem += "あ";
  struct Case { std::string doc; const char *ext; std::string want, traces; };
  const Case cases[] = {
      {"無題.koma", ".bmp", "無題.bmp", "l=11\nl=6\n\n無題\n"},
      {"/home/u/pic.koma", ".png", "/home/u/pic.png", "l=16\nl=11\n\n/home/u/pic\n"},
      {"pic", ".jpeg", "pic.jpeg", "l=3\nl=-1\n\npic\n"},
      {"/home/u.v/pic", ".bmp", "/home/u.v/pic.bmp", "l=13\nl=-1\n\n/home/u.v/pic\n"},
      {stem + "あああ.koma", ".jpeg", stem + ".jpeg", "l=1022\nl=-1\n\n" + stem + "\n"},
  };
  for (const Case &c : cases) {
    PrintCapture out;
    char buf[kTextBufSize];
    export_suggested_name(buf, sizeof buf, c.doc.c_str(), c.ext);
    EXPECT_EQ(buf, c.want) << c.doc;
    EXPECT_EQ(out.text(), c.traces) << c.doc;
  }
}
