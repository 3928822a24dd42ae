#!/bin/sh
# Installs what is needed, then builds and runs every test: unit and
# end-to-end tests, both again under AddressSanitizer and
# UndefinedBehaviorSanitizer, both once more under ThreadSanitizer, and each
# fuzz target for a bounded time.
# End-to-end tests need root (they make their own network namespaces).
set -e
cd "$(dirname "$0")/.."
JOBS="$(nproc)"
FUZZ_SECONDS="${FUZZ_SECONDS:-30}"
# A single input that runs this long is a hang, and fails like a crash.
FUZZ_TIMEOUT="${FUZZ_TIMEOUT:-5}"

./tools/install-deps.sh
# The e2e modules are imported from the checkout, which stays clean.
export PYTHONDONTWRITEBYTECODE=1

# ctest in build folder $1, with the environment settings that follow; a
# skipped test says why (ctest itself only says "Skipped").
run_ctest() {
  folder="$1"
  shift
  status=0
  (cd "$folder" && env "$@" ctest -j"$JOBS" --output-on-failure --no-tests=error) || status=$?
  grep -h "^SKIP:" "$folder/Testing/Temporary/LastTest.log" 2>/dev/null | sort -u
  return "$status"
}

echo "== build and test"
# Every option is given: a folder configured earlier (the example turns the
# tests off) must not decide what runs here.
cmake -S . -B build -DCORVANTA_TESTS=ON -DCORVANTA_SANITIZE=OFF -DCORVANTA_TSAN=OFF \
  -DCORVANTA_FUZZ=OFF >/dev/null
cmake --build build -j"$JOBS"
run_ctest build
bench/route --self-test

echo "== address and undefined-behaviour sanitizers"
cmake -S . -B build-asan -DCORVANTA_TESTS=ON -DCORVANTA_SANITIZE=ON -DCORVANTA_TSAN=OFF \
  -DCORVANTA_FUZZ=OFF >/dev/null
cmake --build build-asan -j"$JOBS"
run_ctest build-asan ASAN_OPTIONS=detect_leaks=1

echo "== thread sanitizer"
cmake -S . -B build-tsan -DCORVANTA_TESTS=ON -DCORVANTA_TSAN=ON -DCORVANTA_SANITIZE=OFF \
  -DCORVANTA_FUZZ=OFF >/dev/null
cmake --build build-tsan -j"$JOBS"
# Reports go to files: an engine under an end-to-end test keeps its stderr
# inside its own namespace, and one that is killed never exits with 66.
rm -rf build-tsan/tsan-logs
mkdir -p build-tsan/tsan-logs
run_ctest build-tsan \
  TSAN_OPTIONS="suppressions=$PWD/tools/tsan.supp log_path=$PWD/build-tsan/tsan-logs/report"
if ls build-tsan/tsan-logs/report.* >/dev/null 2>&1; then
  cat build-tsan/tsan-logs/report.*
  exit 1
fi

echo "== fuzzing, ${FUZZ_SECONDS}s a target, ${FUZZ_TIMEOUT}s an input"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCORVANTA_FUZZ=ON -DCORVANTA_SANITIZE=OFF \
  -DCORVANTA_TSAN=OFF -DCORVANTA_TESTS=OFF >/dev/null
cmake --build build-fuzz -j"$JOBS"
rm -rf build-fuzz/seeds
python3 fuzz/make_seeds.py build-fuzz/seeds
fuzzed=0
for target in build-fuzz/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name="$(basename "$target")"
  corpus="build-fuzz/corpus/$name"
  mkdir -p "$corpus"
  seeds=""
  [ -d "build-fuzz/seeds/$name" ] && seeds="build-fuzz/seeds/$name"
  echo "-- $name"
  # shellcheck disable=SC2086
  "$target" -max_total_time="$FUZZ_SECONDS" -timeout="$FUZZ_TIMEOUT" \
    -artifact_prefix=build-fuzz/ "$corpus" $seeds \
    >"build-fuzz/$name.log" 2>&1 || { tail -50 "build-fuzz/$name.log"; exit 1; }
  fuzzed=$((fuzzed + 1))
  grep -aE "^(#[0-9]+ *DONE|Done [0-9]+ runs)" "build-fuzz/$name.log" || true
done
[ "$fuzzed" -gt 0 ] || { echo "no fuzz target was run"; exit 1; }
echo "all tests passed"
