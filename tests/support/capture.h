// Captures everything printed through g_print while it is alive.
#pragma once

#include <string>

#include <glib.h>

class PrintCapture {
 public:
  PrintCapture() : outer_(now()), previous_(g_set_print_handler([](const gchar *s) { now()->text_ += s; })) { now() = this; }
  ~PrintCapture() { now() = outer_, g_set_print_handler(previous_); }
  PrintCapture(const PrintCapture &) = delete;
  PrintCapture &operator=(const PrintCapture &) = delete;

  const std::string &text() const { return text_; }
  int count(const std::string &needle) const {  // occurrences of `needle`
    int n = 0;
    for (std::size_t p = text_.find(needle); p != std::string::npos; p = text_.find(needle, p + needle.size())) n++;
    return n;
  }

 private:
  static PrintCapture *&now() { static PrintCapture *current = nullptr; return current; }
  std::string text_;
  PrintCapture *outer_;
  GPrintFunc previous_;
};
