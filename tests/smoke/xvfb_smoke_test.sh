#!/usr/bin/env bash
# Starts the real program in a real X server on a fresh base folder, finds its window, closes it,
# and checks the settings file it wrote. Then shows a page with a list at a scale factor of 1.5
# and in a dark theme, checks that the window fits the screen and that the dark theme stays dark,
# and keeps a screenshot of each in SHOTS (default: a folder that is removed at the end).
set -euo pipefail
tunex=$1 data=$2 shots=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
for tool in Xvfb xwininfo xwd; do
  command -v "$tool" >/dev/null || { echo "$tool is needed (scripts/bootstrap.sh installs it)"; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
[ -n "$shots" ] || shots=$work/shots
mkdir -p "$shots"
# The desktop profile (remembered window places) of these runs only.
export XDG_CONFIG_HOME=$work/config

cat >"$work/session.sh" <<'SESSION'
#!/usr/bin/env bash
# Runs Tunex in BASE until its window shows, optionally dumps the screen to SHOT, then ends it.
set -u
tunex=$1 base=$2 shot=${3:-}
log=$(mktemp)
trap 'rm -f "$log"' EXIT
cd "$base"
QT_QPA_PLATFORM=xcb "$tunex" 2>"$log" &
pid=$!
found=
for _ in $(seq 150); do
  if xwininfo -root -tree 2>/dev/null | grep -q '"Tunex"'; then found=1; break; fi
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.2
done
if [ -z "$found" ]; then
  exec 1>&2  # the caller may keep only what goes to stderr
  # Say why: the program may have ended, or the display may not answer.
  if kill -0 "$pid" 2>/dev/null; then
    echo "no Tunex window appeared in 30 s on $DISPLAY"; kill -KILL "$pid" 2>/dev/null
  else
    status=0; wait "$pid" || status=$?
    echo "Tunex ended with status $status before its window appeared on $DISPLAY"
  fi
  xwininfo -root >/dev/null 2>&1 || echo "the X server on $DISPLAY does not answer"
  echo "its messages:"; cat "$log"
  exit 1
fi
if [ -n "$shot" ]; then
  sleep 2  # the first paint of every widget
  xwininfo -name Tunex | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
    /^ *Width/{w=$NF} /^ *Height/{h=$NF} END{print x, y, w, h}' >"$shot.geometry"
  xwininfo -root | awk '/^ *Width/{w=$NF} /^ *Height/{h=$NF} END{print w, h}' >"$shot.screen"
  xwd -root -silent >"$shot.xwd"
fi
xwininfo -root -tree | grep '"Tunex"' | head -n 1
kill -TERM "$pid"
wait "$pid"
SESSION
chmod +x "$work/session.sh"

# Runs a command under its own X server of SIZE. The server picks a free display itself and says
# which once it accepts connections, so parallel runs and leftover sockets cannot collide with it.
# A busy machine can fail the set-up: a run that fails within seconds is told, with the server's
# messages, and tried once more on a new server.
in_x() {
  local size=$1; shift
  local attempt status started
  for attempt in 1 2; do
    : >"$work/display"
    Xvfb -displayfd 3 -nolisten tcp -screen 0 "$size" 3>"$work/display" 2>"$work/xvfb.log" &
    local server=$!
    status=0
    for _ in $(seq 100); do
      [ -s "$work/display" ] && break
      kill -0 "$server" 2>/dev/null || { status=1; break; }
      sleep 0.1
    done
    if [ "$status" -ne 0 ] || [ ! -s "$work/display" ]; then
      { echo "Xvfb did not start (attempt $attempt):"; cat "$work/xvfb.log"; } >&2
      kill "$server" 2>/dev/null; wait "$server" 2>/dev/null || true
      status=1
      continue
    fi
    started=$SECONDS
    DISPLAY=":$(tr -d '[:space:]' <"$work/display")" "$@" || status=$?
    kill "$server" 2>/dev/null; wait "$server" 2>/dev/null || true
    if [ "$status" -eq 0 ] || [ $((SECONDS - started)) -gt 5 ]; then
      break
    fi
    { echo "the run failed within seconds (attempt $attempt, status $status); the X server said:"
      cat "$work/xvfb.log"; } >&2
  done
  return "$status"
}

cp -R "$data"/. "$work/base"
# The shipped settings, cut to the bare minimum, so the file written at exit is visibly new.
printf '<ts>0\n<tf>0\n@*EOF\n' >"$work/base/system/system.ifo"
in_x 1280x800x24 "$work/session.sh" "$tunex" "$work/base"
settings=$(cat "$work/base/system/system.ifo")
expected=$'<ts>0\n<tf>0\n<md>1\n<mh>15\n<dt>1\n<as>03110111111;\n<ft>mp3;mp2;wmv;wma;dat;\n@*EOF'
[ "$settings" = "$expected" ] || { echo "unexpected settings file:"; echo "$settings"; exit 1; }
echo "window shown and closed; settings written"

# A base that opens on the History page with rows in its list.
look() {
  local name=$1; shift
  rm -rf "$work/look" "$XDG_CONFIG_HOME"
  cp -R "$data"/. "$work/look"
  printf '%s\n' '<ts>3' '<tf>1' '<dt>3' '<ht>love@?@beatles%|%12^*^Pop' '<ht>@?@abba%|%0^*^' \
    '<ht>night@?@%|%3^*^Pop' '@*EOF' >"$work/look/system/system.ifo"
  printf '%s\n' '**Pop' '<?>Love Me Do<|>/media/cd<:>mp3</><\>  3584.0<*>2003-11-16' \
    '<?>Night Fever<|>/media/cd<:>mp3</><\>  4096.0<*>2003-11-16' \
    '<?>Waterloo<|>/media/cd<:>mp3</><\>  2048.0<*>2003-11-16' >"$work/look/system/save0001.ifo"
  printf '@*EOF' >>"$work/look/system/save0001.ifo"
  in_x 1024x768x24 env "$@" timeout 60 "$work/session.sh" "$tunex" "$work/look" "$work/$name" >/dev/null
  python3 "$here/xwd_to_png.py" "$work/$name.xwd" "$shots/$name.png" \
    --region $(cat "$work/$name.geometry") >"$work/$name.mean"
  read -r x y w h <"$work/$name.geometry"
  read -r sw sh <"$work/$name.screen"
  if [ $((x + w)) -gt "$sw" ] || [ $((y + h)) -gt "$sh" ] || [ "$x" -lt 0 ] || [ "$y" -lt 0 ]; then
    echo "$name: the window ($w x $h at $x,$y) does not fit the ${sw}x$sh screen"; exit 1
  fi
  echo "$name: window $w x $h at $x,$y; mean brightness $(cat "$work/$name.mean"); $shots/$name.png"
}
look scale-1.5 QT_SCALE_FACTOR=1.5
look dark QT_STYLE_OVERRIDE=Adwaita-Dark
mean=$(cat "$work/dark.mean")
[ "${mean%.*}" -lt 100 ] || { echo "dark theme: the window is not dark (mean brightness $mean)"; exit 1; }
