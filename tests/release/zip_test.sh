#!/usr/bin/env bash
# The Windows download as a user gets it: the zip unpacked into an empty
# folder, both programs started from there under Wine.
#
#   zip_test.sh ZIP VERSION WINE OBJDUMP PROBE EXAMPLES
set -uo pipefail
zip=$1 version=$2 wine=$3 objdump=$4 probe=$5 examples=$6
failed=0
fail() { echo "FAIL: $*"; failed=1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/zetveltran-zip.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$zip") || { echo "FAIL: cannot unpack $zip"; exit 1; }
cd "$work/unpacked"

# What the user finds: the programs, the languages, the guide and the licence.
expected=$'LICENSE.txt\nREADME.txt\nde/zetveltran.lng\nzetveltran-cli.exe\nzetveltran.exe\nzetveltran.lng'
listing=$(find . -type f | sed 's|^\./||' | LC_ALL=C sort)
[ "$listing" = "$expected" ] || fail "the zip holds"$'\n'"$listing"
for text in README.txt LICENSE.txt; do
  [ "$(grep -c $'\r$' "$text")" = "$(wc -l <"$text")" ] || fail "$text has lines without CR LF"
done
grep -q 'de\\zetveltran.lng' README.txt || fail "README.txt does not say how to switch to German"
grep -q 'MIT' README.txt || fail "README.txt does not name the licence"

# Self-contained programs: no import but the system's own DLLs.
for program in zetveltran.exe zetveltran-cli.exe; do
  dlls=$("$objdump" -p "$program" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
  [ -n "$dlls" ] || fail "$program: no imports read"
  for dll in $dlls; do
    case $dll in
      kernel32.dll | user32.dll | gdi32.dll | comctl32.dll | comdlg32.dll | shell32.dll | ole32.dll | \
        oleaut32.dll | advapi32.dll | uxtheme.dll | msvcrt.dll | ucrtbase.dll | api-ms-win-*.dll | ntdll.dll | \
        shlwapi.dll | version.dll | bcrypt.dll | ws2_32.dll) ;;
      *) fail "$program needs $dll, which Windows does not have" ;;
    esac
  done
done

# The console program from the unpacked folder: its version, then a real
# install of the sample package into a copy of the sample host, both named
# relative to the current folder.
out=$("$wine" ./zetveltran-cli.exe --version 2>&1 | tr -d '\r')
[ "$out" = "zetveltran-cli $version" ] || fail "--version printed: $out"
cp -r "$examples/host" "$work/host"
cp -r "$examples/package" "$work/package"
out=$("$wine" ./zetveltran-cli.exe --no-scan -q ../package/RESOURCEN ../host/RESOURCEN 2>&1 | tr -d '\r')
status=$?
[ "$status" = 0 ] || fail "the install ended with status $status: $out"
grep -q '^Failures: *0$' <<<"$out" || fail "the install reported:"$'\n'"$out"
cmp -s "$examples/package/RESOURCEN/Modelle/Loks/BR218.mdl" "$work/host/RESOURCEN/Modelle/Loks/BR218.mdl" ||
  fail "the package's model was not copied"
cmp -s "$examples/host/RESOURCEN/Parallels/Texturen.txt" "$work/host/RESOURCEN/Parallels/Texturen.txt" &&
  fail "the texture list was not merged"
diff -r "$examples/package" "$work/package" >/dev/null || fail "the package was changed"

# The dialog program started in its folder shows its main dialog with the
# texts of the shipped language file; with the German file put in its place,
# the German texts.
folder="Z:${PWD//\//\\}"
shows() {
  local texts
  # A program started in the instant Wine's server ends (its last program
  # gone) is refused by it: once more, then.
  for attempt in 1 2; do
    texts=$("$wine" "$probe" "$folder" "$folder\\zetveltran.exe" 2>&1 | tr -d '\r')
    grep -q "^wine client error" <<<"$texts" || break
  done
  for want in "$@"; do
    grep -qxF "$want" <<<"$texts" || fail "the dialog lacks \"$want\"; it showed:"$'\n'"$texts"
  done
}
shows "title: ZET Veltran" "control: Install" "control: Package folder (the package's RESOURCEN):"
cp de/zetveltran.lng zetveltran.lng
shows "title: ZET Veltran" "control: Installieren" "control: Fortschritt:"

((failed)) && exit 1
echo "the zip's programs work from the folder it was unpacked into"
