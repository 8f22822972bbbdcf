# The board server's install rules, component "board": the program, its manual page, the
# systemd unit (installed, not enabled) and the Debian documents. cpack makes a second
# package of them, blockdash-board, beside the game's.
set(board_stage ${CMAKE_BINARY_DIR}/to-install/board)
install(TARGETS blockdash-board RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT board)
# The watch page's script, module and sprite sheets, as the build gathered them.
install(DIRECTORY ${BLOCKDASH_BOARD_WATCH_BUILD_DIR}/ DESTINATION ${BLOCKDASH_BOARD_WATCH_DIR} COMPONENT board)
install(FILES ${package_dir}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/blockdash-board COMPONENT board)
install(FILES ${package_dir}/board/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME blockdash-board COMPONENT board)
# Like the game's manual page: worked out once the prefix is known, compressed without a
# time stamp.
install(CODE "
  string(MD5 prefix_key \"\${CMAKE_INSTALL_PREFIX}\")
  set(stage \"${board_stage}-\${prefix_key}\")
  file(MAKE_DIRECTORY \"\${stage}\")
  set(PROJECT_VERSION ${PROJECT_VERSION})
  set(BLOCKDASH_RELEASE_DATE ${BLOCKDASH_RELEASE_DATE})
  set(BOARD_BINARY \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/blockdash-board\")
  set(BOARD_WATCH_DIR \"\${CMAKE_INSTALL_PREFIX}/${BLOCKDASH_BOARD_WATCH_DIR}\")
  configure_file(\"${package_dir}/blockdash-board.8.in\" \"\${stage}/blockdash-board.8\" @ONLY)
  configure_file(\"${package_dir}/blockdash-board.service.in\" \"\${stage}/blockdash-board.service\" @ONLY)
  file(COPY \"${package_dir}/changelog\" DESTINATION \"\${stage}\")
  foreach(name blockdash-board.8 changelog)
    execute_process(COMMAND gzip -9nf \"\${stage}/\${name}\" RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR \"gzip could not compress \${stage}/\${name}\")
    endif()
  endforeach()
  file(INSTALL \"\${stage}/blockdash-board.8.gz\"
       DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_MANDIR}/man8\")
  file(INSTALL \"\${stage}/changelog.gz\"
       DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/doc/blockdash-board\")
  file(INSTALL \"\${stage}/blockdash-board.service\" DESTINATION \"\${CMAKE_INSTALL_PREFIX}/lib/systemd/system\")
  # The service's settings: /etc beside /usr as Debian has it, else under the prefix. Root's
  # alone, for the secret and a database password that may be written in it.
  if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
    set(etc /etc)
  else()
    set(etc \"\${CMAKE_INSTALL_PREFIX}/etc\")
  endif()
  file(INSTALL \"${package_dir}/board/blockdash-board.default\" DESTINATION \"\${etc}/default\"
       RENAME blockdash-board PERMISSIONS OWNER_READ OWNER_WRITE)
" COMPONENT board)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL Unspecified board)
set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_NAME blockdash)
set(CPACK_DEBIAN_BOARD_PACKAGE_NAME blockdash-board)
set(CPACK_DEBIAN_BOARD_PACKAGE_SECTION net)
set(CPACK_COMPONENT_BOARD_DESCRIPTION "world table server for the blockdash game
The board hands out a ticket for each round, draws the round's seed only when
it starts, replays every round sent to it with the game's own rules and times
it against the notices the game sent while playing, and shows the best rounds
as JSON and as a web page. SQLite by default, PostgreSQL for several servers.")
# Maintainer scripts as debhelper writes them for a unit that is not enabled, and the
# settings file kept as a conffile. cpack must install the package as /usr with DESTDIR
# for /etc to land in it.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX ${CPACK_PACKAGING_INSTALL_PREFIX})
set(CPACK_DEBIAN_BOARD_PACKAGE_CONTROL_EXTRA
    ${package_dir}/board/postinst ${package_dir}/board/prerm ${package_dir}/board/postrm
    ${package_dir}/board/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
