#!/usr/bin/env bash
# The demo: installs what is missing, builds, makes a fresh demo PC (demo/pc) with the
# sample media as its drive D: (demo/media), puts Tolvane and Install beside the media's
# Files\ folder and runs them there: in a window when a display is present, otherwise
# headless with scripts that answer the dialogs. Then shows what each run did to the PC, and
# the screenshots that tell each run's story.
#
#   scripts/demo.sh            Tolvane installs the server, Tolvane removes it, then
#                              Install installs the "Serveur" environment
#   scripts/demo.sh tolvane    Tolvane only (server installation)
#   scripts/demo.sh install    Install only ("Serveur" type)
#
# Running it again starts from a fresh PC.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
what=${1:-both}
case "$what" in
  both | tolvane | install) ;;
  *) echo "usage: scripts/demo.sh [both|tolvane|install]" >&2; exit 2 ;;
esac

scripts/setup-deps.sh
echo "== building (Release, build/; log in build/demo-build.log)"
mkdir -p build
if ! { cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release &&
       cmake --build build -j"$(nproc)" --target Tolvane install_wizard machine media; } \
       >build/demo-build.log 2>&1; then
  tail -40 build/demo-build.log
  exit 1
fi

machine() { "$top/build/tools/machine/machine" "$@"; }
demo=$top/demo
rm -rf "$demo/pc" "$demo/media" "$demo/screenshots" "$demo/scripts"
mkdir -p "$demo/screenshots" "$demo/scripts"

echo "== a new PC: $demo/pc"
machine new "$demo/pc"
echo "== the installation media, drive D: of the PC: $demo/media"
"$top/build/tools/media/media" "$demo/media" --both >/dev/null
ln -s "$demo/media" "$demo/pc/drives/d"
cp "$top/build/tolvane/Tolvane" "$demo/media/Tolvane.exe"
cp "$top/build/wizard/Install" "$demo/media/Install.exe"

export WINPC=$demo/pc
interactive=
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1 && [ -z "${WI_HEADLESS:-}" ]; then
  interactive=1
fi

# run NAME PROGRAM SCRIPT-TEXT: runs D:\PROGRAM as the PC would, with its screenshots in
# demo/screenshots/NAME; headless, the script stands in for the user.
run() {
  local name=$1 program=$2 script=$3
  mkdir -p "$demo/screenshots/$name"
  if [ -n "$interactive" ]; then
    WI_SNAPSHOT_DIR="$demo/screenshots/$name" machine run "$demo/pc" "D:\\$program"
  else
    printf '%s\n' "$script" >"$demo/scripts/$name.script"
    WI_HEADLESS=1 WI_SNAPSHOT_DIR="$demo/screenshots/$name" \
      WI_UI_SCRIPT="$demo/scripts/$name.script" machine run "$demo/pc" "D:\\$program"
  fi
}

journal_since() {
  machine log "$demo/pc" | tail -n +"$(($1 + 1))" | grep -v -i " beep " || true
}

if [ "$what" != install ]; then
  echo
  echo "== D:\\Tolvane.exe: installing the server and the client"
  [ -n "$interactive" ] && echo "   choose \"Installer le serveur et le client Firebird\", OK, then OK on its message"
  start=$(machine log "$demo/pc" | wc -l)
  run tolvane-install Tolvane.exe "# Install the server and its client; should a library be in use, decline the restart.
check VcRadioButton2
click bOK
dialog information | L'installation du serveur Firebird est terminée! | ok
dialog confirmation | Voulez-vous redémarrer maintenant? | no"
  echo "-- what it did to the PC (machine log):"
  journal_since "$start"
  echo "-- services (machine services):"
  machine services "$demo/pc" | grep -A4 "^Firebird" || true
fi

if [ "$what" = both ]; then
  echo
  echo "== D:\\Tolvane.exe: uninstalling Firebird"
  [ -n "$interactive" ] && echo "   choose \"Désinstaller Firebird\", OK, Oui (the server runs), OK, then Annuler"
  start=$(machine log "$demo/pc" | wc -l)
  run tolvane-uninstall Tolvane.exe "check VcRadioButton3
click bOK
dialog warning | Le serveur Firebird est actif sur cette machine! | yes
dialog information | Firebird a été désinstallé! | ok
click bAnnuler"
  echo "-- what it did to the PC:"
  journal_since "$start"
fi

if [ "$what" != tolvane ]; then
  echo
  echo "== D:\\Install.exe: the minimum environment, type \"Serveur\""
  [ -n "$interactive" ] && echo "   Suivant >, choose \"Serveur\", Suivant >, the printer button, OK, then Quitter"
  start=$(machine log "$demo/pc" | wc -l)
  run install Install.exe "wait 20
click ActionNext
check rbServeur
click ActionNext
printer ok
click SpeedButtonPrint
click ActionNext"
  echo "-- what it did to the PC:"
  journal_since "$start"
  report=$(find "$demo/pc/printed" -name '*.pdf' 2>/dev/null | head -1)
  [ -n "$report" ] && echo "-- its printed report: $report"
fi

echo
shots=$(find "$demo/screenshots" -name '[0-9]*.png' | sort)
if [ -n "$shots" ]; then
  echo "== screenshots, in the order the windows changed (<form>.png beside them is each last state):"
  echo "$shots"
else
  echo "== no screenshots were written to $demo/screenshots"
fi
