#include <cstring>
#include <string>

#include <glib.h>
#include <gtest/gtest.h>

#include "app/globals.h"
#include "app/main_window.h"
#include "app/text.h"
#include "support/state.h"

TEST(Title, UntitledWithAndWithoutSize) {
  reset_editor_state(64, 64);
  char buf[kTextBufSize];
  px_make_title(buf, sizeof buf, true);
  EXPECT_STREQ(buf, "KOMA ver 1.0:無題.koma  ( 64 x 64 )");
  px_make_title(buf, sizeof buf, false);
  EXPECT_STREQ(buf, "KOMA ver 1.0:無題.koma");
}

TEST(Title, LongNamesAreCutBetweenCharactersAndKeepTheSize) {
  reset_editor_state(3, 2);
  for (const char *unit : {"a", "あ", "é"}) {
    std::string name;
    while (name.size() + std::strlen(unit) < kFileNameSize) name += unit;
    utf8_copy(now_file_name, sizeof now_file_name, name.c_str());
    char buf[kTextBufSize];
    px_make_title(buf, sizeof buf, true);
    const std::string title = buf;
    EXPECT_LT(title.size(), sizeof buf);
    EXPECT_GT(title.size(), sizeof buf - 8);
    EXPECT_TRUE(g_utf8_validate(buf, -1, nullptr)) << unit;
    EXPECT_EQ(title.rfind("KOMA ver 1.0:", 0), 0u);
    EXPECT_EQ(title.substr(title.size() - 11), "  ( 3 x 2 )");
  }
}

TEST(Text, Utf8CopyNeverSplitsACharacter) {
  char small[5];
  utf8_copy(small, sizeof small, "あい");  // 6 bytes: only the first character fits
  EXPECT_STREQ(small, "あ");
  utf8_copy(small, sizeof small, "abcd");
  EXPECT_STREQ(small, "abcd");
  utf8_copy(small, sizeof small, "abcde");
  EXPECT_STREQ(small, "abcd");
}
