# Compiler settings of the fuzzing build (MARKEYE_BUILD_FUZZERS=ON): every
# target, the plug-in module included, is built with coverage for libFuzzer
# and with AddressSanitizer and UndefinedBehaviorSanitizer; only the fuzz
# targets link libFuzzer's driver. Include before the targets are defined.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "MARKEYE_BUILD_FUZZERS needs clang: configure with CXX=clang++")
endif()
set(MARKEYE_FUZZ_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_compile_options(-fsanitize=fuzzer-no-link ${MARKEYE_FUZZ_SANITIZERS})
add_link_options(${MARKEYE_FUZZ_SANITIZERS})
