#!/usr/bin/env bash
# Fails, naming each place, when clang-format (with the project's .clang-format) would change
# a C++ file of the project. `scripts/check-format.sh --fix` rewrites the files instead.
set -euo pipefail
cd "$(dirname "$0")/.."

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    # New files count before they are added, so that a local check sees what CI will see.
    mapfile -d '' files < <(git ls-files -z --cached --others --exclude-standard '*.cpp' '*.h')
else
    mapfile -d '' files < <(find app bench cards catalog demo-server download gamedir tests update widgets \
        \( -name '*.cpp' -o -name '*.h' \) -print0)
fi

if [ "${1:-}" = --fix ]; then
    clang-format -i "${files[@]}"
elif ! clang-format --dry-run -Werror "${files[@]}"; then
    echo "format check failed: run scripts/check-format.sh --fix" >&2
    exit 1
fi
