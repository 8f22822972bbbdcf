# What ships beside the game: licence, copyright, changelog, manual page and AppStream
# metainfo, and the Debian package that `cpack -G DEB` makes of the installed tree.
# The release date comes from the changelog, whose newest entry must be this version.
set(BLOCKDASH_APPSTREAM_ID org.blockdash.blockdash)
set(BLOCKDASH_HOMEPAGE "https://blockdash.example.org/" CACHE STRING
    "The game's web page; the metainfo's screenshots are under screenshots/ there")
set(BLOCKDASH_MAINTAINER "The Blockdash developers <blockdash@example.org>" CACHE STRING
    "Maintainer of the Debian package")

set(package_dir ${CMAKE_SOURCE_DIR}/tools/package)
file(STRINGS ${package_dir}/changelog changelog_lines)
list(GET changelog_lines 0 newest)
if(NOT newest MATCHES "^blockdash \\(([^)]+)\\)")
  message(FATAL_ERROR "tools/package/changelog does not start with a blockdash entry")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "tools/package/changelog's newest entry is ${CMAKE_MATCH_1}, "
                      "the project is ${PROJECT_VERSION}: add an entry for this release")
endif()
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
foreach(line ${changelog_lines})
  if(line MATCHES "^ -- .*  [A-Z][a-z][a-z], ([0-9][0-9]?) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
    set(day ${CMAKE_MATCH_1})
    set(year ${CMAKE_MATCH_3})
    list(FIND months ${CMAKE_MATCH_2} month)
    break()
  endif()
endforeach()
if(NOT DEFINED month OR month LESS 0)
  message(FATAL_ERROR "tools/package/changelog's newest entry has no date line")
endif()
math(EXPR month "${month} + 1")
foreach(part month day)
  string(LENGTH "${${part}}" digits)
  if(digits EQUAL 1)
    set(${part} 0${${part}})
  endif()
endforeach()
set(BLOCKDASH_RELEASE_DATE ${year}-${month}-${day})

set(BLOCKDASH_METAINFO ${CMAKE_BINARY_DIR}/to-install/${BLOCKDASH_APPSTREAM_ID}.metainfo.xml)
configure_file(${CMAKE_SOURCE_DIR}/tools/desktop/blockdash.metainfo.xml.in ${BLOCKDASH_METAINFO} @ONLY)
install(FILES ${BLOCKDASH_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(BLOCKDASH_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/blockdash)
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE ${package_dir}/copyright DESTINATION ${BLOCKDASH_DOCDIR})

# The manual page names the installed folders, known only once the prefix is (as the
# desktop entry); it and the changelog are compressed as Debian wants them, without a
# time stamp so the package is reproducible.
install(CODE "
  string(MD5 prefix_key \"\${CMAKE_INSTALL_PREFIX}\")
  set(stage \"${CMAKE_BINARY_DIR}/to-install/docs-\${prefix_key}\")
  file(MAKE_DIRECTORY \"\${stage}\")
  set(PROJECT_VERSION ${PROJECT_VERSION})
  set(BLOCKDASH_RELEASE_DATE ${BLOCKDASH_RELEASE_DATE})
  set(BLOCKDASH_MAN_GAMEDIR \"\${CMAKE_INSTALL_PREFIX}/${BLOCKDASH_INSTALL_GAMEDIR}\")
  set(BLOCKDASH_MAN_ASSETDIR \"\${CMAKE_INSTALL_PREFIX}/${BLOCKDASH_INSTALL_ASSETDIR}\")
  configure_file(\"${package_dir}/blockdash.6.in\" \"\${stage}/blockdash.6\" @ONLY)
  file(COPY \"${package_dir}/changelog\" DESTINATION \"\${stage}\")
  foreach(name blockdash.6 changelog)
    execute_process(COMMAND gzip -9nf \"\${stage}/\${name}\" RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR \"gzip could not compress \${stage}/\${name}\")
    endif()
  endforeach()
  file(INSTALL \"\${stage}/blockdash.6.gz\"
       DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_MANDIR}/man6\")
  file(INSTALL \"\${stage}/changelog.gz\" DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${BLOCKDASH_DOCDIR}\")
")

# The Debian package: the same tree as `cmake --install --prefix /usr`, its library
# dependencies read from the binary by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME blockdash)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "${BLOCKDASH_MAINTAINER}")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# No Homepage: field until the game has a page of its own.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "arcade game: dash through falling blocks and cut them in two
Square blocks fall down the field. Click anywhere and your character dashes
in a straight line to that point and cuts every block on its way; the more
blocks one dash cuts, the more it scores. A ten-place highscore table and
lifetime statistics are kept for each player.")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
if(TARGET blockdash-board)
  include(${package_dir}/board_package.cmake)
  set(CPACK_COMPONENT_UNSPECIFIED_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
endif()
include(CPack)
