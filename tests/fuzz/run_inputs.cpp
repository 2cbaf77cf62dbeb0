// Runs the fuzz target once on each file named on the command line, as
// libFuzzer would, for builds without libFuzzer. Exits 1 when a file cannot
// be read; a failed check in the target aborts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

int main(int argc, char **argv) {
  for (int i = 1; i < argc; i++) {
    std::ifstream in(argv[i], std::ios::binary);
    if (!in) return std::fprintf(stderr, "cannot read %s\n", argv[i]), 1;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size());
  }
  std::printf("%d inputs\n", argc - 1);
  return 0;
}
