# The player SDK: installs the libraries a player links (rules engine and protocol, client,
# search board and searcher, logging, option parser) as static libraries with their public
# headers under include/reversi, and a relocatable CMake package, so that
#
#     find_package(Reversi 1.0 REQUIRED)
#     target_link_libraries(my-player PRIVATE Reversi::client Reversi::search)
#
# works from any install prefix. The libraries are position independent so that a shared
# module (the Python bindings, a player's own plug-in) may link them.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(REVERSI_SDK_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/reversi)
set(REVERSI_SDK_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Reversi)

# Library target, exported name, header folder relative to the source tree.
set(_reversi_sdk_libraries
    logcraft logcraft logcraft
    opta opta opta
    reversi_common common src/common
    client_lib client src/client
    reversi_search search src/search)

set(_reversi_sdk_targets)
while(_reversi_sdk_libraries)
    list(POP_FRONT _reversi_sdk_libraries _target _export _headers)
    if(NOT TARGET ${_target})
        continue()
    endif()
    get_filename_component(_folder ${_headers} NAME)
    set_target_properties(${_target} PROPERTIES POSITION_INDEPENDENT_CODE ON EXPORT_NAME ${_export}
                                                OUTPUT_NAME reversi_${_export})
    target_include_directories(${_target} INTERFACE $<INSTALL_INTERFACE:${REVERSI_SDK_INCLUDEDIR}>)
    target_compile_features(${_target} INTERFACE cxx_std_20)
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/${_headers}/
            DESTINATION ${REVERSI_SDK_INCLUDEDIR}/${_folder} FILES_MATCHING PATTERN "*.hpp"
            PATTERN impl EXCLUDE)
    list(APPEND _reversi_sdk_targets ${_target})
endwhile()

install(TARGETS ${_reversi_sdk_targets} EXPORT ReversiTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${CMAKE_BINARY_DIR}/generated/Config.hpp DESTINATION ${REVERSI_SDK_INCLUDEDIR})
install(EXPORT ReversiTargets NAMESPACE Reversi:: DESTINATION ${REVERSI_SDK_CMAKEDIR})

# The package version follows the project version; any 1.x satisfies a request for 1.0.
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/ReversiConfig.cmake.in
                              ${CMAKE_BINARY_DIR}/ReversiConfig.cmake
                              INSTALL_DESTINATION ${REVERSI_SDK_CMAKEDIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/ReversiConfigVersion.cmake
                                 VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/ReversiConfig.cmake ${CMAKE_BINARY_DIR}/ReversiConfigVersion.cmake
        DESTINATION ${REVERSI_SDK_CMAKEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DATADIR}/reversi/examples
        PATTERN __pycache__ EXCLUDE)
install(FILES ${PROJECT_SOURCE_DIR}/docs/writing-a-player.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/reversi)
