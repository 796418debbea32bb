# What the scripts that run Windows programs under Wine share; sourced.
# pass, fail and check print one line per check and count the failures;
# winpath names a Linux path as a Windows program sees it (Z:\...).
wine=${WINE:-/usr/lib/wine/wine64}
fixtures=${POVEZAVA_FIXTURES:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/../shared/fixtures}
failures=0

pass() { echo "ok    $1"; }
fail() { echo "FAIL  $1"; failures=$((failures + 1)); }
check() {  # check WHAT COMMAND...: passes when the command succeeds
  local what=$1; shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
winpath() { local p; p=$(realpath -m "$1"); echo "Z:${p//\//\\}"; }
