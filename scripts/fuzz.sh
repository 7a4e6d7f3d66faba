#!/bin/bash
# Runs the libFuzzer targets for a while each and fails on any finding.
#
#   scripts/fuzz.sh [seconds] [target...]
#
# seconds   time per target (default 30)
# target    fuzz_cardframe, cardframe, ...; all targets in fuzz/ by default
#
# Configures and builds build-fuzz with clang when needed (NETQUILL_FUZZ_BUILD
# chooses another folder). Each target runs on a scratch copy of its seed
# corpus, never on fuzz/corpus itself, with fuzz/<target>.dict as dictionary
# and the flags in fuzz/<target>.options when they exist. A crash, a broken
# invariant, a leak, a hang (an input running longer than 10 s) or memory
# beyond 2 GB is a finding: the input is kept under build-fuzz/findings/ and
# its path printed, and the script exits 1 once every target has run.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

seconds=${1:-30}
[ $# -gt 0 ] && shift
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: scripts/fuzz.sh [seconds] [target...]" >&2
  exit 2
fi

all=()
for f in fuzz/fuzz_*.cpp; do
  n=$(basename "$f" .cpp)
  all+=("$n")
done
targets=()
if [ $# -eq 0 ]; then
  targets=("${all[@]}")
else
  for t in "$@"; do
    t=fuzz_${t#fuzz_}
    if [ ! -f "fuzz/$t.cpp" ]; then
      echo "fuzz: no target $t (there are: ${all[*]})" >&2
      exit 2
    fi
    targets+=("$t")
  done
fi

bash scripts/setup-deps.sh

BUILD=${NETQUILL_FUZZ_BUILD:-$ROOT/build-fuzz}
if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DNETQUILL_FUZZ=ON -DNETQUILL_BENCH=OFF
fi
cmake --build "$BUILD" -j2 --target "${targets[@]}"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/netquill-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
findings=$BUILD/findings
mkdir -p "$findings"

# A leak report from Qt's offscreen plugin is not ours (see tests/lsan.supp).
export LSAN_OPTIONS=suppressions=$ROOT/tests/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}

passed=0
failed=0
for t in "${targets[@]}"; do
  name=${t#fuzz_}
  corpus=$scratch/$name/corpus
  mkdir -p "$corpus"
  [ -d "fuzz/corpus/$name" ] && cp -R "fuzz/corpus/$name/." "$corpus/"
  flags=(-max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048
    -artifact_prefix="$findings/$t-")
  [ -f "fuzz/$t.dict" ] && flags+=(-dict="$ROOT/fuzz/$t.dict")
  if [ -f "fuzz/$t.options" ]; then
    while read -r opt; do
      [[ -z $opt || $opt == \#* ]] && continue
      flags+=("$opt")
    done <"fuzz/$t.options"
  fi
  log=$scratch/$name/log
  echo "fuzz: $t for ${seconds}s"
  # The targets write their scratch files under TMPDIR: keep them in the
  # scratch folder too.
  set +e
  (cd "$scratch/$name" && TMPDIR=$scratch/$name "$BUILD/bin/$t" "${flags[@]}" "$corpus") >"$log" 2>&1
  rc=$?
  set -e
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  corp=$(sed -n 's/.* corp: \([0-9]*\/[0-9a-zA-Z]*\).*/\1/p' <<<"$last")
  if [ $rc -eq 0 ]; then
    passed=$((passed + 1))
    echo "fuzz: $t ok: ${runs:-?} runs, cov ${cov:-?}, ft ${ft:-?}, corpus ${corp:-?}"
  else
    failed=$((failed + 1))
    echo "fuzz: $t FAILED (exit $rc) after ${runs:-?} runs; the end of its log:"
    tail -n 40 "$log" | sed 's/^/    /'
    grep -h -o -E '(Test unit|artifact) written to [^ ]+' "$log" | sed 's/.* to /fuzz: finding kept in /' || true
    cp "$log" "$findings/$t.log"
    echo "fuzz: whole log in $findings/$t.log"
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ $failed -eq 0 ]
