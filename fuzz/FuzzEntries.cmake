# The fuzz entries, shared by the libFuzzer targets (fuzz/) and the
# regression test that replays committed inputs (tests/robustness/).
# markeye_fuzz_entries(<target>) links them to <target>; they are compiled
# once, into the static library markeye_fuzz_entries.
set(MARKEYE_FUZZ_ENTRY_DIR ${CMAKE_CURRENT_LIST_DIR}/entries)

function(markeye_fuzz_entries target)
  if(NOT TARGET markeye_fuzz_entries)
    add_library(markeye_fuzz_entries STATIC
      ${MARKEYE_FUZZ_ENTRY_DIR}/BoardEntry.cpp
      ${MARKEYE_FUZZ_ENTRY_DIR}/CameraEntry.cpp
      ${MARKEYE_FUZZ_ENTRY_DIR}/FrameEntry.cpp
      ${MARKEYE_FUZZ_ENTRY_DIR}/FuzzScene.cpp
      ${MARKEYE_FUZZ_ENTRY_DIR}/FuzzTracking.cpp
      ${MARKEYE_FUZZ_ENTRY_DIR}/FuzzXtra.cpp
      ${MARKEYE_FUZZ_ENTRY_DIR}/ImageEntry.cpp
      ${MARKEYE_FUZZ_ENTRY_DIR}/PatternEntry.cpp
      ${MARKEYE_FUZZ_ENTRY_DIR}/XtraEntry.cpp)
    target_include_directories(markeye_fuzz_entries PUBLIC ${MARKEYE_FUZZ_ENTRY_DIR})
    target_link_libraries(markeye_fuzz_entries PUBLIC markeye markeye_imageio markeye_host markeye_render
                          markeye_data votrack ${CMAKE_DL_LIBS})
    target_compile_definitions(markeye_fuzz_entries PUBLIC MARKEYE_XTRA_MODULE="$<TARGET_FILE:markeye_xtra>")
    add_dependencies(markeye_fuzz_entries markeye_xtra)
    # The video reader's entry, where FFmpeg's libraries are found.
    if(TARGET markeye_video)
      target_sources(markeye_fuzz_entries PRIVATE ${MARKEYE_FUZZ_ENTRY_DIR}/VideoEntry.cpp)
      target_link_libraries(markeye_fuzz_entries PUBLIC markeye_video)
      target_compile_definitions(markeye_fuzz_entries PUBLIC MARKEYE_FUZZ_VIDEO)
    endif()
  endif()
  target_link_libraries(${target} PRIVATE markeye_fuzz_entries)
endfunction()
