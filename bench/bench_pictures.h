// Pictures of random colours for the benchmarks.
#pragma once

#include <string>

// Makes the current canvas a w x h picture of random colours (no display).
void bench_random_picture(int w, int h, unsigned seed = 1);
// The same picture as KOMA document text and as ASCII PPM (P3) text.
std::string bench_koma_text(int w, int h, unsigned seed = 1);
std::string bench_ppm_text(int w, int h, unsigned seed = 1);
// Sends g_print output nowhere.
void bench_discard_traces();
