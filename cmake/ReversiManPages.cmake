# Manual pages and bash completions. reversi-manpages (built, not installed) constructs every
# program and writes its page and completion from the options the program declares; the files
# are written again whenever a program changes, and installed beside the programs.
file(GLOB _manpages_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/tools/manpages/*.cpp)
get_property(_manpages_libs GLOBAL PROPERTY REVERSI_PROGRAM_LIBS)
add_executable(reversi-manpages ${_manpages_sources})
target_link_libraries(reversi-manpages PRIVATE ${_manpages_libs})

set(REVERSI_MANPAGES_DIR ${CMAKE_BINARY_DIR}/manpages)
get_property(_manpages_programs GLOBAL PROPERTY REVERSI_PROGRAMS)
set(_manpages_pages)
set(_manpages_completions)
foreach(_program ${_manpages_programs})
    list(APPEND _manpages_pages ${REVERSI_MANPAGES_DIR}/man1/${_program}.1)
    list(APPEND _manpages_completions ${REVERSI_MANPAGES_DIR}/completions/${_program})
endforeach()
add_custom_command(
    OUTPUT ${_manpages_pages} ${_manpages_completions}
    COMMAND reversi-manpages ${REVERSI_MANPAGES_DIR}
    DEPENDS reversi-manpages
    COMMENT "Writing the manual pages and bash completions")
add_custom_target(reversi_manpages ALL DEPENDS ${_manpages_pages} ${_manpages_completions})

install(FILES ${_manpages_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${_manpages_completions}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# The test reads the files the build wrote, so the build writes them first.
if(TARGET test_manpages)
    add_dependencies(test_manpages reversi_manpages)
    target_compile_definitions(test_manpages PRIVATE
        REVERSI_MANPAGES_DIR="${REVERSI_MANPAGES_DIR}")
endif()
