#!/usr/bin/env bash
# Starts the real program in a real X server on a fresh base folder, finds its window, closes it,
# and checks the settings file it wrote.
set -euo pipefail
tunex=$1 data=$2
if ! command -v xvfb-run >/dev/null || ! command -v xwininfo >/dev/null; then
  echo "xvfb-run and xwininfo are needed (scripts/bootstrap.sh installs them)"; exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -R "$data"/. "$work/base"
# The shipped settings, cut to the bare minimum, so the file written at exit is visibly new.
printf '<ts>0\n<tf>0\n@*EOF\n' >"$work/base/system/system.ifo"

cat >"$work/session.sh" <<'SESSION'
#!/usr/bin/env bash
set -u
tunex=$1 base=$2
cd "$base"
QT_QPA_PLATFORM=xcb "$tunex" &
pid=$!
found=
for _ in $(seq 150); do
  if xwininfo -root -tree 2>/dev/null | grep -q '"Tunex"'; then found=1; break; fi
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.2
done
[ -n "$found" ] || { echo "no Tunex window appeared"; kill -KILL "$pid" 2>/dev/null; exit 1; }
xwininfo -root -tree | grep '"Tunex"' | head -n 1
kill -TERM "$pid"
wait "$pid"
SESSION
chmod +x "$work/session.sh"

xvfb-run -a -s "-screen 0 1280x800x24" "$work/session.sh" "$tunex" "$work/base"
settings=$(cat "$work/base/system/system.ifo")
expected=$'<ts>0\n<tf>0\n<md>1\n<mh>15\n<dt>1\n<as>03110111111;\n<ft>mp3;mp2;wmv;wma;dat;\n@*EOF'
[ "$settings" = "$expected" ] || { echo "unexpected settings file:"; echo "$settings"; exit 1; }
echo "window shown and closed; settings written"
