#!/bin/bash
# Fails when the Chinese catalogue has fallen behind the sources: runs
# lupdate over src/ into a copy of the catalogue and counts the texts that
# have no finished translation, and the entries whose text is gone.
# Usage: scripts/check-catalogue.sh [lupdate]
set -euo pipefail
cd "$(dirname "$0")/.."
LUPDATE=${1:-lupdate}
TS=src/resources/translations/zh.ts
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cp "$TS" "$WORK/zh.ts"
"$LUPDATE" -silent -locations relative src -ts "$WORK/zh.ts" >/dev/null
unfinished=$(grep -c 'type="unfinished"' "$WORK/zh.ts" || true)
gone=$(grep -cE 'type="(vanished|obsolete)"' "$WORK/zh.ts" || true)
if [ "$unfinished" != 0 ] || [ "$gone" != 0 ]; then
  echo "check-catalogue: $unfinished text(s) without a finished translation, $gone entr(y/ies) whose text is gone."
  echo "Run: cmake --build build --target lupdate, translate the new entries in $TS and remove the vanished ones."
  python3 - "$WORK/zh.ts" <<'PY' || true
import sys, xml.etree.ElementTree as ET
for c in ET.parse(sys.argv[1]).getroot().findall('context'):
    for m in c.findall('message'):
        t = m.find('translation')
        if t.get('type') in ('unfinished', 'vanished', 'obsolete'):
            print('  %s [%s] %r' % (t.get('type'), c.find('name').text, m.find('source').text))
PY
  exit 1
fi
echo "check-catalogue: every text has its translation."
