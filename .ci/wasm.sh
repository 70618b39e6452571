#!/usr/bin/env bash
# Builds the WebAssembly engine with Emscripten and tests it under Node with the same
# expectations as the Linux binary: the process-level tests, the search signature of the
# benchmark tool, and the Web Worker bridge.
#
#   bash .ci/wasm.sh <linux-build-dir>    build, then test under Node
#   bash .ci/wasm.sh --build-only          build, and copy the worker's files to build/web
#
# <linux-build-dir> is a configured and built Linux build with the tests on; its process tests
# (ctest labels beginning with "process") start the engine named by VELKA_ENGINE, here
# "node pbrain-velka.js", and those labelled process-strong the one named by VELKA_STRONG_ENGINE,
# "node pbrain-velka-strong.js"; its velka-bench gives the signatures that the wasm bench must
# match.
# Environment: VELKA_WASM_BUILD_DIR (default <repo>/build/wasm), VELKA_CTEST_ARGS (extra ctest
# arguments).
set -euo pipefail

if [[ $# -ne 1 ]]; then
    echo "usage: bash .ci/wasm.sh <linux-build-dir> | --build-only" >&2
    exit 2
fi

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_only=0
linux_build=
if [[ $1 == --build-only ]]; then
    build_only=1
else
    linux_build=$(cd "$1" && pwd)
fi
wasm_build=${VELKA_WASM_BUILD_DIR:-$root/build/wasm}
web_build=$root/build/web
# Emscripten's JavaScript optimiser loads acorn, which Debian installs here.
export NODE_PATH=/usr/share/nodejs

step() { printf '\n== wasm: %s\n' "$*"; }

# 1. Tools, from Debian's packages, only when missing (emscripten brings clang, lld, binaryen,
# acorn and Node).
missing=()
for tool in emcc:emscripten node:nodejs cmake:cmake ninja:ninja-build; do
    command -v "${tool%%:*}" >/dev/null || missing+=("${tool##*:}")
done
if [[ ${#missing[@]} -gt 0 ]]; then
    step "installing ${missing[*]}"
    sudo_cmd=()
    [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
        "${missing[@]}"
fi

# 2. The engine and the benchmark tool; the unit tests stay native (GoogleTest is not built for
# wasm). The worker's files go to build/web, where the page's build picks them up.
step "building in $wasm_build"
emcmake cmake -S "$root" -B "$wasm_build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVELKA_BUILD_TESTS=OFF >/dev/null
cmake --build "$wasm_build" -j 2
engine="$wasm_build/pbrain-velka.js"
strong_engine="$wasm_build/pbrain-velka-strong.js"
mkdir -p "$web_build"
cp "$engine" "$root/web/engine-worker.js" "$web_build/"
[[ $build_only -eq 0 ]] || exit 0

# 3. Smoke test: each engine answers ABOUT with an LF line end and END exits with status 0.
step "smoke test"
for program in "$engine" "$strong_engine"; do
    answer=$(printf 'ABOUT\nEND\n' | timeout 60 node "$program" | od -An -c | tr -d ' \n')
    if [[ $answer != name=\"velka\"* || $answer != *'"\n' ]]; then
        echo "unexpected ABOUT answer of $(basename "$program") under Node (od -c): $answer" >&2
        exit 1
    fi
done

# 4. The search signatures: wasm must search exactly the nodes the native build does, with the
# main search and with the strong one.
step "search signatures"
# The whole output is read, so that the bench never writes into a closed pipe.
signatures() { awk '/^(search|strong): signature/ { printf "%s %s ", $1, $(NF - 1) }'; }
native=$("$linux_build/velka-bench" 1 | signatures)
wasm=$(node "$wasm_build/velka-bench.js" 1 2>/dev/null | signatures)
echo "native: $native"
echo "wasm:   $wasm"
if [[ $native != "search: "*" strong: "* || $native != "$wasm" ]]; then
    echo "the wasm search signatures differ from the native ones" >&2
    exit 1
fi

# 5. The Web Worker bridge, run in a Node worker thread.
step "worker bridge"
VELKA_WASM_ENGINE="$engine" node --test "$root/web/engine-worker.test.cjs"

# 6. The Linux build's process tests, driving the engine under Node.
step "process tests under Node"
export VELKA_ENGINE="node $engine"
export VELKA_STRONG_ENGINE="node $strong_engine"
# One test at a time, as under Wine: they time the engine's moves.
# shellcheck disable=SC2086
ctest --test-dir "$linux_build" -L "^process" --no-tests=error --output-on-failure \
    ${VELKA_CTEST_ARGS:-}
