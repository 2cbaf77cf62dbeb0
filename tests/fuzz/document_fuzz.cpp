// libFuzzer target for the document parser: any bytes must parse without
// undefined behaviour, the result must be consistent, and a complete
// document written out again must read back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/globals.h"
#include "files/document.h"

namespace {
void check(bool ok) {
  if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  KomaDoc doc;
  const bool loads = koma_parse(reinterpret_cast<const char *>(data), size, &doc);
  check(loads == (doc.status == KomaStatus::Complete || doc.status == KomaStatus::Incomplete));
  if (!loads) {
    check(doc.cells.empty());
    return 0;
  }
  check(doc.width >= 0 && doc.height >= 0);
  check(doc.width <= kMaxCanvasSide && doc.height <= kMaxCanvasSide);
  const std::size_t cells = std::size_t(doc.width) * std::size_t(doc.height);
  check(doc.cells.size() % 3 == 0 && doc.cells.size() / 3 <= cells);
  check((doc.status == KomaStatus::Complete) == (doc.cells.size() / 3 == cells));
  if (doc.status != KomaStatus::Complete) return 0;

  const std::string bytes = koma_format(doc.width, doc.height, doc.cells.data());
  KomaDoc again;
  check(koma_parse(bytes.data(), bytes.size(), &again));
  check(again.status == KomaStatus::Complete);
  check(again.width == doc.width && again.height == doc.height);
  check(again.cells == doc.cells);
  return 0;
}
