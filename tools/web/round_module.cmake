# The round's rules as WebAssembly: blockdash-round.wasm and its loader blockdash-round.js in
# <build>/web, built by Debian's emscripten from blockdash_round's own sources whenever em++
# is there (the test command installs it). The page drives it through play/round_module.h.
find_program(BLOCKDASH_EMXX em++)
set(BLOCKDASH_WEB_DIR ${CMAKE_BINARY_DIR}/web)
if(NOT BLOCKDASH_EMXX)
  message(STATUS "em++ not found: the browser's module of the rules is not built")
  return()
endif()

get_target_property(module_sources blockdash_round SOURCES)
# The monotonic clock is the board's; in the module a replay's clock only moves when it waits.
list(FILTER module_sources EXCLUDE REGEX "/monotonic_clock\\.cpp$")
file(GLOB_RECURSE module_headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/*.h)
set(module_exports _round_bytes _round_load _round_step _round_figure
                   _picture_sheet_bytes _picture_sheets_load _picture_name _round_step_drawn _round_picture)
string(REPLACE ";" "," module_exports "${module_exports}")
set(module_js ${BLOCKDASH_WEB_DIR}/blockdash-round.js)
set(module_wasm ${BLOCKDASH_WEB_DIR}/blockdash-round.wasm)
# Debian's emscripten finds its acorn through NODE_PATH; its library cache comes built.
add_custom_command(
  OUTPUT ${module_js} ${module_wasm}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${BLOCKDASH_WEB_DIR}
  COMMAND ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs
          ${BLOCKDASH_EMXX} -std=c++17 -O2 -Wall -Wextra -Werror
          -I${PROJECT_SOURCE_DIR}/src -I${PROJECT_SOURCE_DIR}/tools/dev/rules_only_headers
          -DBLOCKDASH_VERSION="${PROJECT_VERSION}"
          ${module_sources} -o ${module_js}
          -sMODULARIZE=1 -sEXPORT_NAME=blockdash_round -sENVIRONMENT=web,node
          -sEXPORTED_FUNCTIONS=${module_exports} -sEXPORTED_RUNTIME_METHODS=HEAPU8
          -sALLOW_MEMORY_GROWTH=1
  DEPENDS ${module_sources} ${module_headers} ${CMAKE_CURRENT_LIST_FILE}
  COMMENT "Building the rules' WebAssembly module"
  VERBATIM)
add_custom_target(round_module ALL DEPENDS ${module_js} ${module_wasm})
