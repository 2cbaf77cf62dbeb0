// Times one of the program's own operations in-process and prints the
// median of several runs in milliseconds, for bench/compare.sh.
//   koma_time gen SIDE DIR          writes DIR/picture.koma and DIR/picture.ppm
//   koma_time open FILE RUNS        opening a document (parse and apply)
//   koma_time save FILE OUT RUNS    saving the opened FILE as OUT
//   koma_time bmp FILE OUT RUNS     BMP export of FILE (traces to standard output)
//   koma_time start KOMA RUNS [DOC] the program KOMA started (with DOC) until its
//                                   canvas is painted: its first "Main_View_Draw"
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <clocale>
#include <cstring>
#include <string>
#include <vector>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <glib.h>

#include "app/file_commands.h"
#include "app/load_save.h"
#include "base/globals.h"
#include "bench/bench_pictures.h"
#include "canvas/cells.h"
#include "files/bmp_write.h"
#include "files/document.h"

namespace {

template <typename Fn, typename Before = void (*)()>
double median_ms(int runs, Fn fn, Before before = [] {}) {
  std::vector<double> ms;
  for (int i = 0; i < runs; i++) {
    before();
    const auto t0 = std::chrono::steady_clock::now();
    fn();
    const auto t1 = std::chrono::steady_clock::now();
    ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

int usage() {
  std::fprintf(stderr, "usage: koma_time gen SIDE DIR | open FILE RUNS | save FILE OUT RUNS | "
                       "bmp FILE OUT RUNS\n");
  return 2;
}

// Wall time from starting `koma` (with `doc` unless empty) to its first
// exposure of the canvas, which it reports once the cells are on the screen.
double start_ms(const char *koma, const char *doc) {
  int out[2];
  if (pipe(out) != 0) return -1;
  const auto t0 = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    execl(koma, koma, doc && *doc ? doc : static_cast<char *>(nullptr), static_cast<char *>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string seen;
  char buf[4096];
  double ms = -1;
  for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;) {
    seen.append(buf, n);
    if (seen.find("Main_View_Draw\n") != std::string::npos) {
      ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
      break;
    }
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  close(out[0]);
  return ms;
}

// Times are reported on standard error so that traces on standard output
// can be discarded without losing them.
void report(double ms) { std::fprintf(stderr, "%.3f\n", ms); }

}  // namespace

int main(int argc, char **argv) {
  setlocale(LC_ALL, "");  // as the program does: traces then go out unconverted
  if (argc < 3) return usage();
  const std::string cmd = argv[1];
  if (cmd == "gen" && argc == 4) {
    const int side = std::atoi(argv[2]);
    const std::string dir = argv[3];
    const std::string koma = bench_koma_text(side, side), ppm = bench_ppm_text(side, side);
    return g_file_set_contents((dir + "/picture.koma").c_str(), koma.data(), koma.size(),
                               nullptr) &&
                   g_file_set_contents((dir + "/picture.ppm").c_str(), ppm.data(), ppm.size(),
                                       nullptr)
               ? 0
               : 1;
  }
  if (cmd == "open" && argc == 4) {
    // Each open starts from the start-up canvas, as in a fresh editor.
    report(median_ms(std::atoi(argv[3]), [&] { px_open(argv[2]); },
                     [] { cnvs_allocate(64, 64, true, "error"); }));
    return 0;
  }
  if ((cmd == "save" || cmd == "bmp") && argc == 5) {
    px_open(argv[2]);
    if (cmd == "save") {
      g_strlcpy(now_file_name, argv[3], sizeof now_file_name);
      report(median_ms(std::atoi(argv[4]), [] { save(); }));
    } else {
      report(median_ms(std::atoi(argv[4]), [&] {
        std::uint32_t *pixels = koma2int32(px_cnvs);
        bmp_write(argv[3], mv_size_widht, mv_size_heigth, pixels);
        g_free(pixels);
      }));
    }
    return 0;
  }
  if (cmd == "start" && (argc == 4 || argc == 5)) {
    std::vector<double> ms;
    for (int i = 0; i < std::atoi(argv[3]); i++) ms.push_back(start_ms(argv[2], argc == 5 ? argv[4] : ""));
    std::sort(ms.begin(), ms.end());
    report(ms[ms.size() / 2]);
    return 0;
  }
  return usage();
}
