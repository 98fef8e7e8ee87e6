#!/usr/bin/env bash
# Fails when a C++ file under src, tests, bench or fuzz is not formatted as .clang-format says.
# Fix with: clang-format-14 -i FILE...
#
#   ci-format.sh [FOLDER...]       default: src tests bench fuzz
#
# Environment: CLANG_FORMAT (the binary, default clang-format-14).
set -euo pipefail
cd "$(dirname "$0")/.."
format=${CLANG_FORMAT:-clang-format-14}

folders=("$@")
if [ ${#folders[@]} -eq 0 ]; then
    folders=(src tests bench fuzz)
fi
mapfile -d '' files < <(find "${folders[@]}" -type f \
    \( -name '*.cpp' -o -name '*.h' -o -name '*.hpp' -o -name '*.cc' \) -print0 | sort -z)
echo "clang-format: ${#files[@]} files in ${folders[*]}"

if ! "$format" --dry-run -Werror "${files[@]}"; then
    echo "clang-format: the files above are not formatted; run: $format -i FILE..." >&2
    exit 1
fi
echo "clang-format: all formatted"
