#!/bin/bash
# Fails when the repository's top level holds something that is not on the
# short list below: images, device lists, reports and pid files that a manual
# run leaves behind belong in a scratch folder, never in a commit.
set -euo pipefail
cd "$(dirname "$0")/.."
allowed=(.ci .clang-format .gitignore CMakeLists.txt README.md bench deploy docs fuzz packaging scripts src tests tools)
bad=()
while read -r entry; do
  ok=0
  for a in "${allowed[@]}"; do
    [ "$entry" = "$a" ] && ok=1 && break
  done
  [ $ok = 1 ] || bad+=("$entry")
done < <(git ls-files | cut -d/ -f1 | sort -u)
if [ ${#bad[@]} -gt 0 ]; then
  echo "check-root: not expected at the top of the repository: ${bad[*]}" >&2
  echo "Remove them (git rm), or add a new top-level folder to the list in $0." >&2
  exit 1
fi
echo "check-root: the top level holds only what belongs there."
