#!/usr/bin/env bash
# povezava-cli.exe under Wine, end to end, on copies of the fixtures in folders
# whose names hold č, š, ž and blanks, named by Z:\ paths as a Windows user
# would name them. What the .exe writes is read back by the Linux build and by
# mdbtools. Prints one line per check; exits 1 when any failed.
#
#   tests/windows/cli_under_wine.sh WINDOWS_CLI LINUX_CLI WORK_FOLDER
#
# WINEPREFIX and WINEDEBUG come from the caller (scripts/test-windows).
set -uo pipefail
exe=$1 linux_cli=$2 work=$3
source "$(dirname "$0")/checks.sh"
# Runs the .exe; stdout to $out, stderr to $err, exit status to $rc.
cli() {
  "$wine" "$exe" "$@" >"$work/out" 2>"$work/err"
  rc=$?
  out=$(cat "$work/out")
  err=$(cat "$work/err")
}

rm -rf "$work"
root="$work/Računi šž x"
mkdir -p "$root"

# make-demo, Jet 4 and Jet 3 (code page 1250).
for kind in jet4 jet3; do
  folder="$root/demo $kind čšž"
  flag=()
  [ $kind = jet3 ] && flag=(--jet3)
  cli make-demo "$(winpath "$folder")" "${flag[@]}"
  check "make-demo $kind exits 0" test "$rc" -eq 0
  check "make-demo $kind made the front-end" test -f "$folder/TQ.mdb"
  cli list "$(winpath "$folder/TQ.mdb")"
  check "list $kind: UTF-8 link strings, LF line ends" \
    bash -c '[[ "$1" == *"PARTNER"$'"'"'\t'"'"'"linked"* && "$1" == *"demo '$kind' čšž\\old-location\\PARTNER.MDB"* && "$1" != *$'"'"'\r'"'"'* ]]' _ "$out"
  cli check "$(winpath "$folder/TQ.mdb")"
  check "check $kind: the old location is broken (exit 1, error 3044)" \
    bash -c '[ "$1" -eq 1 ] && [[ "$2" == *"error 3044"* ]]' _ "$rc" "$out"
  before=$(sha256sum <"$folder/TQ.mdb")
  cli relink "$(winpath "$folder/TQ.mdb")" --backend "$(winpath "$folder/data")" --dry-run --json
  check "relink --dry-run $kind: exit 0, front-end unchanged" \
    bash -c '[ "$1" -eq 0 ] && [ "$2" = "$(sha256sum <"$3")" ]' _ "$rc" "$before" "$folder/TQ.mdb"
  check "relink --dry-run --json $kind: one JSON object, dryRun true" \
    python3 -c 'import json,sys; o=json.loads(sys.argv[1]); sys.exit(0 if o["dryRun"] and not o["error"] else 1)' "$out"
  cli relink "$(winpath "$folder/TQ.mdb")" --backend "$(winpath "$folder/data")"
  check "relink --backend $kind exits 0" test "$rc" -eq 0
  cli check "$(winpath "$folder/TQ.mdb")"
  check "check $kind after the relink: every link ok" test "$rc" -eq 0
  check "the Linux build reads the relinked $kind front-end" \
    bash -c '"$1" list "$2" | grep -q "demo '$kind' čšž\\\\data\\\\PARTNER.MDB"' _ "$linux_cli" "$folder/TQ.mdb"
  check "mdbtools reads the relinked $kind front-end" \
    bash -c 'MDB_JET3_CHARSET=CP1250 mdb-export "$1" MSysObjects | grep -q "demo '$kind' čšž\\\\data\\\\PARTNER.MDB"' _ "$folder/TQ.mdb"
done

# Relative locations are made absolute in Windows form against the current
# folder (Z:\...\rel), never as "/Z:/...": SUB, ..\rel\data and --folder.
rel="$root/rel"
cli make-demo "$(winpath "$rel")"
for location in data "..\\rel\\data"; do
  (cd "$rel" && "$wine" "$exe" relink TQ.mdb --backend "$location" >"$work/out" 2>"$work/err")
  rc=$?
  check "relink --backend '$location' from the front-end's folder exits 0" test "$rc" -eq 0
  check "relink --backend '$location' writes the Windows form of the folder" \
    bash -c '"$1" list "$2" | grep -qF "$3\\PARTNER.MDB"' _ "$linux_cli" "$rel/TQ.mdb" "$(winpath "$rel/data")"
  check "relink --backend '$location' writes no '/Z:'" \
    bash -c '! "$1" list "$2" | grep -qF "/Z:"' _ "$linux_cli" "$rel/TQ.mdb"
done
(cd "$rel" && "$wine" "$exe" relink TQ.mdb --folder data >"$work/out" 2>"$work/err")
check "relink --folder with a relative folder exits 0" test "$?" -eq 0

# The fixtures: Jet 4 (Access 2000) and ACE (Access 2010).
for set in jet4-v2000:mdb:MDB ace-v2010:accdb:accdb; do
  IFS=: read -r name ext bext <<<"$set"
  folder="$root/$name kopija"
  data="$folder/zaledje š"
  mkdir -p "$data"
  cp "$fixtures/$name/TQ.$ext" "$fixtures/$name/NONALOGI.$ext" "$folder/"
  cp "$fixtures/$name/PARTNER.$bext" "$fixtures/$name/QUERNO.$bext" "$data/"
  chmod u+w "$folder"/* "$data"/*
  fe=$(winpath "$folder/TQ.$ext")

  # A back-end that does not exist: the front-end stays byte for byte.
  before=$(sha256sum <"$folder/TQ.$ext")
  cli relink "$fe" "PARTNER=;DATABASE=$(winpath "$folder/nowhere")\\PARTNER.$bext"
  check "$name: a missing back-end fails (exit 1, error 3044)" \
    bash -c '[ "$1" -eq 1 ] && [[ "$2$3" == *"3044"* ]]' _ "$rc" "$out" "$err"
  check "$name: ... and leaves the front-end byte-identical" \
    bash -c '[ "$1" = "$(sha256sum <"$2")" ]' _ "$before" "$folder/TQ.$ext"

  # Pairs.
  cli relink "$fe" "PARTNER=;DATABASE=$(winpath "$data/PARTNER.$bext")" \
    "KONTI=;DATABASE=$(winpath "$data/QUERNO.$bext")" "NALOGI=;DATABASE=$(winpath "$data/QUERNO.$bext")"
  check "$name: relink TABLE=LINK pairs exits 0" test "$rc" -eq 0
  cli check --json "$fe"
  check "$name: check --json after the pairs: PARTNER, KONTI, NALOGI ok (OTHER still points to C:)" \
    python3 -c 'import json,sys; o=json.loads(sys.argv[1]); s={t["table"]: t["status"] for t in o["tables"]}
sys.exit(0 if [s["PARTNER"], s["KONTI"], s["NALOGI"], s["OTHER"]] == ["ok", "ok", "ok", "error"] else 1)' "$out"
  check "$name: the Linux build sees the new link" \
    bash -c '"$1" list "$2" | grep -q "zaledje š\\\\PARTNER"' _ "$linux_cli" "$folder/TQ.$ext"
  check "$name: mdbtools sees the new link" \
    bash -c 'mdb-export "$1" MSysObjects | grep -q "zaledje š\\\\QUERNO"' _ "$folder/TQ.$ext"

  # --replace, then --beside with many front-ends in one run, --json. The
  # link strings of --beside name PARTNER.MDB and querno.MDB.
  mkdir -p "$folder/drugje"
  cp "$data"/* "$folder/drugje/"
  cli relink "$fe" --replace "$(winpath "$data")=$(winpath "$folder/drugje")"
  check "$name: relink --replace rewrites the prefix" \
    bash -c '[ "$1" -eq 0 ] && "$2" list "$3" | grep -q "kopija\\\\drugje\\\\PARTNER"' _ "$rc" "$linux_cli" "$folder/TQ.$ext"
  cp "$data/PARTNER.$bext" "$folder/PARTNER.MDB"
  cp "$data/QUERNO.$bext" "$folder/QUERNO.MDB"
  cli relink "$fe" "$(winpath "$folder/NONALOGI.$ext")" --beside --json
  check "$name: relink --beside of two front-ends, --json: exit 0, two objects" \
    bash -c '[ "$1" -eq 0 ] && [ "$(python3 -c "import json,sys; print(sum(1 for l in sys.stdin if json.loads(l)[\"error\"] is None))" <<<"$2")" = 2 ]' _ "$rc" "$out"
  check "$name: no journal is left behind" bash -c '! ls "$1" | grep -q journal' _ "$folder"
done

# A path far longer than the 260 characters Windows once allowed.
long="$root/$(printf 'dolga mapa č %02d/' $(seq 1 20))"
mkdir -p "$long"
cp "$fixtures/jet4-v2000/TQ.mdb" "$long/"
chmod u+w "$long/TQ.mdb"
cli relink "$(winpath "$long/TQ.mdb")" "PARTNER=;DATABASE=$(winpath "$root/jet4-v2000 kopija/drugje/PARTNER.MDB")"
check "a front-end under a path of ${#long} characters relinks" test "$rc" -eq 0
check "... and the Linux build reads it" \
  bash -c '"$1" list "$2" | grep -q "kopija\\\\drugje\\\\PARTNER"' _ "$linux_cli" "$long/TQ.mdb"

# A relink of many front-ends killed part way: each front-end is old or new,
# as the Linux build reads it (a pending journal shows the old file), and
# again after the .exe's recover has put the journals back.
many="$root/mnogo čšž"
mkdir -p "$many"
files=()
for i in $(seq 1 60); do
  cp "$fixtures/jet4-v2000/TQ.mdb" "$many/TQ$i.mdb"
  files+=("$(winpath "$many/TQ$i.mdb")")
done
chmod u+w "$many"/*
"$wine" "$exe" relink "${files[@]}" --backend "$(winpath "$root/jet4-v2000 kopija/drugje")" >/dev/null 2>&1 &
writer=$!
# Let it start writing, then kill it: its first journal is the sign (however
# long a loaded machine makes it take), or its end.
until compgen -G "$many/*.povezava-journal" >/dev/null || ! kill -0 "$writer" 2>/dev/null; do
  sleep 0.02
done
kill -KILL "$writer" 2>/dev/null
wait "$writer" 2>/dev/null
oldOrNew() {  # oldOrNew FOLDER: every front-end's PARTNER is the old link or the new one
  local f link bad=0 old=0 new=0
  for f in "$1"/TQ*.mdb; do
    link=$("$linux_cli" list "$f" 2>/dev/null | awk -F'\t' '$1 == "PARTNER" {print $3}')
    case "$link" in
      ';DATABASE=C:\APP\PARTNER.MDB') old=$((old + 1)) ;;
      *'drugje\PARTNER.MDB') new=$((new + 1)) ;;
      *) bad=$((bad + 1)); echo "      $f: '$link'" ;;
    esac
  done
  echo "      $old old, $new new"
  [ "$bad" -eq 0 ]
}
check "a relink of 60 front-ends killed part way: each is old or new" oldOrNew "$many"
recover=()
for f in "$many"/*.povezava-journal; do [ -e "$f" ] && recover+=("$(winpath "${f%.povezava-journal}")"); done
if [ ${#recover[@]} -gt 0 ]; then cli recover "${recover[@]}"; fi
noJournal() { ! compgen -G "$1/*.povezava-journal" >/dev/null; }
check "... and after recover, still each old or new" oldOrNew "$many"
check "... with no journal left" noJournal "$many"

# Another process holds the writer's lock (the byte at 0x100'0050'4F56 that
# link_writer.h names), as a Linux povezava on the same file would: the .exe
# gets 3045 at once and writes nothing.
locked="$root/zaklenjen.mdb"
cp "$fixtures/jet4-v2000/TQ.mdb" "$locked"
chmod u+w "$locked"
before=$(sha256sum <"$locked")
mkfifo "$work/held"
python3 -c '
import fcntl, os, signal, sys
fd = os.open(sys.argv[1], os.O_RDWR)
fcntl.lockf(fd, fcntl.LOCK_EX | fcntl.LOCK_NB, 1, 0x100_0050_4F56)
print("held", flush=True)
signal.pause()  # until killed
' "$locked" >"$work/held" &
holder=$!
read -r _ <"$work/held"
cli relink "$(winpath "$locked")" "PARTNER=;DATABASE=$(winpath "$root/jet4-v2000 kopija/drugje/PARTNER.MDB")"
kill "$holder" 2>/dev/null
# The front-end's error goes to stderr; its table is held back on stdout.
check "a second process holds the writer's lock: error 3045, nothing written" \
  bash -c '[ "$1" -eq 1 ] && [[ "$2" == *"error 3045"* ]] && [[ "$5" == *"PARTNER: held back"* ]] && [ "$3" = "$(sha256sum <"$4")" ]' _ "$rc" "$err" "$before" "$locked" "$out"

# Errors as on Linux: a folder or a device named as a front-end, a missing file.
cli list NUL
check "a device as front-end: error 3044, 'is a device'" bash -c '[[ "$1" == *"error 3044"*"is a device"* ]]' _ "$err"
cli list "$(winpath "$root")"
check "a folder as front-end: error 3044, 'is a folder'" bash -c '[[ "$1" == *"error 3044"*"is a folder"* ]]' _ "$err"
cli list "$(winpath "$root/NI.mdb")"
check "a missing front-end: error 3024" bash -c '[ "$1" -eq 1 ] && [[ "$2" == "error 3024"* ]]' _ "$rc" "$err"
cli frobnicate
check "an unknown command exits 2" test "$rc" -eq 2

echo "$failures failed"
[ "$failures" -eq 0 ]
