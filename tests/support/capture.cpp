#include "support/capture.h"

namespace {
PrintCapture *current = nullptr;
}

PrintCapture::PrintCapture() : outer_(current), previous_(g_set_print_handler(&handler)) {
  current = this;
}

PrintCapture::~PrintCapture() {
  current = outer_;
  g_set_print_handler(previous_);
}

void PrintCapture::handler(const gchar *s) {
  if (current) current->text_ += s;
}

int PrintCapture::count(const std::string &needle) const {
  int n = 0;
  for (std::size_t p = text_.find(needle); p != std::string::npos;
       p = text_.find(needle, p + needle.size()))
    n++;
  return n;
}
