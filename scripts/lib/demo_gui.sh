#!/usr/bin/env bash
# The dialog program under Wine on the sample trees: builds zetveltran.exe,
# copies the sample host tree into a scratch folder, writes the host's
# registration (VERSION 0x40000, ResBase = that copy) into a scratch Wine
# prefix and starts the program in a folder with the English language file.
# The package to install is examples/package/RESOURCEN.
#
# With a display the program is yours to use; the script waits until it is
# closed and then lists what changed in the host copy. Without a display it
# runs on a virtual one, saves a screenshot of the dialog to
# build/demo/zetveltran-gui.png and closes it.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
. scripts/lib/wine.sh

cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)" --target zetveltran >/dev/null
exe=$root/build/windows/src/zetveltran.exe

scratch=$(mktemp -d "${TMPDIR:-/tmp}/zetveltran-gui-demo.XXXXXX")
trap 'WINEPREFIX="$scratch/wineprefix" wineserver -k 2>/dev/null || true; rm -rf "$scratch"' EXIT
cp -r --preserve=timestamps examples/host "$scratch/host"
mkdir -p "$scratch/run"
cp lang/zetveltran.lng "$scratch/run/"

# Wine shows the whole Linux file system as drive Z:.
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
zet_wine_prefix "$scratch/wineprefix"
wine=/usr/lib/wine/wine64
key='HKCR\Software\Brankor\KORA'
"$wine" reg add "$key" /v VERSION /t REG_DWORD /d 0x40000 /f >/dev/null
"$wine" reg add "$key" /v ResBase /t REG_SZ /d "$(windows_path "$scratch/host/RESOURCEN")" /f >/dev/null
wineserver -w

echo "== Package: $(windows_path "$root/examples/package/RESOURCEN")"
echo "== Target:  $(windows_path "$scratch/host/RESOURCEN") (from the host registration)"

if [ -n "${DISPLAY:-}" ]; then
  echo "== Starting ZET Veltran; enter the package folder above and press Install."
  (cd "$scratch/run" && "$wine" "$exe") || true
  wineserver -w
  echo
  echo "== What changed in the host copy"
  files() { (cd "$1" && find . -type f | sed 's|^\./||' | sort); }
  comm -13 <(files "$root/examples/host/RESOURCEN") <(files "$scratch/host/RESOURCEN") | sed 's/^/   new      /'
  comm -12 <(files "$root/examples/host/RESOURCEN") <(files "$scratch/host/RESOURCEN") | while read -r f; do
    cmp -s "$root/examples/host/RESOURCEN/$f" "$scratch/host/RESOURCEN/$f" || echo "   changed  $f"
  done
  exit 0
fi

mkdir -p build/demo
shot=$root/build/demo/zetveltran-gui.png
echo "== No display: running on a virtual one"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  cd "$1" && "$2" "$3" &
  for _ in $(seq 60); do
    sleep 1
    # The dialog is up once the screen is no longer all black.
    import -window root "$4.raw.png" 2>/dev/null &&
      [ "$(convert "$4.raw.png" -format "%[fx:maxima.r]" info:)" != 0 ] && break
  done
  sleep 1
  import -window root "$4.raw.png"
  convert "$4.raw.png" -trim +repage "$4"
  rm -f "$4.raw.png"
  wineserver -k
' _ "$scratch/run" "$wine" "$exe" "$shot"
echo "== Screenshot of the dialog: $shot"
