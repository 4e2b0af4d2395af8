#!/usr/bin/env bash
# Fails when two translation units of the program define one name apart
# (the One Definition Rule): the program and its tools are built with GCC's
# link-time optimisation, which compares every type across the program and
# stops on a difference. A file-private class left outside its anonymous
# namespace is the usual cause; the linker would keep one copy of its
# members and the other file would run them on its own objects.
#
# Usage: check-odr.sh <build folder>   the whole check, in that folder
#        check-odr.sh --planted        shows that a planted duplicate fails
set -uo pipefail
cd "$(dirname "$0")/.." || exit 2

# Optimisation does not matter to the comparison; -O0 keeps it quick.
FLAGS="-O0 -flto=auto -Werror=odr -Werror=lto-type-mismatch -Werror=missing-declarations"

if [ "${1:-}" = "--planted" ]; then
    out=$(mktemp -d)
    trap 'rm -rf "$out"' EXIT
    log=$out/log
    # shellcheck disable=SC2086
    g++ -std=c++20 $FLAGS tests/scripts/odr/planted_a.cpp tests/scripts/odr/planted_b.cpp -o "$out/planted" >"$log" 2>&1
    if [ $? -eq 0 ]; then
        echo "check-odr: the planted duplicate was not caught" >&2
        exit 1
    fi
    if ! grep -q "One Definition Rule" "$log"; then
        echo "check-odr: the planted pair failed for another reason:" >&2
        cat "$log" >&2
        exit 1
    fi
    echo "check-odr: the planted duplicate is caught"
    exit 0
fi

build=${1:?usage: check-odr.sh <build folder> | --planted}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=None -DQOR_BUILD_TESTS=OFF -DQOR_BUILD_BENCH=OFF \
    "-DCMAKE_CXX_FLAGS=$FLAGS" >/dev/null || exit 2
if ! cmake --build "$build" -j"$(nproc)" --target qor qor_calcdump qor_reportrun >"$build/odr.log" 2>&1; then
    grep -E "(error|note): " "$build/odr.log" | head -40 >&2
    echo "check-odr: the program does not build as one (log: $build/odr.log)" >&2
    exit 1
fi
echo "check-odr: no name is defined twice"
