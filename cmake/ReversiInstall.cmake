# Installing and packaging: every program the build defines (the REVERSI_PROGRAMS property that
# reversi_add_program fills), their manual pages and bash completions, the sample maps, the
# README and the pages of docs/ it links to; `cpack -G DEB` packs the same tree into a Debian
# package.
include(GNUInstallDirs)

get_property(_reversi_programs GLOBAL PROPERTY REVERSI_PROGRAMS)
install(TARGETS ${_reversi_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/maps/ DESTINATION ${CMAKE_INSTALL_DATADIR}/reversi/maps
        FILES_MATCHING PATTERN "*.map")
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/reversi)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/reversi/docs)
include(${CMAKE_CURRENT_LIST_DIR}/ReversiManPages.cmake)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME reversi)
set(CPACK_PACKAGE_VENDOR "Reversi team")
set(CPACK_PACKAGE_CONTACT "Reversi team <reversi@localhost>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Reversi team <reversi@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Networked multi-player Reversi on arbitrary maps: server, clients, bots and map tools")
set(CPACK_PACKAGE_DESCRIPTION
    "A game server, a console client, bots and tools for a Reversi variant for 2 to 8 players on maps of up to 50 x 50 squares with holes, edge transitions, special squares, override stones and bombs, with sample maps, and the SDK for writing players: libraries, headers and CMake package, the Python module and examples.")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE gzip)
# The library dependencies are read from the programs when dpkg-shlibdeps is there.
find_program(REVERSI_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(REVERSI_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libstdc++6 (>= 12), libgcc-s1, libsqlite3-0")
endif()
include(CPack)
