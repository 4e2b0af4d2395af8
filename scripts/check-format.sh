#!/usr/bin/env bash
# Fails when a C++ source differs from what .clang-format makes of it.
cd "$(dirname "$0")/.."
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null)
[ -z "$files" ] && exit 0
clang-format --dry-run -Werror $files
