#!/usr/bin/env bash
# A second process is refused while the program holds the base folder, and changes nothing.
set -euo pipefail
tunex=$1 cli=$2 data=$3
work=$(mktemp -d)
pid=
cleanup() { [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
cp -R "$data"/. "$work/base"

(cd "$work/base" && QT_QPA_PLATFORM=offscreen exec "$tunex") &
pid=$!

# Wait, without touching the lock ourselves, until the program holds it.
inode=$(stat -c %i "$work/base/system")
for _ in $(seq 300); do
  grep -q ":$inode " /proc/locks && break
  kill -0 "$pid" 2>/dev/null || { echo "tunex ended early"; exit 1; }
  sleep 0.1
done
grep -q ":$inode " /proc/locks || { echo "tunex never took the lock"; exit 1; }

before=$(cd "$work/base" && find . -type f -exec sha256sum {} + | sort)
set +e
"$cli" --base "$work/base" collections >"$work/out" 2>"$work/err"
rc=$?
set -e
[ "$rc" -eq 1 ] || { echo "second process exit code $rc, expected 1"; exit 1; }
expected=$'Tunex - File Error: System file could not be opened.\nCheck if duplicate program is running.'
[ "$(cat "$work/err")" = "$expected" ] || { echo "unexpected message:"; cat "$work/err"; exit 1; }
after=$(cd "$work/base" && find . -type f -exec sha256sum {} + | sort)
[ "$before" = "$after" ] || { echo "the second process changed files"; exit 1; }

# The first copy still closes normally and writes its settings.
kill -TERM "$pid"
wait "$pid"
rc=$?
pid=
[ "$rc" -eq 0 ] || { echo "tunex exit code $rc"; exit 1; }
tail -n 1 "$work/base/system/system.ifo" | grep -qx '@\*EOF'
"$cli" --base "$work/base" collections >/dev/null
echo "second process refused; files untouched"
