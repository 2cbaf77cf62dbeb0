#include <cstring>
#include <string>

#include <glib.h>
#include <gtest/gtest.h>

#include "app/globals.h"
#include "app/main_window.h"
#include "app/text.h"
#include "support/state.h"

TEST(Title, CarriesNameAndSizeAndCutsLongNamesBetweenCharacters) {
  reset_editor_state(3, 2);
  char buf[kTextBufSize];
  px_make_title(buf, sizeof buf, true);
  EXPECT_STREQ(buf, "KOMA ver 1.0:無題.koma  ( 3 x 2 )");
  px_make_title(buf, sizeof buf, false);
  EXPECT_STREQ(buf, "KOMA ver 1.0:無題.koma");
  for (const char *unit : {"a", "あ", "é"}) {
    std::string name;
    while (name.size() + std::strlen(unit) < kFileNameSize) name += unit;
    utf8_copy(now_file_name, sizeof now_file_name, name.c_str());
    px_make_title(buf, sizeof buf, true);
    const std::string title = buf;
    EXPECT_GT(title.size(), sizeof buf - 4) << unit;
    EXPECT_TRUE(g_utf8_validate(buf, -1, nullptr)) << unit;
    EXPECT_EQ(title.substr(title.size() - 11), "  ( 3 x 2 )");
  }
  char small[5];
  utf8_copy(small, sizeof small, "あい");  // 6 bytes: only the first character fits
  EXPECT_STREQ(small, "あ");
}
