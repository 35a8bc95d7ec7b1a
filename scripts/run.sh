#!/usr/bin/env bash
# Installs what ferry needs, builds it in the checkout and starts it in the
# directory you run this from: that directory is the one served (unless its
# ferry.ini says otherwise), and ferry.ini is looked for there first. Without
# a display it runs headless and writes its log to standard output.
set -euo pipefail
checkout=$(cd "$(dirname "$0")/.." && pwd)
(
    cd "$checkout"
    scripts/install-deps.sh
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build build -j "$(nproc)" --target ferry
) >&2
exec "$checkout/build/src/app/ferry" "$@"
