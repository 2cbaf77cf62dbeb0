#include "tools/tool_select.h"

#include <gtest/gtest.h>

#include "app/globals.h"

TEST(ToolSelect, NamesEveryToolAndNothingForOtherCodes) {
  const char *names[] = {"",     "点",   "線", "正方形",   "長方形", "丸",
                         "楕円", "塗り", "",   "スポイト", ""};
  for (int code = 0; code <= 10; code++) {
    char buf[kToolNameSize];
    now_tool = code;
    px_get_nowtool_str(buf);
    EXPECT_STREQ(buf, names[code]) << code;
  }
}
