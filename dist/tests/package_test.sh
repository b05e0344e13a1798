#!/usr/bin/env bash
# The installed system on its own: `cmake --install` into a scratch prefix gives working
# service units, and the Debian package, unpacked into a scratch root (never into the
# machine), runs the server and a short camrec recording against an emulated camera with
# nothing else on the library path.
#   package_test.sh BUILD_DIR
set -euo pipefail
build=$1
scratch=$(mktemp -d)
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "package test: $*" >&2; exit 1; }

echo "== cmake --install into $scratch/prefix"
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
for unit in "$scratch"/prefix/lib/systemd/system/*.service; do
  grep -q "^ExecStart=$scratch/prefix/bin/" "$unit" || fail "$unit does not start the installed program"
done
if command -v systemd-analyze >/dev/null; then
  # A template unit is checked through an instance of it.
  cp "$scratch/prefix/lib/systemd/system/velmar-server@.service" "$scratch/velmar-server@6022.service"
  # --man=no: the manual pages the units name are not installed on this machine.
  report=$(systemd-analyze verify --man=no "$scratch/velmar-server@6022.service" \
             "$scratch/prefix/lib/systemd/system/velmar-camweb.service" 2>&1) ||
    fail "systemd-analyze verify: $report"
  [ -z "$report" ] || fail "systemd-analyze verify: $report"
fi

echo "== Debian package"
cpack --config "$build/CPackConfig.cmake" -B "$scratch/packages" >/dev/null
deb=$(ls "$scratch"/packages/*.deb)
[ -f "$deb" ] || fail "no package made"
depends=$(dpkg-deb -f "$deb" Depends)
[[ "$depends" == *libavcodec* ]] || fail "the package declares no libavcodec dependency: $depends"
dpkg-deb -x "$deb" "$scratch/root"
usr=$scratch/root/usr
for program in server camrec camsnap camweb camlist vistro orbelo tessly; do
  [ -x "$usr/bin/$program" ] || fail "$program missing from the package"
  [ -f "$usr/share/man/man1/$program.1" ] || fail "manual page of $program missing"
done
[ -f "$usr/share/doc/velmar/user-guide.md" ] || fail "user guide missing"
[ -f "$usr/lib/udev/rules.d/60-velmar-camera.rules" ] || fail "udev rule missing"

clean_env=(env -i PATH=/usr/bin:/bin HOME="$scratch" TMPDIR="$scratch")
help=$("${clean_env[@]}" "$usr/bin/server" --help) || fail "server --help"
[[ "$help" == "Usage: server"* ]] || fail "server --help: $help"
port=$((20000 + RANDOM % 40000))
"${clean_env[@]}" VELMAR_DEVICES=emu "$usr/bin/server" --port "$port" --bind 127.0.0.1 </dev/null \
  >"$scratch/server.log" 2>&1 &
server_pid=$!
"${clean_env[@]}" "$usr/bin/camrec" --port "$port" --connect-timeout 20 --seconds 1 -q -o "$scratch/clip.avi" ||
  { cat "$scratch/server.log"; fail "camrec from the package"; }
[ "$(head -c 4 "$scratch/clip.avi")" = RIFF ] || fail "camrec wrote no AVI file"
echo "package test: $(basename "$deb") ($(stat -c %s "$deb") bytes) installs and runs"
