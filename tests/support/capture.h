// Captures everything printed through g_print while it is alive.
#pragma once

#include <string>

#include <glib.h>

class PrintCapture {
 public:
  PrintCapture();
  ~PrintCapture();
  PrintCapture(const PrintCapture &) = delete;
  PrintCapture &operator=(const PrintCapture &) = delete;

  const std::string &text() const { return text_; }
  void clear() { text_.clear(); }
  // Number of times `needle` occurs in the captured text.
  int count(const std::string &needle) const;

 private:
  static void handler(const gchar *s);
  std::string text_;
  PrintCapture *outer_;
  GPrintFunc previous_;
};
