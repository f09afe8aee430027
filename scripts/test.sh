#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
# Warnings are errors here, so that what CI builds stays warning-free.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTILLFLOW_WERROR=ON >/dev/null
cmake --build build -j"$(nproc)"
cd build
ctest --output-on-failure
