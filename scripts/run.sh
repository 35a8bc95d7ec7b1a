#!/usr/bin/env bash
# Installs what ferry needs, builds it and starts it. Without a display it
# runs headless and writes its log to standard output.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target ferry
exec build/src/app/ferry "$@"
