// koma-export: writes a KOMA document as a BMP, PNG or JPEG image from the
// command line, with the editor's own reader and writers, optionally scaled
// by nearest neighbour (file managers' thumbnailers run it with -s).
#include <getopt.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <glib.h>
#include <glib/gstdio.h>

#include "files/bmp_write.h"
#include "files/document.h"
#include "files/image_export.h"

namespace {
constexpr int kMaxSize = 8192;  // 8192 x 8192 words are 256 MiB
constexpr int kFailed = 1;
constexpr int kUsageError = 2;

constexpr const char *kUsage = "使い方: koma-export [-s SIZE] INPUT.koma OUTPUT";
constexpr const char *kHelp =
    "KOMA の文書 (.koma) を BMP・PNG・JPEG の画像に書き出します。\n"
    "形式は OUTPUT の拡張子 (.bmp .png .jpg .jpeg) で決まります。\n"
    "画像はエディタの「エクスポート」と同じく一マス一ピクセルです。\n"
    "\n"
    "  -s SIZE     長い辺が SIZE ピクセルになるよう最近傍法で拡大・縮小する\n"
    "              (1〜8192。整数倍の拡大では一マスがそのまま正方形になる)\n"
    "  --help      この説明を表示する\n"
    "  --version   版を表示する\n"
    "\n"
    "失敗すると標準エラーに一行で理由を書き、0 以外で終わります。\n";

// Every report is one line on standard error.
void report(const char *subject, const char *what, const char *detail = nullptr) {
  std::fprintf(stderr, "koma-export: %s: %s%s%s%s\n", subject, what, detail ? "(" : "",
               detail ? detail : "", detail ? ")" : "");
}

int usage_error(const char *what) {
  std::fprintf(stderr, "koma-export: %s (%s、--help で説明)\n", what, kUsage);
  return kUsageError;
}

bool format_of(const char *path, ImageFormat *format) {
  const char *dot = std::strrchr(path, '.');
  if (!dot || std::strchr(dot, '/')) return false;
  if (g_ascii_strcasecmp(dot, ".bmp") == 0) *format = ImageFormat::Bmp;
  else if (g_ascii_strcasecmp(dot, ".png") == 0) *format = ImageFormat::Png;
  else if (g_ascii_strcasecmp(dot, ".jpg") == 0 || g_ascii_strcasecmp(dot, ".jpeg") == 0)
    *format = ImageFormat::Jpeg;
  else return false;
  return true;
}

// The size whose longer side is `size`, the other in proportion (at least 1).
void scaled_size(int w, int h, int size, int *sw, int *sh) {
  const bool wide = w >= h;
  const std::int64_t longer = wide ? w : h, shorter = wide ? h : w;
  const int other = int(std::max<std::int64_t>(1, (shorter * size + longer / 2) / longer));
  *sw = wide ? size : other;
  *sh = wide ? other : size;
}

// Nearest neighbour: output pixel (X, Y) takes cell (X * w / sw, Y * h / sh),
// so an enlargement by a whole factor k makes every cell a k x k block.
std::uint32_t *scale(const std::uint32_t *words, int w, int h, int sw, int sh) {
  auto *out = static_cast<std::uint32_t *>(g_try_malloc_n(std::size_t(sw) * sh, 4));
  if (!out) return nullptr;
  for (int y = 0; y < sh; y++) {
    const std::uint32_t *row = words + std::size_t(std::int64_t(y) * h / sh) * w;
    for (int x = 0; x < sw; x++) out[std::size_t(y) * sw + x] = row[std::int64_t(x) * w / sw];
  }
  return out;
}

// A folder of this run's own for the temporary BMP of PNG and JPEG: runs in
// parallel (thumbnailers) must not share one, and the working directory may
// be anywhere. Removed with whatever is left in it.
struct TempDir {
  gchar *path = nullptr;
  ~TempDir() {
    if (!path) return;
    px_set_temp_dir(nullptr);
    if (GDir *dir = g_dir_open(path, 0, nullptr)) {
      for (const gchar *name; (name = g_dir_read_name(dir));) {
        g_autofree gchar *file = g_build_filename(path, name, nullptr);
        g_remove(file);
      }
      g_dir_close(dir);
    }
    g_rmdir(path);
    g_free(path);
  }
};
}  // namespace

int main(int argc, char **argv) {
  // A file-size limit makes a write fail, reported, instead of ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
  // The writers trace on standard output for the editor; here the output is the file.
  g_set_print_handler([](const gchar *) {});

  static const option kLong[] = {
      {"help", no_argument, nullptr, 'h'}, {"version", no_argument, nullptr, 'V'}, {}};
  int size = 0;
  opterr = 0;  // one line of our own instead of getopt's
  for (int c; (c = getopt_long(argc, argv, "s:", kLong, nullptr)) != -1;) {
    if (c == 'h') return std::printf("%s\n\n%s", kUsage, kHelp), 0;
    if (c == 'V') return std::printf("koma-export %s\n", KOMA_VERSION), 0;
    if (c != 's') return usage_error("知らないオプションか、値のない -s です");
    char *end = nullptr;
    errno = 0;
    const long v = std::strtol(optarg, &end, 10);
    if (errno || end == optarg || *end || v < 1 || v > kMaxSize)
      return usage_error("-s には 1〜8192 の整数を指定してください");
    size = int(v);
  }
  if (argc - optind != 2) return usage_error("入力と出力のファイルを一つずつ指定してください");
  const char *input = argv[optind], *output = argv[optind + 1];

  ImageFormat format;
  if (!format_of(output, &format))
    return report(output, "拡張子が .bmp .png .jpg .jpeg のどれでもありません。"), kFailed;

  KomaDoc doc;
  {
    KomaFile bytes;
    errno = 0;
    const KomaRead read = koma_read_file(input, &bytes);
    if (read == KomaRead::CannotOpen)
      return report(input, "ファイルを読めません。", errno ? g_strerror(errno) : nullptr), kFailed;
    if (!koma_parse(bytes.data(), bytes.size(), &doc))
      return report(input, koma_refusal(doc.status)), kFailed;
  }
  const std::size_t n = std::size_t(doc.width) * std::size_t(doc.height);
  if (n == 0) return report(input, kMsgNoCells), kFailed;
  if (doc.status == KomaStatus::Incomplete) {
    // As the editor opens it: the cells that could not be read are white.
    report(input, (std::string("警告: ") + kKomaIncomplete).c_str());
    doc.cells.resize(3 * n, 255);
  }

  int w = doc.width, h = doc.height;
  std::uint32_t *words = koma_pack(doc.cells.data(), w, h);
  if (!words) return report(input, "メモリが足りません。"), kFailed;
  if (size > 0) {
    int sw, sh;
    scaled_size(w, h, size, &sw, &sh);
    std::uint32_t *scaled = scale(words, w, h, sw, sh);
    g_free(words);
    if (!scaled) return report(output, "メモリが足りません。"), kFailed;
    words = scaled, w = sw, h = sh;
  }

  TempDir temp;
  GError *err = nullptr;
  if (format != ImageFormat::Bmp) {
    temp.path = g_dir_make_tmp("koma-export-XXXXXX", &err);
    if (!temp.path) {
      report(g_get_tmp_dir(), "一時フォルダを作れません。", err->message);
      g_error_free(err);
      g_free(words);
      return kFailed;
    }
    px_set_temp_dir(temp.path);
  }
  const char *failure = px_write_image(format, output, w, h, words);
  g_free(words);
  if (failure) return report(output, failure), kFailed;
  return 0;
}
