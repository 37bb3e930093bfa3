#!/usr/bin/env bash
# Line coverage of the files each fuzz target aims at, from replaying its
# committed corpus and seeds under the sanitizers in a build with clang's
# coverage mapping (-fprofile-instr-generate -fcoverage-mapping).
#
#   fuzz/coverage.sh [TARGET...]
#
# The build folder is build-fuzz-cov (MARKEYE_FUZZ_COVERAGE_BUILD overrides
# it). Prints, per target, the line coverage of each file it aims at and in
# all; exits non-zero when a replayed input crashes or breaks a promise.
set -euo pipefail
cd "$(dirname "$0")/.."
source fuzz/fuzz-settings.sh

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=("${MARKEYE_FUZZ_TARGETS[@]}")
fi
build=${MARKEYE_FUZZ_COVERAGE_BUILD:-build-fuzz-cov}
profdata=${LLVM_PROFDATA:-llvm-profdata-14}
cov=${LLVM_COV:-llvm-cov-14}

# What each target aims at: source files and folders.
declare -A aims=(
  [camera_file]="src/markeye/Camera.cpp"
  [pattern_file]="src/markeye/Pattern.cpp src/markeye/FileBytes.cpp"
  [board]="src/markeye/Board.cpp src/markeye/JsonReader.cpp"
  [image]="src/imageio"
  [video]="src/video/VideoReader.cpp src/video/ByteInput.cpp"
  [frame_lean]="src/markeye/Tracker.cpp src/markeye/FrameInput.cpp src/markeye/FrameSetup.cpp src/core"
  [xtra_lean]="src/xtra"
  [library]="src/markeye/Tracker.cpp src/markeye/FrameInput.cpp src/markeye/ViewCheck.cpp src/markeye/TemporalTracks.cpp src/markeye/Camera.cpp src/markeye/Pattern.cpp"
  [camera]="src/markeye/Camera.cpp src/core/VoARParam.cpp src/xtra"
  [pattern]="src/markeye/Pattern.cpp src/core/VoARCode.cpp src/xtra"
  [frame]="src/markeye/Tracker.cpp src/markeye/FrameInput.cpp src/markeye/ViewCheck.cpp src/core"
  [xtra]="src/xtra"
)

flags="-fprofile-instr-generate -fcoverage-mapping"
cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMARKEYE_BUILD_FUZZERS=ON -DMARKEYE_BUILD_TESTS=OFF \
  -DMARKEYE_BUILD_BENCHMARKS=OFF -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags" -DCMAKE_MODULE_LINKER_FLAGS="$flags" >/dev/null
wanted=()
for target in "${targets[@]}"; do
  if [ "$target" != video ] || grep -q '^MARKEYE_BUILD_VIDEO:BOOL=ON' "$build/CMakeCache.txt"; then
    wanted+=("fuzz_$target")
  fi
done
cmake --build "$build" --target "${wanted[@]}"
mapfile -t targets < <(markeye_fuzz_built "$build" "${targets[@]}")
module=$(find "$build/src/xtra" -name '*.so' | head -n 1)

failed=()
for target in "${targets[@]}"; do
  profiles=$build/profiles/$target
  rm -rf "$profiles"
  mkdir -p "$profiles"
  inputs=()
  for folder in "fuzz/corpus/$target" "fuzz/seeds/$target" "tests/robustness/inputs/$target"; do
    if [ -d "$folder" ]; then
      inputs+=("$folder")
    fi
  done
  mapfile -t run_flags < <(markeye_fuzz_flags "$target")
  # -runs=0 replays every input once; %p keeps the plug-in module's and the
  # program's profiles of one process apart from a crashed one's.
  status=0
  LLVM_PROFILE_FILE="$profiles/%p.profraw" "$build/fuzz/fuzz_$target" -runs=0 "${run_flags[@]}" "${inputs[@]}" \
    >"$build/coverage-$target.log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    failed+=("$target")
    tail -n 5 "$build/coverage-$target.log"
  fi
  "$profdata" merge -sparse "$profiles"/*.profraw -o "$profiles.profdata"
  echo "== fuzz_$target: $(find "${inputs[@]}" -type f | wc -l) inputs replayed"
  read -r -a sources <<<"${aims[$target]}"
  objects=("$build/fuzz/fuzz_$target")
  if [ -n "$module" ]; then
    objects+=(-object "$module")
  fi
  # The report names files from the sources' common folder; the files aimed
  # at are picked from it by that name (or their folder's).
  "$cov" report "${objects[@]}" -instr-profile="$profiles.profdata" |
    awk -v aims="${sources[*]}" '
      BEGIN { n = split(aims, aim, " ") }
      function aimed(file,   k) {
        for (k = 1; k <= n; k++) if (file == aim[k] || index(file, aim[k] "/") == 1) return 1
        return 0
      }
      NR > 2 && aimed($1) && $8 > 0 {
        printf "   %-44s %6d of %6d lines (%5.1f %%)\n", $1, $8 - $9, $8, 100 * ($8 - $9) / $8
        lines += $8; missed += $9
      }
      END { if (lines > 0) printf "   %-44s %6d of %6d lines (%5.1f %%)\n", "all aimed at", lines - missed, lines, 100 * (lines - missed) / lines }'
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "== replay failed in: ${failed[*]}"
  exit 1
fi
