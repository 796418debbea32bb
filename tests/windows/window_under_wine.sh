#!/usr/bin/env bash
# povezava.exe, the Windows window, under Wine, worked from outside by
# window_driver.exe through window messages, as a clerk would work it; what it
# writes is read back by the Linux build and by mdbtools. Folders are named
# with č, š, ž and blanks, and reached as Z:\, through a drive letter and as
# \\SERVER\share. Prints one line per check; exits 1 when any failed.
#
#   tests/windows/window_under_wine.sh WINDOW_EXE DRIVER_EXE LINUX_CLI WORK_FOLDER
#
# WINEPREFIX and WINEDEBUG come from the caller (scripts/test-windows), which
# runs this under Xvfb.
set -uo pipefail
exe=$1 driver=$2 linux_cli=$3 work=$4
source "$(dirname "$0")/checks.sh"
has() { grep -qxF -- "$1" <<<"$out"; }    # the driver printed exactly this line
hasNo() { ! grep -q -- "$1" <<<"$out"; }  # ... or nothing like this
# drive FOLDER COMMAND-LINE STEP...: the driver starts the window with exactly
# COMMAND-LINE in FOLDER and runs the steps; its report in $out, the
# window's standard error in $err.
drive() {
  local folder=$1; shift
  out=$("$wine" "$driver" "$(winpath "$folder")" "$@" 2>"$work/err" | tr -d '\r')
  err=$(cat "$work/err")
  if grep -q '^FAIL' <<<"$out"; then echo "      driver: $(grep '^FAIL' <<<"$out" | head -3)"; fi
}
links() { "$linux_cli" list "$1" | awk -F'\t' '$1 ~ /^(PARTNER|KONTI|NALOGI)$/ {print $1 "=" $3}' | tr '\n' ' '; }
wexe=$(winpath "$exe")

rm -rf "$work"
root="$work/Računi šž x"
# A front-end set: TQ.mdb in FOLDER, its back-ends in FOLDER/zaledje č.
fresh() {
  rm -rf "$1"
  mkdir -p "$1/zaledje č"
  cp "$fixtures/jet4-v2000/TQ.mdb" "$fixtures/jet4-v2000/NONALOGI.mdb" "$1/"
  cp "$fixtures/jet4-v2000/PARTNER.MDB" "$fixtures/jet4-v2000/QUERNO.MDB" "$1/zaledje č/"
  chmod -R u+w "$1"
}

# --- The clerk at the window --------------------------------------------------
set1="$root/okno"
fresh "$set1"
fe=$(winpath "$set1/TQ.mdb")
data=$(winpath "$set1/zaledje č")
drive "$set1" "\"$wexe\"" wait-window layout resources "$wexe" \
  set ImeBaze "$fe" click Command4 get imetab get 'Text1(0)' get 'Text1(1)' get 'Text2(0)' get 'Text2(1)' \
  set 'Text2(0)' ";DATABASE=$data\\PARTNER.MDB" set 'Text2(1)' ";DATABASE=$data\\QUERNO.MDB" click Command1 exit
check "the window's controls are where the twips table puts them at 96 dpi (within 2 px), in the form's tab order" \
  bash -c 'grep -qx "dpi 96" <<<"$1" && grep -qx "layout: 14 controls checked" <<<"$1" && ! grep -q "^FAIL" <<<"$1"' _ "$out"
check "povezava.exe carries its icon (16 to 256 px) and a version naming the licence" \
  bash -c 'grep -q "^LegalCopyright: .*MIT" <<<"$1" && grep -qx "FileVersion: [0-9.]*" <<<"$1"' _ "$out"
check "Osveži shows the table names and the current links" \
  bash -c 'grep -qx "imetab=PARTNER, KONTI, NALOGI" <<<"$1" && grep -qxF "Text1(0)=;DATABASE=C:\APP\PARTNER.MDB" <<<"$1" &&
           grep -qxF "Text1(1)=;DATABASE=C:\APP\QUERNO.MDB" <<<"$1"' _ "$out"
check "... and proposes link strings to PARTNER.MDB and QUERNO.MDB" \
  bash -c 'grep -q "^Text2(0)=;DATABASE=.*\\\\PARTNER.MDB$" <<<"$1" && grep -q "^Text2(1)=;DATABASE=.*\\\\QUERNO.MDB$" <<<"$1"' _ "$out"
check "Nova povezava relinks and the window ends with exit status 0, no box" \
  bash -c 'grep -qx "exit 0" <<<"$1" && grep -qx "boxes 0" <<<"$1"' _ "$out"
want="PARTNER=;DATABASE=$data\\PARTNER.MDB KONTI=;DATABASE=$data\\QUERNO.MDB NALOGI=;DATABASE=$data\\QUERNO.MDB "
check "the Linux build reads the three new links" test "$(links "$set1/TQ.mdb")" = "$want"
check "mdbtools reads the new link" \
  bash -c 'mdb-export "$1" MSysObjects | grep -qF "zaledje č\\QUERNO.MDB"' _ "$set1/TQ.mdb"

# A list entry is picked: the same inspection as Osveži, of that name (in the
# current folder, where TQ.MDB is).
fresh "$set1"
drive "$set1" "\"$wexe\"" wait-window set 'Text2(0)' typed pick 0 get ImeBaze get 'Text1(0)' get 'Text2(0)' close
check "picking TQ.MDB from the list inspects it; the typed link string is replaced by the proposal" \
  bash -c 'grep -qx "ImeBaze=TQ.MDB" <<<"$1" && grep -qxF "Text1(0)=;DATABASE=C:\APP\PARTNER.MDB" <<<"$1" &&
           ! grep -qx "Text2(0)=typed" <<<"$1" && grep -qx "exit 0" <<<"$1"' _ "$out"

# The name changed without Osveži: nothing is written, the clerk is told, the
# window stays; closed, it ends with exit status 1.
fresh "$set1"
before=$(sha256sum "$set1/TQ.mdb" "$set1/NONALOGI.mdb")
drive "$set1" "\"$wexe\"" wait-window set ImeBaze "$fe" click Command4 set ImeBaze "$(winpath "$set1/NONALOGI.mdb")" \
  click Command1 get imetab close
check "a name changed without Osveži: a box, nothing written, the window stays, exit status 1" \
  bash -c 'grep -q "^box: " <<<"$1" && grep -qx "imetab=PARTNER, KONTI, NALOGI" <<<"$1" && grep -qx "exit 1" <<<"$1" &&
           [ "$2" = "$(sha256sum "$3" "$4")" ]' _ "$out" "$before" "$set1/TQ.mdb" "$set1/NONALOGI.mdb"

# A back-end that does not exist: nothing written, the failure shown, the
# window stays for another try; closed, it ends with exit status 1.
fresh "$set1"
before=$(sha256sum <"$set1/TQ.mdb")
drive "$set1" "\"$wexe\"" wait-window set ImeBaze "$fe" click Command4 \
  set 'Text2(0)' ";DATABASE=$(winpath "$set1/nikjer")\\PARTNER.MDB" click Command1 get imetab close
check "a missing back-end: a box, the front-end byte-identical, the window stays, exit status 1" \
  bash -c 'grep -q "^box: .*PARTNER" <<<"$1" && grep -qx "imetab=PARTNER, KONTI, NALOGI" <<<"$1" && grep -qx "exit 1" <<<"$1" &&
           [ "$2" = "$(sha256sum <"$3")" ]' _ "$out" "$before" "$set1/TQ.mdb"

# --- The automatic relink from the command line --------------------------------
# Blanks need no quotes: only "," and ";" end the front-end's name.
for kind in z drive unc; do
  set2="$root/ukaz $kind čšž"
  fresh "$set2"
  case $kind in
    z) base=$(winpath "$set2") ;;
    drive) ln -sfn "$(realpath "$set2")" "$WINEPREFIX/dosdevices/p:"; base='P:' ;;
    unc) mkdir -p "$WINEPREFIX/dosdevices/unc/STREZNIK"
         ln -sfn "$(realpath "$set2")" "$WINEPREFIX/dosdevices/unc/STREZNIK/deljeno š"
         base='\\STREZNIK\deljeno š' ;;
  esac
  drive "$root" "\"$wexe\" $base\\TQ.mdb,$base\\zaledje č" exit
  check "command line through $kind ($base): exit 0, no box" \
    bash -c 'grep -qx "exit 0" <<<"$1" && grep -qx "boxes 0" <<<"$1" && [ -z "$2" ]' _ "$out" "$err"
  want="PARTNER=;DATABASE=$base\\zaledje č\\PARTNER.MDB KONTI=;DATABASE=$base\\zaledje č\\querno.MDB NALOGI=;DATABASE=$base\\zaledje č\\querno.MDB "
  check "... the three tables point to $base\\zaledje č" test "$(links "$set2/TQ.mdb")" = "$want"
done

# As a shortcut passes it: Wine joins separate arguments with single blanks
# into the program's command line.
set3="$root/bližnjica šž"
fresh "$set3"
IFS=' ' read -r -a words <<<"$(winpath "$set3")\\TQ.mdb,$(winpath "$set3")\\zaledje č"
(cd "$root" && "$wine" "$exe" "${words[@]}" >"$work/out" 2>"$work/err")
rc=$?
check "wine povezava.exe WORDS: exit 0, nothing on stderr" bash -c '[ "$1" -eq 0 ] && [ ! -s "$2" ]' _ "$rc" "$work/err"
check "... relinked to the folder named with blanks" \
  bash -c '[[ "$1" == *"bližnjica šž\\zaledje č\\querno.MDB "* ]]' _ "$(links "$set3/TQ.mdb")"

# Relative names, from the folder the run starts in: the link strings name
# the back-ends by their full Windows path.
fresh "$set3"
drive "$set3" "\"$wexe\" TQ.mdb,zaledje č" exit
check "a relative front-end and back-end location: exit 0, no box" \
  bash -c 'grep -qx "exit 0" <<<"$1" && grep -qx "boxes 0" <<<"$1"' _ "$out"
check "... the links name the back-ends' full path" \
  test "$(links "$set3/TQ.mdb")" = "PARTNER=;DATABASE=$(winpath "$set3")\zaledje č\PARTNER.MDB KONTI=;DATABASE=$(winpath "$set3")\zaledje č\querno.MDB NALOGI=;DATABASE=$(winpath "$set3")\zaledje č\querno.MDB "

# A front-end that does not exist: exit 1 at once, no box, the reason on stderr.
drive "$root" "\"$wexe\" $(winpath "$root/ni tu")\\TQ.mdb,$(winpath "$root")" exit
check "command line with a missing front-end: exit 1, no box, the file named on stderr" \
  bash -c 'grep -qx "exit 1" <<<"$1" && grep -qx "boxes 0" <<<"$1" && [[ "$2" == *"ni tu"* ]]' _ "$out" "$err"
# Quotes around the whole line make the "," part of the name: the same.
drive "$root" "\"$wexe\" \"$(winpath "$set3")\\TQ.mdb,$(winpath "$set3")\\zaledje č\"" exit
check "the whole line in quotes names no front-end: exit 1, no box" \
  bash -c 'grep -qx "exit 1" <<<"$1" && grep -qx "boxes 0" <<<"$1"' _ "$out"

echo "$failures failed"
[ "$failures" -eq 0 ]
