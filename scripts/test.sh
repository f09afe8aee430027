#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite;
# then builds the program and its tests again with AddressSanitizer (leaks
# checked) and UndefinedBehaviorSanitizer in build-asan/ and runs the CPU, GL
# and whole-program tests there.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/install-deps.sh

# ccache keeps rebuilds of unchanged sources cheap, also across clones of the
# repository (paths are taken relative to its root).
launcher=()
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

# 1. The normal build and every test. Warnings are errors here, so that what
#    CI builds stays warning-free.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTILLFLOW_WERROR=ON "${launcher[@]}" >/dev/null
cmake --build build -j"$(nproc)"
(cd build && ctest --output-on-failure)

# 2. The sanitizer pass. -O1 and line tables keep the build quick and the
#    reports readable; NDEBUG as in the normal build, so the same code runs.
echo "== sanitizer pass (build-asan/)"
flags="-O1 -g1 -DNDEBUG"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_FLAGS_RELWITHDEBINFO="$flags" \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$flags" -DSTILLFLOW_SANITIZE=ON -DSTILLFLOW_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build build-asan -j"$(nproc)" --target stillflow make_demo_scene stillflow_tests stillflow_gltests \
  stillflow_guitests stillflow_programtests
export ASAN_OPTIONS=detect_leaks=1
export LSAN_OPTIONS=suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && ctest --output-on-failure -R '^(cpu_tests|gl_tests|gui_tests|program_tests|window_e2e)$')
