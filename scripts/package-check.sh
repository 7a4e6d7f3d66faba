#!/bin/bash
# Builds the Debian package from the build tree that scripts/test.sh leaves
# (nothing is compiled again), installs it as a technician's PC would, and
# checks the installed programs:
#   - netquill-cli --version names the version the build defines;
#   - netquill-cli version reads an installed netquill-cardsim on loopback;
#   - netquill, started by its menu entry's command under the offscreen
#     platform with a temporary HOME, keeps its settings under that home's
#     data folder and leaves the folder it was started in alone; it quits when
#     told; a fault leaves the dump there and starts the installed crash box;
#   - deploy/ansible/site.yml against localhost: two "line PCs" with cards of
#     their own on loopback, one of which refuses programming: that PC fails,
#     the other passes, and both JSON results are fetched and right;
#   - lintian: no error, and no warning that the README does not explain;
# then removes the package and checks that nothing of it is left under /usr.
#
#   scripts/package-check.sh          (root; NETQUILL_BUILD_DIR as for build.sh)
#
# scripts/package.sh makes the package; it is left in <build>/package/. Every process the script starts is
# stopped, and the package removed, when it ends, also when a check fails.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${NETQUILL_BUILD_DIR:-build}

fail() {
  echo "package-check: FAILED: $*" >&2
  exit 1
}
[ "$(id -u)" -eq 0 ] || fail "needs root (apt-get install, dpkg)"
[ -f "$BUILD/CMakeCache.txt" ] || fail "$BUILD is no build folder: run scripts/test.sh first"
BUILD=$(cd "$BUILD" && pwd)

# Loopback addresses of this check's own (the tests use 127.10-127.81).
CLI_CARD=127.90.0.1
LINE1=(127.90.1.1 127.90.1.2)
LINE2=(127.90.2.1 127.90.2.2)
REFUSING=127.90.2.2

SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/netquill-package.XXXXXX")
PIDS=()
INSTALLED=0

cleanup() {
  local rc=$? pid
  trap - EXIT
  for pid in "${PIDS[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${PIDS[@]}"; do
    for _ in $(seq 1 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null || true
    { wait "$pid"; } 2>/dev/null || true
  done
  if [ $INSTALLED = 1 ] && dpkg-query -W -f='${Status}' netquill 2>/dev/null | grep -q "ok installed"; then
    echo "package-check: removing the package after the failure"
    apt-get remove -y -q netquill >/dev/null 2>&1 || true
  fi
  rm -rf "$SCRATCH"
  exit $rc
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local seconds=$1
  shift
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.1
  done
}

timed() {
  local name=$1 start=$SECONDS
  shift
  echo "--- $name"
  "$@"
  echo "--- $name: $((SECONDS - start)) s"
}

# The one place the version is defined.
VERSION=$(sed -n 's/^project(Netquill VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$VERSION" ] || fail "no version in CMakeLists.txt"
ARCH=$(dpkg --print-architecture)
PACKAGE_DIR=$BUILD/package
DEB=$PACKAGE_DIR/netquill_${VERSION}_${ARCH}.deb

build_package() {
  local made
  made=$(scripts/package.sh 2>"$SCRATCH/package.log" | tail -n 1) || { cat "$SCRATCH/package.log"; fail "scripts/package.sh"; }
  [ "$made" = "$DEB" ] || fail "scripts/package.sh made $made, not $DEB"
  [ "$(dpkg-deb -f "$DEB" Version)" = "$VERSION" ] || fail "the package's version is not $VERSION"
  echo "$(basename "$DEB"): $(stat -c %s "$DEB") bytes"
  dpkg-deb -f "$DEB" Package Version Architecture Installed-Size Depends Suggests | sed 's/^/  /'
  dpkg-deb -c "$DEB" | awk '$1 !~ /^d/ { print "  " $6 }'
}

install_package() {
  if dpkg-query -W -f='${Status}' netquill 2>/dev/null | grep -q "ok installed"; then
    echo "package-check: netquill was installed already; removing it first"
    apt-get remove -y -q netquill >/dev/null
  fi
  INSTALLED=1
  (cd "$PACKAGE_DIR" && apt-get install -y -q "./$(basename "$DEB")") >"$SCRATCH/apt.log" 2>&1 ||
    { cat "$SCRATCH/apt.log"; fail "apt-get install ./$(basename "$DEB")"; }
  [ "$(command -v netquill)" = /usr/bin/netquill ] || fail "netquill is not /usr/bin/netquill"
  dpkg -L netquill >"$SCRATCH/files"
}

check_cli() {
  local out
  out=$(netquill-cli --version)
  echo "netquill-cli --version: $out"
  [ "$out" = "netquill-cli $VERSION" ] || fail "expected \"netquill-cli $VERSION\""

  netquill-cardsim --listen $CLI_CARD --version "v2.5.1 20270101" >"$SCRATCH/cardsim-cli.log" 2>&1 &
  PIDS+=("$!")
  wait_for 10 grep -q ready "$SCRATCH/cardsim-cli.log" || { cat "$SCRATCH/cardsim-cli.log"; fail "netquill-cardsim did not start"; }
  out=$(timeout 30 netquill-cli version $CLI_CARD)
  echo "netquill-cli version $CLI_CARD: $out"
  [ "$out" = v2.5.1 ] || fail "expected v2.5.1 from the simulated card"
}

# Starts the menu entry's command in folder $2 with HOME $1, offscreen; sets GUI.
start_gui() {
  local home=$1 cwd=$2 command
  command=$(sed -n 's/^Exec=//p' /usr/share/applications/netquill.desktop | head -n 1 | sed 's/ *%[a-zA-Z]//g')
  [ -n "$command" ] || fail "the menu entry has no Exec line"
  mkdir -p "$home" "$cwd" "$SCRATCH/runtime"
  chmod 700 "$SCRATCH/runtime"
  # shellcheck disable=SC2086 # the entry's command line, split as a launcher does
  (cd "$cwd" && exec env -i PATH=/usr/bin:/bin HOME="$home" LANG=C.UTF-8 XDG_RUNTIME_DIR="$SCRATCH/runtime" \
    QT_QPA_PLATFORM=offscreen $command) >>"$SCRATCH/gui.log" 2>&1 &
  GUI=$!
  PIDS+=("$GUI")
}

# Waits up to $2 seconds for process $1 to end; kills it and fails otherwise.
ends_within() {
  local pid=$1 seconds=$2
  if ! wait_for "$seconds" sh -c "! kill -0 $pid 2>/dev/null"; then
    kill -9 "$pid" 2>/dev/null || true
    fail "process $pid was still running after ${seconds} s"
  fi
  wait "$pid" 2>/dev/null || true
}

check_gui() {
  local home=$SCRATCH/home cwd=$SCRATCH/started-here data settings box exe args
  data=$home/.local/share/netquill
  settings=$data/config/settings.ini
  start_gui "$home" "$cwd"
  wait_for 30 test -s "$settings" || { cat "$SCRATCH/gui.log"; fail "no $settings"; }
  kill -0 "$GUI" 2>/dev/null || { cat "$SCRATCH/gui.log"; fail "netquill ended by itself"; }
  [ "$(readlink "/proc/$GUI/cwd")" = "$data" ] || fail "netquill works in $(readlink "/proc/$GUI/cwd"), not in $data"
  grep -q '^language=English' "$settings" || fail "$settings holds no language"
  [ -z "$(ls -A "$cwd")" ] || fail "netquill wrote into the folder it was started in: $(ls -A "$cwd")"
  echo "netquill works in ${data#"$home"/}; ${settings#"$home"/}: $(wc -c <"$settings") bytes; nothing in the folder it was started in"
  kill -TERM "$GUI"
  ends_within "$GUI" 10
  echo "netquill quit on SIGTERM"

  # A fault: the dump goes into the data folder and the installed crash box
  # comes up with the installed catalogue. Offscreen the box waits for a
  # click that never comes: it is closed here, and the tool then ends.
  start_gui "$home" "$cwd"
  # Out of the job table: bash would report the signal's death as if it
  # were a failure of this script.
  disown "$GUI"
  # The working directory changes after the crash handler is in place.
  wait_for 30 sh -c "[ \"\$(readlink /proc/$GUI/cwd)\" = '$data' ]" || { cat "$SCRATCH/gui.log"; fail "netquill did not start"; }
  kill -SEGV "$GUI"
  wait_for 20 pgrep -P "$GUI" -f crashbox >/dev/null || { cat "$SCRATCH/gui.log"; fail "no crash box after SIGSEGV"; }
  box=$(pgrep -P "$GUI" -f crashbox | head -n 1)
  PIDS+=("$box")
  exe=$(readlink "/proc/$box/exe")
  args=$(tr '\0' ' ' <"/proc/$box/cmdline")
  echo "crash box: $exe ${args#* }"
  [ "$exe" = /usr/lib/netquill/netquill-crashbox ] || fail "the crash box is $exe"
  [[ $args == *"--catalogue /usr/share/netquill/translations/zh.qm"* ]] || fail "the crash box got no installed catalogue"
  ls "$data"/*.dmp >/dev/null 2>&1 || fail "no dump in $data"
  echo "dump: $(find "$data" -maxdepth 1 -name '*.dmp' -printf '%f ')"
  kill -TERM "$box"
  ends_within "$GUI" 10
  [ -z "$(ls -A "$cwd")" ] || fail "the crash wrote into the folder it was started in"
}

check_playbook() {
  local dir=$SCRATCH/ansible results rc=0
  results=$dir/results
  mkdir -p "$dir/line1" "$dir/line2" "$results"
  printf '%s\n' "${LINE1[@]}" >"$dir/line1.txt"
  printf '%s\n' "${LINE2[@]}" >"$dir/line2.txt"
  head -c 300000 /dev/urandom >"$dir/image.bin"
  netquill-cardsim --listen "${LINE1[0]}-${LINE1[1]},${LINE2[0]}-${LINE2[1]}" --card "$REFUSING:prog-refuse-start" \
    --prog-install-ms 50 --prog-finish-ms 100 >"$SCRATCH/cardsim-lines.log" 2>&1 &
  PIDS+=("$!")
  wait_for 10 grep -q "ready" "$SCRATCH/cardsim-lines.log" || { cat "$SCRATCH/cardsim-lines.log"; fail "netquill-cardsim did not start"; }
  cat >"$dir/inventory.yml" <<EOF
linepcs:
  hosts:
    line1:
      netquill_devices: $dir/line1.txt
      netquill_workdir: $dir/line1
    line2:
      netquill_devices: $dir/line2.txt
      netquill_workdir: $dir/line2
  vars:
    ansible_host: localhost
    ansible_connection: local
    ansible_python_interpreter: /usr/bin/python3
    ansible_become: false
    netquill_deb: $DEB
    netquill_image: $dir/image.bin
    netquill_jobs: 2
    netquill_results_dir: $results
    netquill_batch_timeout: 120
EOF
  ANSIBLE_NOCOLOR=1 ANSIBLE_LOCAL_TEMP=$dir/tmp ANSIBLE_REMOTE_TMP=$dir/tmp ANSIBLE_RETRY_FILES_ENABLED=0 \
    timeout 300 ansible-playbook -i "$dir/inventory.yml" deploy/ansible/site.yml >"$dir/log" 2>&1 || rc=$?
  # The play's output without its blank lines and the asterisk rulers.
  sed -e '/^$/d' -e 's/ \*\*\**$//' "$dir/log"
  [ $rc = 2 ] || fail "ansible-playbook exited with $rc; 2 (a host failed) was expected"
  grep -Eq '^line1 +: ok=[0-9]+ +changed=[0-9]+ +unreachable=0 +failed=0' "$dir/log" || fail "line1 did not pass"
  grep -Eq '^line2 +: ok=[0-9]+ +changed=[0-9]+ +unreachable=0 +failed=1' "$dir/log" || fail "line2 did not fail"
  python3 - "$results" "$dir/image.bin" "$REFUSING" "${LINE1[*]}" "${LINE2[*]}" <<'PY' || fail "the fetched results"
import hashlib, json, os, sys
results, image, refusing = sys.argv[1:4]
lines = {"line1": sys.argv[4].split(), "line2": sys.argv[5].split()}
data = open(image, "rb").read()
digest = hashlib.sha256(data).hexdigest()
for host, cards in lines.items():
    doc = json.load(open(os.path.join(results, host + ".json")))
    assert doc["image"] == {"sha256": digest, "size": len(data)}, (host, doc["image"])
    got = {d["ip"]: d for d in doc["devices"]}
    assert sorted(got) == sorted(cards), (host, sorted(got))
    for ip, d in got.items():
        if ip == refusing:
            assert d["status"] == "Failed" and d["reason"] == "start refused", d
        else:
            assert d["status"] == "Succeeded" and d["bytesSent"] == len(data), d
    failed = sum(ip == refusing for ip in cards)
    assert (doc["succeeded"], doc["failed"]) == (len(cards) - failed, failed), doc
    report = open(os.path.join(results, host + "-report.txt")).read()
    assert all(ip in report for ip in cards), report
    print("%s.json: %d succeeded, %d failed%s" % (host, doc["succeeded"], doc["failed"],
          "".join(" (%s: %s)" % (d["ip"], d["reason"]) for d in doc["devices"] if d["status"] == "Failed")))
PY
}

# Warnings that remain, each explained in the README ("What lintian says").
EXPECTED_WARNINGS=(
)

check_lintian() {
  local out tag known
  # Informational tags too (I:); only errors and warnings count.
  out=$(lintian --display-info --tag-display-limit 0 "$DEB" 2>&1 | grep -v 'running with root privileges') || true
  echo "${out:-lintian: nothing to report}"
  ! grep -q '^E: ' <<<"$out" || fail "lintian reports errors"
  while read -r tag; do
    known=0
    for t in "${EXPECTED_WARNINGS[@]}"; do
      [ "$t" = "$tag" ] && known=1
    done
    [ $known = 1 ] || fail "lintian warning $tag is not explained in the README"
  done < <(sed -n 's/^W: [^:]*: \([^ ]*\).*/\1/p' <<<"$out" | sort -u)
}

remove_package() {
  apt-get remove -y -q netquill >"$SCRATCH/apt-remove.log" 2>&1 || { cat "$SCRATCH/apt-remove.log"; fail "apt-get remove"; }
  INSTALLED=0
  local left=() path
  while read -r path; do
    [[ $path == /usr/* ]] || continue
    # Folders that other packages share (/usr/bin, ...) stay.
    [ -d "$path" ] && [[ $path != */netquill ]] && continue
    [ -e "$path" ] && left+=("$path")
  done <"$SCRATCH/files"
  while read -r path; do
    left+=("$path")
  done < <(find /usr -name '*netquill*' 2>/dev/null)
  [ ${#left[@]} -eq 0 ] || fail "left under /usr after removal: ${left[*]}"
  ! dpkg-query -W netquill >/dev/null 2>&1 || fail "dpkg still knows netquill: $(dpkg -l netquill | tail -n 1)"
  echo "removed; nothing of the package is left under /usr ($(grep -c '^/usr/' "$SCRATCH/files") paths checked)"
}

timed "package" build_package
timed "install" install_package
timed "installed netquill-cli" check_cli
timed "installed netquill" check_gui
timed "playbook" check_playbook
timed "lintian" check_lintian
timed "remove" remove_package
echo "package-check: $(basename "$DEB") passed every check"
