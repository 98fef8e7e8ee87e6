#!/usr/bin/env bash
# Installs what is missing, builds Zelvia and runs every test through CTest: once in the
# normal build and once built with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --test
jobs=$(nproc)

cmake -S . -B build-ci -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-ci --parallel "$jobs"
(cd build-ci && ctest --output-on-failure --parallel "$jobs")
