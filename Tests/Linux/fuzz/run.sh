#!/usr/bin/env bash
# Builds the libFuzzer targets with clang's AddressSanitizer and
# UndefinedBehaviorSanitizer and runs each for a bounded time. Any crash,
# leak or sanitizer report fails the run.
#   Tests/Linux/fuzz/run.sh [SECONDS_PER_TARGET]   (default 60)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
sources="$here/../../../Platform/Linux"
settings="$sources/settings"
common="$here/../../../Platform/Common"
seconds="${1:-60}"
out="${DUSK_FUZZ_DIR:-$here/../../../build/fuzz}"
mkdir -p "$out"
flags=(-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I"$sources" -I"$common")
clang++ "${flags[@]}" "$here/settings_fuzzer.cpp" "$common/settings/SettingsText.cpp" -o "$out/settings_fuzzer"
clang++ "${flags[@]}" "$here/desktop_entry_fuzzer.cpp" "$settings/DesktopEntry.cpp" -o "$out/desktop_entry_fuzzer"
for target in settings desktop_entry; do
  echo "== fuzzing the $target reader for ${seconds}s =="
  corpus="$out/corpus-$target"
  mkdir -p "$corpus"
  (cd "$out" && "./${target}_fuzzer" -max_total_time="$seconds" -max_len=4096 -detect_leaks=1 -print_final_stats=1 \
     "$corpus" "$here/corpus/$target" 2>&1 | tail -n 12)
  # The pipe hides the fuzzer's status; a crash leaves its input behind.
  if ls "$out"/crash-* "$out"/leak-* "$out"/timeout-* >/dev/null 2>&1; then
    echo "fuzzing the $target reader found a failure:" && ls "$out"/crash-* "$out"/leak-* "$out"/timeout-* 2>/dev/null
    exit 1
  fi
done
