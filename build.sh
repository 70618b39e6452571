#!/usr/bin/env bash
# velka's one entry point for newcomers and CI.
#   ./build.sh run     build the engine (Release) and start it on this terminal
#   ./build.sh test    build and run the whole test suite: a normal build, an AddressSanitizer +
#                      UndefinedBehaviorSanitizer build, the threading tests under ThreadSanitizer,
#                      the Windows build's protocol tests under Wine, the WebAssembly build's
#                      under Node, and the web page's tests
#   ./build.sh quick   the normal build's tests only
#   ./build.sh bench   build Release and run the benchmark tool
#   ./build.sh package release packages (Linux tar.gz and Windows zip) with CPack, and the web zip
#   ./build.sh wasm    the WebAssembly engine in build/wasm (Emscripten), its worker files in build/web
#   ./build.sh web     build the engine for the browser and the page into build/web, and serve it
#                      on localhost (./build.sh web PORT; 8080 by default)
#   ./build.sh webtest the page's unit tests, format check and browser tests (headless Chromium)
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)

# Installs whatever Debian packages the build needs and the machine lacks.
ensure_packages() {
    local missing=()
    for pkg in "$@"; do
        dpkg -s "$pkg" >/dev/null 2>&1 || missing+=("$pkg")
    done
    ((${#missing[@]})) || return 0
    echo "installing: ${missing[*]}" >&2
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

configure_and_build() {  # dir, extra cmake arguments...
    local dir=$1
    shift
    cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
}

run_ctest() {  # dir, extra ctest arguments...
    local dir=$1
    shift
    ctest --test-dir "$dir" --output-on-failure --no-tests=error -j "$jobs" --timeout 600 "$@"
}

base_packages=(cmake ninja-build g++ libgtest-dev)

version() {
    sed -n 's/^project(velka VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt
}

# build/web: the WebAssembly engine and its worker (built by .ci/wasm.sh), then the page's files,
# what web/ holds at its top level without the tooling and tests.
build_web() {
    bash .ci/wasm.sh --build-only
    find web -maxdepth 1 -type f ! -name '*.test.js' \
        \( -name '*.html' -o -name '*.css' -o -name '*.js' -o -name '*.svg' \) -exec cp {} build/web/ \;
}

# Node.js for the page's tooling, its devDependencies, and Debian's Chromium for the browser tests.
prepare_web_tests() {
    command -v npm >/dev/null 2>&1 || ensure_packages nodejs npm
    ensure_packages chromium
    (cd web && npm ci --no-audit --no-fund --loglevel=error)
}

run_web_tests() {
    prepare_web_tests
    echo "== web page: unit tests and format ==" >&2
    (cd web && npm test && npx prettier --check .)
    build_web
    echo "== web page: browser tests ==" >&2
    rm -rf build/web-test
    (cd web && VELKA_WEB_ROOT="$root/build/web" VELKA_WEB_TEST_OUT="$root/build/web-test" \
        npm run test:browser)
}

package_web() {
    build_web
    local zip
    zip="velka-web-$(version).zip"
    rm -f build/web/velka-web-*.zip
    (cd build/web && find . -maxdepth 1 -type f ! -name '*.zip' -printf '%P\n' | sort |
        xargs cmake -E tar cf "$zip" --format=zip)
    echo "web package: build/web/$zip" >&2
}

case "${1:-}" in
run)
    ensure_packages "${base_packages[@]}"
    configure_and_build build/release -DCMAKE_BUILD_TYPE=Release -DVELKA_BUILD_TESTS=OFF
    exec build/release/pbrain-velka
    ;;
quick)
    ensure_packages "${base_packages[@]}"
    configure_and_build build/release -DCMAKE_BUILD_TYPE=Release
    run_ctest build/release
    ;;
test)
    ensure_packages "${base_packages[@]}"
    echo "== normal build ==" >&2
    configure_and_build build/release -DCMAKE_BUILD_TYPE=Release
    run_ctest build/release
    echo "== AddressSanitizer + UndefinedBehaviorSanitizer ==" >&2
    configure_and_build build/asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKA_SANITIZE=address,undefined
    VELKA_SANITIZED=1 run_ctest build/asan
    echo "== ThreadSanitizer (threading tests) ==" >&2
    configure_and_build build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELKA_SANITIZE=thread
    VELKA_SANITIZED=1 TSAN_OPTIONS="halt_on_error=1 atexit_sleep_ms=50" run_ctest build/tsan -L threading
    if [ -f .ci/windows.sh ]; then
        echo "== Windows build under Wine ==" >&2
        bash .ci/windows.sh "$root/build/release"
    fi
    echo "== WebAssembly build under Node ==" >&2
    bash .ci/wasm.sh "$root/build/release"
    run_web_tests
    ;;
bench)
    ensure_packages "${base_packages[@]}"
    configure_and_build build/release -DCMAKE_BUILD_TYPE=Release
    build/release/velka-bench "${@:2}"
    ;;
package)
    ensure_packages "${base_packages[@]}"
    configure_and_build build/release -DCMAKE_BUILD_TYPE=Release -DVELKA_BUILD_TESTS=OFF
    (cd build/release && cpack -G TGZ)
    if [ -f .ci/windows.sh ]; then bash .ci/windows.sh --package-only; fi
    package_web
    ;;
web)
    build_web
    exec node web/tools/serve.js build/web "${2:-8080}"
    ;;
webtest)
    run_web_tests
    ;;
wasm)
    bash .ci/wasm.sh --build-only
    ;;
*)
    sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
    ;;
esac
