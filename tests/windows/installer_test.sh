#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Makes the Windows installer and the portable zip with cpack, installs and
# uninstalls under Wine in a prefix of its own, and checks what the installer
# leaves: the programs run and tell their version, "Open with", the Start
# menu, the "Apps and features" entry, the PATH entry when asked for; and
# after uninstalling, the registry and the prefix's files exactly as before.
#   installer_test.sh BUILD_DIR PROJECT_VERSION SHOWN_VERSION
set -euo pipefail

build=$(realpath "$1")
version=$2
shown=$3

work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all
# No dialog offering Wine's .NET or browser engine; and no menu entries on
# this machine's desktop for the shortcut the installer makes, which Wine's
# menu builder would write outside the prefix, in the home folder.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
cpack_pid=

cleanup() {
  [ -n "$cpack_pid" ] && kill "$cpack_pid" 2>/dev/null
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
die() {
  echo "FAIL: $*"
  exit 1
}

# Wine's background services inherit whatever output they are started with
# and outlive the command: they get no pipe of ours.
setsid wineserver -p </dev/null >/dev/null 2>&1 &
cpack --config "$build/CPackConfig.cmake" -B "$work/packages" >"$work/cpack.log" 2>&1 &
cpack_pid=$!
setsid wineboot -i </dev/null >/dev/null 2>&1
wait "$cpack_pid" || die "cpack failed: $(cat "$work/cpack.log")"
cpack_pid=
# telltale-VERSION-win64 or -win32, by the build's architecture.
installer=$(echo "$work/packages/telltale-$version"-win*.exe)
zip=${installer%.exe}.zip
[ -f "$installer" ] || die "cpack made no installer: $(ls "$work/packages")"
[ -f "$zip" ] || die "cpack made no $(basename "$zip"): $(ls "$work/packages")"

cd "$work"

# A key of a .reg export, one line per key and one per value after its key's
# name: lines that can be compared and filtered by key.
registry() {
  wine reg export "$1" export.reg /y >/dev/null 2>&1 || die "reg export $1 failed"
  iconv -f UTF-16 -t UTF-8 export.reg | tr -d '\r' |
    awk '/^\[/ { key = $0; print key; next } NF && key != "" { print key "\t" $0 }' | sort
}

# What Wine itself changes as it runs: its services register the machine's
# devices and network cards for a while after it starts, and count each
# service they start in ServiceCurrent. Nothing else changes by itself.
wine_volatile='^\[HKEY_LOCAL_MACHINE\\(System\\CurrentControlSet\\Control\\DeviceClasses\\|Software\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\|System\\CurrentControlSet\\Control\\ServiceCurrent\])'

snapshot() {
  registry HKCU >"$1.hkcu"
  registry HKLM | grep -Ev "$wine_volatile" >"$1.hklm"
  (cd "$WINEPREFIX" && find drive_c -printf '%y %p\n' | sort) >"$1.files"
}

same_as_before() {
  snapshot after
  local part
  for part in hkcu hklm files; do
    if ! diff before.$part after.$part >diff.$part; then
      fail "$1: the $part differ from before the installation ('<' before, '>' now):"
      head -n 40 diff.$part
    fi
  done
}

# Another program's PATH entries, one of them for expansion, and its own
# "Open with" entry for .png: both must stay as they are.
seeded_path='C:\Tools;%USERPROFILE%\bin'
wine reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d "$seeded_path" /f </dev/null >/dev/null 2>&1 &&
  wine reg add 'HKCU\Software\Classes\.png\OpenWithProgids' /v Other.Picture /d '' /f \
    </dev/null >/dev/null 2>&1 || die "cannot seed the registry"
snapshot before

# A value of the registry after an installation, as the .reg export writes it.
value() {
  grep -F "$(printf '[HKEY_CURRENT_USER\\%s]\t%s=' "$1" "$2")" installed.hkcu | cut -f 2- |
    sed 's/^[^=]*=//'
}

install_dir=
check_installed() {
  registry HKCU >installed.hkcu
  local uninstall='Software\Microsoft\Windows\CurrentVersion\Uninstall\Telltale'
  local location
  location=$(value "$uninstall" '"InstallLocation"')
  [ -n "$location" ] || { fail "$1: no InstallLocation in the uninstall key"; return; }
  # "C:\\users\\...\\Telltale" as the export escapes it.
  install_dir=$(printf '%s' "$location" | sed -e 's/^"//' -e 's/"$//' -e 's/\\\\/\\/g')
  case "$install_dir" in
    *'\AppData\Local\Programs\Telltale') ;;
    *) fail "$1: installed in $install_dir, not the user's own programs folder" ;;
  esac
  local dir=${location%\"}
  local exe="${dir}\\\\telltale.exe"
  local expect
  for expect in "DisplayName|\"Telltale\"" "DisplayVersion|\"$version\"" \
    "Publisher|\"Telltale authors\"" "UninstallString|\"\\\"${dir#\"}\\\\Uninstall Telltale.exe\\\"\"" \
    "DisplayIcon|\"\\\"${exe#\"}\\\",0\"" "NoModify|dword:00000001" "NoRepair|dword:00000001"; do
    [ "$(value "$uninstall" "\"${expect%%|*}\"")" = "${expect#*|}" ] ||
      fail "$1: ${expect%%|*} is '$(value "$uninstall" "\"${expect%%|*}\"")', not '${expect#*|}'"
  done
  [[ "$(value "$uninstall" '"EstimatedSize"')" =~ ^dword:0000[0-9a-f]{4}$ ]] ||
    fail "$1: EstimatedSize is '$(value "$uninstall" '"EstimatedSize"')', not a few MB in KB"

  local command="\"\\\"${exe#\"}\\\" \\\"%1\\\"\""
  local key
  for key in 'Software\Classes\Applications\telltale.exe' 'Software\Classes\Telltale.File'; do
    [ "$(value "$key\\shell\\open\\command" '@')" = "$command" ] ||
      fail "$1: $key opens with '$(value "$key\\shell\\open\\command" '@')', not '$command'"
  done
  local type
  for type in .jpg .jpeg .bmp .png .gif '*'; do
    grep -qxF "[HKEY_CURRENT_USER\\Software\\Classes\\$type\\OpenWithList\\telltale.exe]" \
      installed.hkcu || fail "$1: telltale.exe is not in the OpenWithList of $type"
    [ "$(value "Software\\Classes\\$type\\OpenWithProgids" '"Telltale.File"')" = '""' ] ||
      fail "$1: Telltale.File is not in the OpenWithProgids of $type"
  done
  [ "$(value 'Software\Classes\.png\OpenWithProgids' '"Other.Picture"')" = '""' ] ||
    fail "$1: the other program's Open with entry for .png is gone"

  local unix_dir
  unix_dir=$(winepath -u "$install_dir")
  local shortcut
  shortcut=$(winepath -u "${install_dir%\\Local\\Programs\\Telltale}\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Telltale.lnk")
  if [ ! -f "$shortcut" ]; then
    fail "$1: no Start menu shortcut $shortcut"
  elif ! tr -d '\0' <"$shortcut" | grep -qaF 'Programs\Telltale\telltale.exe'; then
    fail "$1: the Start menu shortcut does not start the installed telltale.exe"
  fi

  local answer
  answer=$(wine "$unix_dir/telltale-scan.exe" --version </dev/null 2>&1 | head -n 1) || true
  [ "$answer" = "telltale-scan $shown" ] ||
    fail "$1: the installed telltale-scan.exe --version says '$answer'"
  # The window program answers a script on its standard output or error.
  answer=$(wine "$unix_dir/telltale.exe" --version </dev/null 2>/dev/null | head -n 1) || true
  [ "$answer" = "Telltale $shown" ] || fail "$1: the installed telltale.exe --version says '$answer'"
  local status=0
  wine "$unix_dir/telltale.exe" --no-such-option </dev/null >refused.out 2>refused.err || status=$?
  [ "$status" = 2 ] && [ ! -s refused.out ] &&
    grep -qF "telltale: unknown option '--no-such-option'" refused.err ||
    fail "$1: telltale.exe --no-such-option: status $status, '$(cat refused.out refused.err)'"
}

# The uninstaller copies itself to a temporary folder, starts that copy and
# returns at once. The test does the same and waits for it: _?= names the
# installation folder to the copy, which then runs in this process.
uninstall() {
  local unix_dir
  unix_dir=$(winepath -u "$install_dir")
  [ -f "$unix_dir/Uninstall Telltale.exe" ] || { fail "$1: no uninstaller"; return; }
  cp "$unix_dir/Uninstall Telltale.exe" uninstall.exe
  wine uninstall.exe /S "_?=$install_dir" </dev/null >/dev/null 2>&1 ||
    fail "$1: the uninstaller failed with status $?"
  rm -f uninstall.exe
}

start=$SECONDS
wine "$installer" /S </dev/null >/dev/null 2>&1 || fail "the installer failed with status $?"
check_installed "installed"
environment='^\[HKEY_CURRENT_USER\\Environment\]'
diff <(grep "$environment" before.hkcu) <(grep "$environment" installed.hkcu) >/dev/null ||
  fail "installed without /ADDTOPATH, yet the environment changed"
uninstall "uninstalled"
same_as_before "uninstalled"

# Twice, as an update installs over the installed version: the folder goes
# on the PATH once.
wine "$installer" /S /ADDTOPATH </dev/null >/dev/null 2>&1 || fail "the installer failed with status $?"
wine "$installer" /S /ADDTOPATH </dev/null >/dev/null 2>&1 || fail "installing again failed with status $?"
check_installed "installed with /ADDTOPATH"
path=$(wine reg query 'HKCU\Environment' /v Path </dev/null 2>/dev/null | tr -d '\r' |
  sed -n 's/^ *Path *REG_EXPAND_SZ *//p')
[ "$path" = "$seeded_path;$install_dir" ] ||
  fail "with /ADDTOPATH the user's PATH is '$path', not '$seeded_path;$install_dir'"
# A new process takes its PATH from the registry; cmd looks the name up there.
answer=$(wine cmd /c telltale-scan --version </dev/null 2>&1 | tr -d '\r' | head -n 1) || true
[ "$answer" = "telltale-scan $shown" ] ||
  fail "with /ADDTOPATH, 'telltale-scan --version' in a new command prompt says '$answer'"
# An entry the user added after the installation's stays, in its place.
wine reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d "$path;C:\Later" /f \
  </dev/null >/dev/null 2>&1 || die "cannot change the PATH"
uninstall "uninstalled after /ADDTOPATH"
path=$(wine reg query 'HKCU\Environment' /v Path </dev/null 2>/dev/null | tr -d '\r' |
  sed -n 's/^ *Path *REG_EXPAND_SZ *//p')
[ "$path" = "$seeded_path;C:\Later" ] ||
  fail "uninstalled after the PATH changed: the user's PATH is '$path', not '$seeded_path;C:\Later'"
wine reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d "$seeded_path" /f \
  </dev/null >/dev/null 2>&1 || die "cannot change the PATH"
same_as_before "uninstalled after /ADDTOPATH"

# A PATH longer than the installer can hold whole is left alone, not cut.
long_path="$seeded_path$(printf ';C:\\Tools\\%04d' $(seq 100))"
wine reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d "$long_path" /f \
  </dev/null >/dev/null 2>&1 || die "cannot change the PATH"
wine "$installer" /S /ADDTOPATH </dev/null >/dev/null 2>&1 || fail "the installer failed with status $?"
path=$(wine reg query 'HKCU\Environment' /v Path </dev/null 2>/dev/null | tr -d '\r' |
  sed -n 's/^ *Path *REG_EXPAND_SZ *//p')
[ "$path" = "$long_path" ] ||
  fail "with /ADDTOPATH a PATH of ${#long_path} characters became one of ${#path}: '${path:0:80}...'"
uninstall "uninstalled with a long PATH"
wine reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d "$seeded_path" /f \
  </dev/null >/dev/null 2>&1 || die "cannot change the PATH"
same_as_before "uninstalled with a long PATH"

# The portable zip: both programs, the licence and the README in one folder,
# and the programs run from where it is unpacked.
top=$(basename "${zip%.zip}")
listing=$(unzip -Z1 "$zip")
for file in telltale.exe telltale-scan.exe LICENSE.txt README.txt; do
  grep -qxF "$top/$file" <<<"$listing" || fail "the zip holds no $top/$file"
done
unzip -q "$zip" "$top/telltale-scan.exe" -d unpacked
answer=$(wine "unpacked/$top/telltale-scan.exe" --version </dev/null 2>&1 | head -n 1) || true
[ "$answer" = "telltale-scan $shown" ] || fail "telltale-scan.exe from the zip says '$answer'"

echo "installing, checking and uninstalling took $((SECONDS - start)) s"
if [ "$failures" -ne 0 ]; then
  echo "$failures checks failed"
  exit 1
fi
echo PASS
