#!/usr/bin/env bash
# Fails when clang-format (with the repository's .clang-format) would change any tracked
# C++ file under src/, tests/, bench/ or fuzz/, and lists those files.
#   check-format.sh          check only
#   check-format.sh --fix    reformat the files in place
set -euo pipefail
repo=$(dirname "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")")
cd "$repo"

fix=0
[[ ${1:-} == --fix ]] && fix=1
command -v clang-format >/dev/null || {
  echo "check-format: clang-format is not installed (scripts/bootstrap.sh installs it)" >&2
  exit 1
}

bad=()
count=0
while IFS= read -r -d '' file; do
  [[ -f $file ]] || continue # deleted in the working tree
  count=$((count + 1))
  if ! clang-format --style=file --dry-run --Werror "$file" >/dev/null 2>&1; then
    bad+=("$file")
    ((fix)) && clang-format --style=file -i "$file"
  fi
done < <(git ls-files -z -- 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' \
  'bench/*.h' 'fuzz/*.cpp' 'fuzz/*.h')

if ((${#bad[@]})); then
  if ((fix)); then
    echo "check-format: reformatted ${#bad[@]} file(s):"
    printf '  %s\n' "${bad[@]}"
    exit 0
  fi
  echo "check-format: ${#bad[@]} of $count file(s) need clang-format" \
    "(bash scripts/check-format.sh --fix):"
  printf '  %s\n' "${bad[@]}"
  exit 1
fi
echo "check-format: $count file(s) formatted"
