#!/usr/bin/env bash
# Runs scripts/demo.sh on a display of its own (Xvfb with openbox) and clicks through the
# three runs the way a person does, with X pointer and key events (xdotool): a check that
# the demo can be done at the screen. Pictures of the screen at each step go to
# demo/clicked/ (with ImageMagick installed). Exit code: the demo's.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
scripts/setup-deps.sh
out=$top/demo/clicked
rm -rf "$out"
mkdir -p "$out"

exec 3>"$out/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$out/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$out/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$out/display")
openbox >"$out/openbox.log" 2>&1 &
wm=$!
trap 'kill $wm $xvfb 2>/dev/null || true' EXIT

scripts/demo.sh >"$out/demo.log" 2>&1 &
demo=$!

# window TITLE: the id of the shown window whose title is TITLE (waits up to 3 minutes).
window() {
  local w
  for _ in $(seq 900); do
    w=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -1 || true)
    if [ -n "$w" ]; then sleep 1; echo "$w"; return; fi
    sleep 0.2
  done
  echo "demo-clicked: no window \"$1\"" >&2
  kill $demo
  exit 1
}
# click WINDOW X Y: a click at a point of the window's client area.
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; sleep 0.5; }
# ended PROGRAM: waits until the PC's copy of PROGRAM has ended.
ended() { while pgrep -f "drives/d/$1" >/dev/null; do sleep 0.1; done; }
n=0
# shot NAME: a picture of the screen, when ImageMagick's import is there.
shot() {
  n=$((n + 1))
  if command -v import >/dev/null; then import -window root "$out/$(printf %02d $n)-$1.png"; fi
}

echo "== Tolvane: the server and the client"
w=$(window "Firebird 1.5"); shot tolvane
click "$w" 300 60     # "Installer le serveur et le client Firebird"
click "$w" 428 287    # OK
window "Information" >/dev/null; shot completion
xdotool key Return; ended Tolvane.exe

echo "== Tolvane: the uninstallation"
w=$(window "Firebird 1.5")
click "$w" 280 88     # "Désinstaller Firebird"
click "$w" 428 287    # OK
window "Avertissement" >/dev/null; shot server-running
xdotool key alt+o     # Oui
window "Information" >/dev/null; shot uninstalled
xdotool key Return; sleep 1; shot dialog-again
click "$w" 512 287    # Annuler
ended Tolvane.exe

echo "== Install: the \"Serveur\" environment"
w=$(window " Environnement minimum pour les programmes MARQETO"); shot welcome
click "$w" 597 452    # Suivant >
click "$w" 417 72     # Serveur
shot items
click "$w" 597 452    # Suivant >
# The buttons wait while the installation runs: the printer button is tried until its
# dialog opens.
for _ in $(seq 180); do
  click "$w" 204 16   # the printer button
  xdotool search --onlyvisible --name "^Configuration de l'impression\$" >/dev/null 2>&1 && break
  sleep 1
done
window "Configuration de l'impression" >/dev/null; shot printer-setup
xdotool key Return; sleep 2; shot printed
click "$w" 597 452    # Quitter
ended Install.exe

rc=0
wait $demo || rc=$?
echo "== the demo ended with $rc; its output: $out/demo.log; the screen at each step: $out/"
exit $rc
