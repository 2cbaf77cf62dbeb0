#include "files/export.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "app/globals.h"
#include "support/capture.h"

TEST(ExportName, ExtensionOfTheFileItselfIsReplaced) {
  struct Case {
    const char *doc, *ext, *want, *traces;
  };
  const Case cases[] = {
      {"無題.koma", ".bmp", "無題.bmp", "l=11\nl=6\n\n無題\n"},
      {"無題.koma", ".png", "無題.png", "l=11\nl=6\n\n無題\n"},
      {"無題.koma", ".jpeg", "無題.jpeg", "l=11\nl=6\n\n無題\n"},
      {"/home/u/pic.koma", ".bmp", "/home/u/pic.bmp", "l=16\nl=11\n\n/home/u/pic\n"},
      {"/home/u/pic", ".png", "/home/u/pic.png", "l=11\nl=-1\n\n/home/u/pic\n"},
      {"pic", ".jpeg", "pic.jpeg", "l=3\nl=-1\n\npic\n"},
      // A "." in a folder name is not an extension.
      {"/home/u.v/pic", ".bmp", "/home/u.v/pic.bmp", "l=13\nl=-1\n\n/home/u.v/pic\n"},
      {"/home/u.v/a.b.koma", ".png", "/home/u.v/a.b.png", "l=18\nl=13\n\n/home/u.v/a.b\n"},
      {"/a.b/", ".bmp", "/a.b/.bmp", "l=5\nl=-1\n\n/a.b/\n"},
      {"", ".bmp", ".bmp", "l=0\nl=-1\n\n\n"},
  };
  for (const Case &c : cases) {
    PrintCapture out;
    char buf[kTextBufSize];
    export_suggested_name(buf, sizeof buf, c.doc, c.ext);
    EXPECT_STREQ(buf, c.want) << c.doc;
    EXPECT_EQ(out.text(), c.traces) << c.doc;
  }
}

TEST(ExportName, LongNamesAreCutBetweenCharactersAndKeepTheExtension) {
  struct Case {
    const char *unit;
    int copied;      // bytes of the document name that fit the 1024-byte buffer
    std::size_t got; // length of the suggested name, extension included
  };
  // "/d.d/" and then one character repeated up to the document buffer's size.
  const Case cases[] = {{"a", 1023, 1023}, {"あ", 1022, 1021}, {"é", 1023, 1022}};
  for (const Case &c : cases) {
    for (const char *tail : {"", ".koma"}) {
      std::string doc = "/d.d/";
      while (doc.size() + std::strlen(c.unit) + std::strlen(tail) < kFileNameSize)
        doc += c.unit;
      doc += tail;
      PrintCapture out;
      char buf[kTextBufSize];
      export_suggested_name(buf, sizeof buf, doc.c_str(), ".jpeg");
      const std::string got = buf;
      ASSERT_EQ(got.size(), c.got) << c.unit;
      EXPECT_TRUE(g_utf8_validate(buf, -1, nullptr)) << c.unit;
      EXPECT_EQ(got.substr(got.size() - 5), ".jpeg");
      const std::string stem = got.substr(0, got.size() - 5);
      EXPECT_EQ(doc.compare(0, stem.size(), stem), 0) << "starts like the document's name";
      // The document's own "." lies beyond the copy.
      EXPECT_EQ(out.text(), "l=" + std::to_string(c.copied) + "\nl=-1\n\n" + stem + "\n");
    }
  }
}
