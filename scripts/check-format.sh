#!/usr/bin/env bash
# Checks that C and C++ sources follow .clang-format. With --changed, only the files changed
# against HEAD (staged, unstaged or new); otherwise every tracked source. Lists each file that
# differs and exits 1 when any does; `clang-format -i FILE` mends one.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = "--changed" ]; then
    mapfile -t files < <( (git diff --name-only HEAD; git ls-files --others --exclude-standard) |
        sort -u | grep -E '\.(c|cc|cpp|h|hpp)$' || true)
else
    mapfile -t files < <(git ls-files '*.c' '*.cc' '*.cpp' '*.h' '*.hpp')
fi

unformatted=()
for file in "${files[@]}"; do
    [ -f "$file" ] || continue
    if ! clang-format --dry-run --Werror "$file" >/dev/null 2>&1; then
        unformatted+=("$file")
    fi
done
if [ ${#unformatted[@]} -ne 0 ]; then
    echo "Not formatted as .clang-format says (mend with clang-format -i):"
    printf '  %s\n' "${unformatted[@]}"
    exit 1
fi
echo "Format: ${#files[@]} files follow .clang-format"
