# markeye_embed_file(<target> <file> <symbol>)
# Adds to <target> a generated source defining
#   extern const unsigned char <symbol>[];  extern const unsigned long <symbol>_SIZE;
# with the bytes of <file>. Editing the file re-runs the configuration.
function(markeye_embed_file target file symbol)
  file(READ "${file}" hex HEX)
  file(SIZE "${file}" size)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  set(out "${CMAKE_CURRENT_BINARY_DIR}/${symbol}.cpp")
  file(WRITE "${out}.tmp"
    "// Generated from ${file}; do not edit.\n"
    "extern const unsigned char ${symbol}[] = {${bytes}};\n"
    "extern const unsigned long ${symbol}_SIZE = ${size};\n")
  file(COPY_FILE "${out}.tmp" "${out}" ONLY_IF_DIFFERENT)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${file}")
  target_sources(${target} PRIVATE "${out}")
endfunction()
