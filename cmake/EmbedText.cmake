# embed_text(<target> <symbol> <file>): compiles <file> into <target> as
#   extern const char <symbol>[]; extern const unsigned long <symbol>_size;
# Page scripts stay readable .js files in the tree and reach the page byte for byte.
function(embed_text target symbol file)
  get_filename_component(abs "${file}" ABSOLUTE)
  set(out "${CMAKE_CURRENT_BINARY_DIR}/embedded/${symbol}.c")
  add_custom_command(
    OUTPUT "${out}"
    COMMAND ${CMAKE_COMMAND} -DIN=${abs} -DOUT=${out} -DSYMBOL=${symbol}
            -P "${PROJECT_SOURCE_DIR}/cmake/EmbedTextRun.cmake"
    DEPENDS "${abs}" "${PROJECT_SOURCE_DIR}/cmake/EmbedTextRun.cmake"
    VERBATIM)
  target_sources(${target} PRIVATE "${out}")
endfunction()
