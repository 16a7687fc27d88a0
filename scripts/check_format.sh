#!/usr/bin/env bash
# Checks every tracked C and C++ file against .clang-format with Debian's
# clang-format 14; prints the files that differ and fails when there are any.
# Format them with: git ls-files '*.c' '*.cpp' '*.h' '*.hpp' | xargs clang-format-14 -i
set -euo pipefail
cd "$(dirname "$0")/.."
format=${CLANG_FORMAT:-clang-format-14}
command -v "$format" >/dev/null || format=clang-format
differ=()
while IFS= read -r -d '' file; do
  "$format" --dry-run --Werror "$file" >/dev/null 2>&1 || differ+=("$file")
done < <(git ls-files -z '*.c' '*.cpp' '*.h' '*.hpp')
if [ ${#differ[@]} -gt 0 ]; then
  echo "not formatted as .clang-format says (${#differ[@]} files):"
  printf '  %s\n' "${differ[@]}"
  exit 1
fi
echo "all files formatted"
