#!/usr/bin/env bash
# Cross-builds the Windows engines and runs the process-level tests of a Linux build against them
# under Wine, so the .exe files are tested with the same expectations as the Linux binaries.
#
#   bash .ci/windows.sh <linux-build-dir>    build, then test under Wine
#   bash .ci/windows.sh --package-only        build, then make the release zip with CPack
#
# <linux-build-dir> is a configured and built Linux build with the tests on; its process tests
# (ctest labels beginning with "process") start the engine named by VELKA_ENGINE, here the .exe
# under Wine, and those labelled process-strong the one named by VELKA_STRONG_ENGINE, here
# pbrain-velka-strong64.exe. Finding no such test fails the run rather than passing it empty.
# Environment: VELKA_WINDOWS_BUILD_DIR (default <repo>/build/windows), VELKA_WINEPREFIX
# (default ~/.cache/velka-wine; created once and reused), VELKA_CTEST_ARGS (extra ctest arguments).
set -euo pipefail

if [[ $# -ne 1 ]]; then
    echo "usage: bash .ci/windows.sh <linux-build-dir> | --package-only" >&2
    exit 2
fi

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
package_only=0
linux_build=
if [[ $1 == --package-only ]]; then
    package_only=1
else
    linux_build=$(cd "$1" && pwd)
fi
win_build=${VELKA_WINDOWS_BUILD_DIR:-$root/build/windows}
export WINEPREFIX=${VELKA_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/velka-wine}
export WINEDEBUG=-all
# No Mono or Gecko: a console engine needs neither, and wineboot would otherwise try to fetch them.
export WINEDLLOVERRIDES="mscoree,mshtml="

step() { printf '\n== windows: %s\n' "$*"; }

# 1. Tools, from Debian's packages, only when missing.
missing=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-x86-64-posix)
[[ $package_only -eq 1 ]] || command -v wine >/dev/null || missing+=(wine wine64)
if [[ ${#missing[@]} -gt 0 ]]; then
    step "installing ${missing[*]}"
    sudo_cmd=()
    [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
        "${missing[@]}"
fi

# 2. Cross build: the engines and the benchmark tool; the unit tests stay Linux-only.
step "building in $win_build"
cmake -S "$root" -B "$win_build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DVELKA_BUILD_TESTS=OFF >/dev/null
cmake --build "$win_build" --target pbrain-velka pbrain-velka-strong velka-bench
exe="$win_build/pbrain-velka64.exe"
strong_exe="$win_build/pbrain-velka-strong64.exe"

# A DLL that is not part of Windows itself would have to ship beside the .exe.
for program in "$exe" "$strong_exe"; do
    dlls=$(x86_64-w64-mingw32-objdump -p "$program" | awk '/DLL Name:/ {print $3}' |
        grep -viE '^(kernel32|msvcrt|psapi|user32|advapi32|ntdll|ucrtbase|api-ms-win-.*)\.dll$' ||
        true)
    if [[ -n $dlls ]]; then
        echo "$(basename "$program") needs non-system DLLs: $dlls" >&2
        exit 1
    fi
done

if [[ $package_only -eq 1 ]]; then
    step "packaging"
    (cd "$win_build" && cpack -G ZIP)
    ls "$win_build"/velka-*-windows-x64.zip
    exit 0
fi

# 3. The Wine prefix, made once; a persistent wineserver spares each test the server start-up.
if [[ ! -f $WINEPREFIX/system.reg ]]; then
    step "creating the Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot --init >/dev/null 2>&1 || true
    wineserver -w
fi
wineserver -p 30 2>/dev/null || true  # exits non-zero when a server already runs

# 4. Smoke test: each engine starts under Wine and answers ABOUT with a CR LF line end.
step "smoke test"
for program in "$exe" "$strong_exe"; do
    answer=$(printf 'ABOUT\r\nEND\r\n' | timeout 60 wine "$program" | od -An -c | tr -d ' \n')
    if [[ $answer != name=\"velka\"* || $answer != *'\r\n' ]]; then
        echo "unexpected ABOUT answer of $(basename "$program") under Wine (od -c): $answer" >&2
        exit 1
    fi
done

# 5. The Linux build's process tests, driving the .exe files.
step "process tests under Wine"
export VELKA_ENGINE="wine $exe"
export VELKA_STRONG_ENGINE="wine $strong_exe"
export VELKA_EXPECT_CRLF=1
# shellcheck disable=SC2086
ctest --test-dir "$linux_build" -L "^process" --no-tests=error --output-on-failure ${VELKA_CTEST_ARGS:-}
