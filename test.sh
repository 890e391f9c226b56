#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and
# UndefinedBehaviorSanitizer, runs every test, then runs each libFuzzer
# target for a bounded time. Exits non-zero on any failure or finding.
set -euo pipefail
cd "$(dirname "$0")"

FUZZ_SECONDS=${FUZZ_SECONDS:-45}
JOBS=${JOBS:-$(nproc)}

./tools/install-deps.sh

echo "== Unit tests (GCC, ASan + UBSan)"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DRK_SANITIZE=ON >/dev/null
cmake --build build-asan -j "$JOBS"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen
ctest_log=$(mktemp)
set +e
(cd build-asan && ctest --output-on-failure -j "$JOBS") 2>&1 | tee "$ctest_log"
ctest_rc=${PIPESTATUS[0]}
set -e
unit_total=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\2/p' "$ctest_log" | tail -1)
unit_failed=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\1/p' "$ctest_log" | tail -1)
rm -f "$ctest_log"
if [ "$ctest_rc" -ne 0 ]; then
  echo "unit tests failed" >&2
  exit 1
fi

fuzz_passed=0
fuzz_failed=0
shopt -s nullglob
fuzz_sources=(fuzz/*_fuzz.cpp)
if [ ${#fuzz_sources[@]} -gt 0 ]; then
  echo "== Fuzz smoke runs (clang libFuzzer, ${FUZZ_SECONDS}s each)"
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DRK_FUZZ=ON -DRK_TESTS=OFF >/dev/null
  # Only the fuzz targets: in this build the program core carries fuzzer
  # instrumentation that the program binaries are not linked for.
  simd_levels=(none sse2)
  grep -qw avx2 /proc/cpuinfo && simd_levels+=(avx2)
  fuzz_targets=()
  for src in "${fuzz_sources[@]}"; do fuzz_targets+=("$(basename "$src" .cpp)"); done
  cmake --build build-fuzz -j "$JOBS" --target "${fuzz_targets[@]}"
  for src in "${fuzz_sources[@]}"; do
    name=$(basename "$src" .cpp)
    family=${name%_fuzz}
    work=$(mktemp -d)
    # Work on a copy: new corpus entries found here are not meant to be committed.
    [ -d "fuzz/corpus/$family" ] && cp -r "fuzz/corpus/$family/." "$work/"
    dict=()
    [ -f "fuzz/$family.dict" ] && dict=(-dict="fuzz/$family.dict")
    # The time is shared among the vector levels this machine can run, so
    # the plain path and every SIMD path meet the same inputs.
    found=0
    for level in "${simd_levels[@]}"; do
      echo "-- $name (RASTKIT_SIMD=$level)"
      if RASTKIT_SIMD=$level ./build-fuzz/fuzz/"$name" "${dict[@]}" \
           -max_total_time=$((FUZZ_SECONDS / ${#simd_levels[@]} + 1)) -rss_limit_mb=2048 \
           -timeout=10 -print_final_stats=1 -artifact_prefix="$work/" "$work" 2>"$work.log"; then
        tail -n 6 "$work.log"
      else
        tail -n 60 "$work.log"
        echo "FUZZ FINDING in $name at RASTKIT_SIMD=$level: artifacts in $work" >&2
        found=1
        break
      fi
    done
    if [ "$found" -eq 0 ]; then
      fuzz_passed=$((fuzz_passed + 1))
    else
      fuzz_failed=$((fuzz_failed + 1))
    fi
  done
fi

echo
echo "unit tests: ${unit_total:-0} run, ${unit_failed:-0} failed; fuzz targets: $fuzz_passed clean, $fuzz_failed with findings"
echo "total: $(( ${unit_total:-0} - ${unit_failed:-0} + fuzz_passed )) passed, $(( ${unit_failed:-0} + fuzz_failed )) failed"
[ "$fuzz_failed" -eq 0 ]
