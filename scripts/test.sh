#!/usr/bin/env bash
# Builds ferry and runs every test: the normal build (warnings as errors),
# the plain-C++ libraries under AddressSanitizer and UndefinedBehaviorSanitizer,
# a format check, a bounded fuzzing run of the datagram dispatcher, and, as
# root, the Debian package built, installed, used and purged again.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=$(nproc)

echo "== format check"
git ls-files '*.cpp' '*.h' | xargs -r clang-format --dry-run --Werror

echo "== sanitizer build of the plain-C++ libraries"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DFERRY_SANITIZE=ON \
    -DFERRY_BUILD_APP=OFF -DFERRY_BENCH=OFF -DFERRY_WERROR=ON
cmake --build build-asan -j "$jobs"
(cd build-asan && ctest --output-on-failure -j "$jobs")

if [ "${FERRY_SKIP_FUZZ:-0}" != 1 ]; then
    echo "== fuzzing the dispatcher for ${FERRY_FUZZ_SECONDS:-60} s"
    CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DFERRY_FUZZ=ON -DFERRY_BUILD_APP=OFF -DFERRY_BENCH=OFF
    cmake --build build-fuzz -j "$jobs" --target dispatcher_fuzz
    corpus=$(mktemp -d)
    cp tests/fuzz/corpus/* "$corpus"/
    build-fuzz/tests/dispatcher_fuzz -max_total_time="${FERRY_FUZZ_SECONDS:-60}" \
        -max_len=2048 -print_final_stats=1 "$corpus" 2>&1 | tail -n 15
    rm -rf "$corpus"
fi

echo "== full build and tests"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFERRY_WERROR=ON
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs")

echo "== Debian package"
if [ "$(id -u)" -eq 0 ]; then
    scripts/package-check.sh
else
    echo "SKIP: installing the package needs root"
fi
