#!/usr/bin/env bash
# Builds the document parser fuzz target with clang in a build directory of
# its own and runs it for a bounded time, starting from the seed corpus.
# Usage: run_fuzz.sh SOURCE_DIR BUILD_DIR [SECONDS]
# Exits with 77 (reported as skipped) when clang cannot build a fuzz target.
set -euo pipefail
src=$1 build=$2 seconds=${3:-20}
skip() { echo "fuzz run skipped: $*"; exit 77; }

command -v clang++ >/dev/null 2>&1 || skip "clang++ not found"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
echo 'extern "C" int LLVMFuzzerTestOneInput(const char *, unsigned long) { return 0; }' \
  >"$scratch/probe.cpp"
clang++ -fsanitize=fuzzer,address,undefined "$scratch/probe.cpp" -o "$scratch/probe" \
  >/dev/null 2>&1 || skip "clang++ cannot link -fsanitize=fuzzer here"

cmake -S "$src" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKOMA_TESTS=OFF -DKOMA_FUZZ=ON >/dev/null
cmake --build "$build" -j2 --target koma_document_fuzz
# New inputs go to a scratch folder; the corpus in the repository is only read.
mkdir "$scratch/new"
"$build/tests/fuzz/koma_document_fuzz" -max_total_time="$seconds" -timeout=10 \
  -rss_limit_mb=2048 -artifact_prefix="$build/" -print_final_stats=1 \
  "$scratch/new" "$src/tests/fuzz/corpus"
