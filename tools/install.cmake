# Where the game runs from: the launcher of the build tree, and what `cmake --install`
# puts in place (the game with its patch set in lib/blockdash, its assets in
# share/blockdash, the launcher in games, a desktop entry and icons).
# One launcher template serves both; it finds the game and the assets relative to itself.
include(GNUInstallDirs)
set(BLOCKDASH_INSTALL_GAMEDIR lib/blockdash CACHE STRING "Where the game and its patch set are installed")
set(BLOCKDASH_INSTALL_ASSETDIR ${CMAKE_INSTALL_DATADIR}/blockdash CACHE STRING "Where the assets are installed")
# Debian keeps the commands of games apart, in games/ (on every user's PATH).
set(BLOCKDASH_INSTALL_BINDIR games CACHE STRING "Where the blockdash command is installed")

function(blockdash_launcher output game_dir asset_dir)
  get_filename_component(from ${output} DIRECTORY)
  file(RELATIVE_PATH LAUNCH_GAME_DIR ${from} ${game_dir})
  file(RELATIVE_PATH LAUNCH_ASSET_DIR ${from} ${asset_dir})
  if(LAUNCH_GAME_DIR STREQUAL "")
    set(LAUNCH_GAME_DIR .)
  endif()
  configure_file(${CMAKE_SOURCE_DIR}/tools/blockdash-play.in ${output} @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE)
endfunction()

blockdash_launcher(${CMAKE_BINARY_DIR}/blockdash-play ${CMAKE_BINARY_DIR} ${BLOCKDASH_ASSET_DIR})
# The installed one, worked out as if the prefix were the root; only relative paths go in.
blockdash_launcher(${CMAKE_BINARY_DIR}/to-install/${BLOCKDASH_INSTALL_BINDIR}/blockdash
                   ${CMAKE_BINARY_DIR}/to-install/${BLOCKDASH_INSTALL_GAMEDIR}
                   ${CMAKE_BINARY_DIR}/to-install/${BLOCKDASH_INSTALL_ASSETDIR})

# The icon: the standing player from the game's own sprite sheet.
add_executable(make_icon tools/desktop/make_icon.cpp)
target_link_libraries(make_icon PRIVATE PkgConfig::ALLEGRO)
set(icon_sizes 16 32 48 64 128 256)
set(icons)
foreach(size ${icon_sizes})
  set(icon ${CMAKE_BINARY_DIR}/to-install/icons/${size}/blockdash.png)
  add_custom_command(
    OUTPUT ${icon}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/to-install/icons/${size}
    COMMAND make_icon "${BLOCKDASH_ASSET_DIR}/KZ IMAGE/player.bmp" ${icon} ${size}
    DEPENDS make_icon "${BLOCKDASH_ASSET_DIR}/KZ IMAGE/player.bmp"
    COMMENT "Drawing the ${size} pixel desktop icon"
    VERBATIM)
  list(APPEND icons ${icon})
endforeach()
add_custom_target(icons ALL DEPENDS ${icons})
add_dependencies(icons assets)
add_dependencies(blockdash icons)  # so a build of just the game can still be installed

install(TARGETS blockdash RUNTIME DESTINATION ${BLOCKDASH_INSTALL_GAMEDIR})
install(FILES ${CMAKE_BINARY_DIR}/patches.dat DESTINATION ${BLOCKDASH_INSTALL_GAMEDIR})
install(DIRECTORY "${BLOCKDASH_ASSET_DIR}/KZ IMAGE" "${BLOCKDASH_ASSET_DIR}/KZ SOUND"
        DESTINATION ${BLOCKDASH_INSTALL_ASSETDIR})
install(PROGRAMS ${CMAKE_BINARY_DIR}/to-install/${BLOCKDASH_INSTALL_BINDIR}/blockdash DESTINATION ${BLOCKDASH_INSTALL_BINDIR})
foreach(size ${icon_sizes})
  install(FILES ${CMAKE_BINARY_DIR}/to-install/icons/${size}/blockdash.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
# The desktop entry names the launcher by its full path, known only once the prefix is;
# one staging folder per prefix, so installs into two prefixes cannot mix them up.
install(CODE "
  set(BLOCKDASH_LAUNCHER \"\${CMAKE_INSTALL_PREFIX}/${BLOCKDASH_INSTALL_BINDIR}/blockdash\")
  string(MD5 prefix_key \"\${CMAKE_INSTALL_PREFIX}\")
  set(entry \"${CMAKE_BINARY_DIR}/to-install/desktop-\${prefix_key}/blockdash.desktop\")
  configure_file(\"${CMAKE_SOURCE_DIR}/tools/desktop/blockdash.desktop.in\" \"\${entry}\" @ONLY)
  file(INSTALL \"\${entry}\" DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\")
")
