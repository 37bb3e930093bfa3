# The fuzz entries, shared by the libFuzzer targets (fuzz/) and the
# regression test that replays committed inputs (tests/robustness/).
# markeye_fuzz_entries(<target>) adds them to <target>.
set(MARKEYE_FUZZ_ENTRY_DIR ${CMAKE_CURRENT_LIST_DIR}/entries)

function(markeye_fuzz_entries target)
  target_sources(${target} PRIVATE
    ${MARKEYE_FUZZ_ENTRY_DIR}/CameraEntry.cpp
    ${MARKEYE_FUZZ_ENTRY_DIR}/FrameEntry.cpp
    ${MARKEYE_FUZZ_ENTRY_DIR}/FuzzScene.cpp
    ${MARKEYE_FUZZ_ENTRY_DIR}/FuzzTracking.cpp
    ${MARKEYE_FUZZ_ENTRY_DIR}/FuzzXtra.cpp
    ${MARKEYE_FUZZ_ENTRY_DIR}/PatternEntry.cpp
    ${MARKEYE_FUZZ_ENTRY_DIR}/XtraEntry.cpp)
  target_include_directories(${target} PRIVATE ${MARKEYE_FUZZ_ENTRY_DIR})
  target_link_libraries(${target} PRIVATE markeye markeye_host markeye_render markeye_data votrack ${CMAKE_DL_LIBS})
  target_compile_definitions(${target} PRIVATE MARKEYE_XTRA_MODULE="$<TARGET_FILE:markeye_xtra>")
  add_dependencies(${target} markeye_xtra)
endfunction()
