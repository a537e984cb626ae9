#!/usr/bin/env bash
# Fails when a C or C++ source differs from the checked-in .clang-format. Pinned to clang-format 14
# (Debian 12's), since another version may lay out the same style differently.
# Usage: tools/check-format.sh [--fix]   (--fix rewrites the files instead)
set -euo pipefail
cd "$(dirname "$0")/.."
tool=$(command -v clang-format-14 || true)
if [ -z "$tool" ]; then
    echo "format: clang-format-14 is not installed (the package clang-format-14)" >&2
    exit 1
fi
mapfile -t files < <(git ls-files '*.c' '*.cpp' '*.h' 2>/dev/null ||
    find . -path ./build -prune -o \( -name '*.c' -o -name '*.cpp' -o -name '*.h' \) -print)
if [ "${1:-}" = --fix ]; then
    "$tool" -i "${files[@]}"
    exit 0
fi
if ! "$tool" --dry-run --Werror "${files[@]}" 2>/tmp/sondrel-format.$$; then
    grep -o '^[^:]*\.\(c\|cpp\|h\):' /tmp/sondrel-format.$$ | sort -u | sed 's/:$/: differs from .clang-format/' >&2
    rm -f /tmp/sondrel-format.$$
    echo "format: FAILED (tools/check-format.sh --fix rewrites the files)" >&2
    exit 1
fi
rm -f /tmp/sondrel-format.$$
echo "format: ${#files[@]} sources follow .clang-format"
