#!/usr/bin/env bash
# The MSI under Wine's msiexec: installs into Program Files\povezava with a
# Start-menu shortcut, the installed povezava.exe relinks from its command
# line, a newer version replaces it, and uninstalling leaves nothing.
#
#   tests/windows/msi_under_wine.sh MSI WXS STAGED_FILES DRIVER_EXE LINUX_CLI WORK_FOLDER
#
# WXS and STAGED_FILES (the build's msi-files folder) make the "newer" MSI,
# the same sources at version 99.0.0. WINEPREFIX comes from the caller.
set -uo pipefail
msi=$1 wxs=$(realpath "$2") files=$3 driver=$4 linux_cli=$5 work=$6
source "$(dirname "$0")/checks.sh"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-};winemenubuilder.exe=d"  # no menus of the host
products() {  # DisplayVersion of every installed povezava, one a line
  "$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' |
    awk '/DisplayName/ && /povezava/ {found = 1} /DisplayVersion/ && found {print $NF; found = 0}'
}

rm -rf "$work"
mkdir -p "$work"
# A prefix made by wine64 alone leaves these unset (see the notes on Wine).
for name in ProgramFilesDir CommonFilesDir; do
  value='C:\Program Files'
  [ $name = CommonFilesDir ] && value='C:\Program Files\Common Files'
  "$wine" reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion' /v $name /d "$value" /f >/dev/null 2>&1
done
installed="$WINEPREFIX/drive_c/Program Files/povezava"
# The MSI asks for all users' Start menu (ALLUSERS=1); Wine's half-set-up
# prefix resolves that folder to the user's own.
menus=("$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/POVEZAVA.lnk"
       "$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/POVEZAVA.lnk")
shortcut() { [ -f "${menus[0]}" ] || [ -f "${menus[1]}" ]; }
# An earlier run's installation goes first.
for v in $(products); do "$wine" msiexec /x "$(winpath "$msi")" /qn >/dev/null 2>&1; done

"$wine" msiexec /i "$(winpath "$msi")" /qn >"$work/install.log" 2>&1
check "msiexec /i /qn exits 0" test $? -eq 0
check "... povezava.exe, povezava-cli.exe, their manuals and LICENSE.txt in Program Files\\povezava" \
  bash -c 'cd "$1" && ls | sort | tr "\n" " " | grep -qx "LICENSE.txt povezava-cli.exe povezava-cli.txt povezava.exe povezava.txt "' _ "$installed"
check "... a Start-menu shortcut" shortcut
check "... registered once, as this version" test "$(products | tr '\n' ' ')" = "$(sed -n 's/.*povezava-\(.*\)-windows-x64.msi/\1/p' <<<"$msi") "

set="$work/namestitev č"
mkdir -p "$set/data"
cp "$fixtures/jet4-v2000/TQ.mdb" "$set/"
cp "$fixtures/jet4-v2000/PARTNER.MDB" "$fixtures/jet4-v2000/QUERNO.MDB" "$set/data/"
chmod -R u+w "$set"
out=$("$wine" "$driver" "$(winpath "$set")" "\"C:\\Program Files\\povezava\\povezava.exe\" $(winpath "$set")\\TQ.mdb,$(winpath "$set")\\data" exit 2>&1 | tr -d '\r')
check "the installed povezava.exe relinks from its command line (exit 0, no box)" \
  bash -c 'grep -qx "exit 0" <<<"$1" && grep -qx "boxes 0" <<<"$1"' _ "$out"
check "... and the Linux build reads the new links" \
  bash -c '"$1" list "$2" | grep -q "namestitev č\\\\data\\\\querno.MDB"' _ "$linux_cli" "$set/TQ.mdb"

# A newer version: the same sources at 99.0.0 replace this one.
newer="$work/povezava-99.0.0-windows-x64.msi"
(cd "$files" && wixl -a x64 -D Version=99.0.0 -D Files=. -o "$(realpath -m "$newer")" "$wxs" 2>/dev/null)
"$wine" msiexec /i "$(winpath "$newer")" /qn >"$work/upgrade.log" 2>&1
status=$? now=$(products | tr '\n' ' ' | sed 's/ $//')
if [ "$status" -eq 0 ] && [ "$now" = "99.0.0" ] && [ -f "$installed/povezava.exe" ]; then
  pass "a newer MSI replaces the installed version (one povezava, 99.0.0)"
else
  fail "a newer MSI replaces the installed version (one povezava, 99.0.0)"
  echo "      msiexec exit $status; installed: '$now'; the newer MSI $([ -f "$newer" ] && echo made || echo missing)"
fi

"$wine" msiexec /x "$(winpath "$newer")" /qn >"$work/uninstall.log" 2>&1
check "msiexec /x /qn removes the programs, the folder, the shortcut and the registration" \
  bash -c '[ "$1" -eq 0 ] && [ ! -e "$2" ] && [ -z "$3" ]' _ $? "$installed" "$(products)"
check "... and the shortcut" bash -c '! [ -e "$1" ] && ! [ -e "$2" ]' _ "${menus[@]}"

echo "$failures failed"
[ "$failures" -eq 0 ]
