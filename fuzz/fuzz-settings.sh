# Settings the fuzz scripts share (sourced by run-fuzzers.sh, campaign.sh and
# coverage.sh): the targets, each one's longest input and dictionary, the
# sanitizers' and libFuzzer's options, and how the fuzzing build is made.

# Every target, the focused ones first; video only when the build has it.
MARKEYE_FUZZ_TARGETS=(camera_file pattern_file board image video frame_lean xtra_lean library
                      camera pattern frame xtra)

# Longest input each target makes: a camera file and its choices, a pattern
# file of 32 x 32 cells, a board of a few hundred markers, a small picture or
# video, raw pixels tiled over the frame, a long session of calls.
declare -A MARKEYE_FUZZ_MAX_LEN=([camera_file]=512 [pattern_file]=16384 [board]=16384 [image]=65536
                                 [video]=65536 [frame_lean]=4096 [xtra_lean]=4096 [library]=4096
                                 [camera]=1024 [pattern]=65536 [frame]=16384 [xtra]=4096)

# Dictionaries of the text formats (fuzz/dict/).
declare -A MARKEYE_FUZZ_DICT=([pattern_file]=pattern.dict [pattern]=pattern.dict [board]=board-json.dict
                              [image]=image.dict)

# Memory: two stack frames per allocation record instead of 30 and a 16 MB
# quarantine instead of 256 MB keep a target near 100 MB instead of 400 MB;
# use-after-free is still caught within the quarantine. Leaks are checked.
export ASAN_OPTIONS=${ASAN_OPTIONS:-malloc_context_size=2:quarantine_size_mb=16:detect_leaks=1:allocator_release_to_os_interval_ms=500}
# The files the entries write for the readers (a pattern file, a camera
# file) go to memory, not the disk: on a disk they cost most of an input.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
  export TMPDIR=/dev/shm
fi
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# libFuzzer's options for target $1: its longest input, its dictionary, and
# limits that make a slow or hungry input a finding.
markeye_fuzz_flags() {
  local target=$1
  local flags=(-max_len="${MARKEYE_FUZZ_MAX_LEN[$target]}" -timeout=30 -rss_limit_mb=2048 -malloc_limit_mb=1024
               -print_final_stats=1)
  # The whole-pipeline targets read fields at fixed places, so long inputs
  # from the start; the focused ones grow their inputs from short ones,
  # which keeps the parsers' rate high.
  case $target in
    camera | pattern | frame | xtra) flags+=(-len_control=0) ;;
  esac
  if [ -n "${MARKEYE_FUZZ_DICT[$target]:-}" ]; then
    flags+=(-dict="fuzz/dict/${MARKEYE_FUZZ_DICT[$target]}")
  fi
  printf '%s\n' "${flags[@]}"
}

# Configures and builds the fuzz targets $2... in build folder $1 (clang,
# libFuzzer and the sanitizers), leaving out video when it is not built.
markeye_fuzz_build() {
  local build=$1
  shift
  cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMARKEYE_BUILD_FUZZERS=ON -DMARKEYE_BUILD_TESTS=OFF \
    -DMARKEYE_BUILD_BENCHMARKS=OFF >/dev/null
  local wanted=()
  for target in "$@"; do
    if [ "$target" != video ] || grep -q '^MARKEYE_BUILD_VIDEO:BOOL=ON' "$build/CMakeCache.txt"; then
      wanted+=("fuzz_$target")
    fi
  done
  cmake --build "$build" --target "${wanted[@]}"
}

# The targets among $@ that the build in $1 has.
markeye_fuzz_built() {
  local build=$1
  shift
  for target in "$@"; do
    if [ -x "$build/fuzz/fuzz_$target" ]; then
      echo "$target"
    fi
  done
}

# Executions, peak memory and rate from a libFuzzer log.
markeye_fuzz_stat() {
  sed -n "s/^stat::$2:[[:space:]]*//p" "$1" | tail -n 1
}
