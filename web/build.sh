#!/usr/bin/env bash
# Builds the WebAssembly module and the page into web/dist/ (or --out DIR):
# markeye.mjs and markeye.wasm (the library, compiled by Debian's emscripten,
# with the binding in web/src/), index.html with its scripts and the demo
# clip. The demo clip is rendered by the project's scene renderer through
# the native fixture tool (markeye_web_fixtures): given with --fixtures-tool,
# or built here in a native build of the library and the renderer.
#
#   bash web/build.sh [--out DIR] [--build-dir DIR] [--fixtures-tool PATH] [--jobs N]
set -euo pipefail

web_dir="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$web_dir")"
out="$web_dir/dist"
build_dir="$root/build-web"
fixtures_tool=""
jobs=2
while [ $# -gt 0 ]; do
  case "$1" in
    --out) out="$2"; shift 2 ;;
    --build-dir) build_dir="$2"; shift 2 ;;
    --fixtures-tool) fixtures_tool="$2"; shift 2 ;;
    --jobs) jobs="$2"; shift 2 ;;
    *) echo "usage: bash web/build.sh [--out DIR] [--build-dir DIR] [--fixtures-tool PATH] [--jobs N]" >&2; exit 2 ;;
  esac
done
mkdir -p "$out" "$build_dir"
out="$(cd "$out" && pwd)"
build_dir="$(cd "$build_dir" && pwd)"

# Debian's emscripten runs its JavaScript tools with the node on PATH, which
# finds Debian's Node packages (acorn and others) only through NODE_PATH.
if [ -d /usr/share/nodejs ]; then
  export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"
fi
# Debian's own interpreter: emscripten's Python tools, even when another
# python3 comes first on PATH.
if [ -x /usr/bin/python3 ]; then
  export EMSDK_PYTHON=/usr/bin/python3
fi
command -v em++ >/dev/null || { echo "web/build.sh: em++ not found (apt-get install emscripten)" >&2; exit 1; }

# The library alone, compiled to WebAssembly. Exceptions are on: the library
# reports every refusal by throwing markeye::Error, which the binding catches.
wasm_flags="-fexceptions"
emcmake cmake -S "$root" -B "$build_dir/library" -G Ninja -DMARKEYE_LIBRARY_ONLY=ON -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS="$wasm_flags" >"$build_dir/library-configure.log"
cmake --build "$build_dir/library" -j "$jobs"

# The binding and the module. MODULARIZE without EXPORT_ES6: the generated
# loader stays a plain factory (createMarkeyeWasm) that markeye-api.js,
# appended after it, wraps as the module's ES exports; web and worker only,
# because Node's branch of the loader needs require() (markeye-api.js hands
# the loader the compiled wasm under Node instead).
link_flags=(-O3 $wasm_flags --bind -std=c++17 -Wall -Wextra -Wshadow
            -I"$root/include" -I"$build_dir/library/src/markeye/include"
            -sMODULARIZE=1 -sEXPORT_NAME=createMarkeyeWasm -sENVIRONMENT=web,worker
            -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=33554432
            --extern-post-js "$web_dir/src/markeye-api.js")
em++ "${link_flags[@]}" "$web_dir"/src/*.cpp \
  "$build_dir/library/src/markeye/libmarkeye.a" "$build_dir/library/src/core/libvotrack.a" \
  -o "$build_dir/markeye.js"
cp "$build_dir/markeye.js" "$out/markeye.mjs"
cp "$build_dir/markeye.wasm" "$out/markeye.wasm"

# The page.
cp "$web_dir"/page/* "$out/"

# The demo clip, rendered natively.
if [ -z "$fixtures_tool" ]; then
  cmake -S "$root" -B "$build_dir/native" -G Ninja -DMARKEYE_BUILD_WEB=ON -DMARKEYE_WEB_MODULE=OFF \
    -DMARKEYE_BUILD_TESTS=OFF -DMARKEYE_BUILD_BENCHMARKS=OFF >"$build_dir/native-configure.log"
  cmake --build "$build_dir/native" -j "$jobs" --target markeye_web_fixtures
  fixtures_tool="$build_dir/native/web/markeye_web_fixtures"
fi
"$fixtures_tool" demo "$build_dir/demo.y4m"
gzip -9 -n -c "$build_dir/demo.y4m" >"$out/demo.y4m.gz"

gzipped=$(( $(gzip -9 -n -c "$out/markeye.mjs" | wc -c) + $(gzip -9 -n -c "$out/markeye.wasm" | wc -c) ))
echo "web/build.sh: wrote $out (markeye.mjs + markeye.wasm: $(( gzipped / 1024 )) KB gzipped)"
