# Compile options shared by every target of the project.
add_library(reversi_options INTERFACE)
target_compile_options(reversi_options INTERFACE -Wall -Wextra -Wpedantic)
# GCC 12 reports -Wrestrict on std::string concatenation ("text" + std::string) once it inlines
# the library at -O2 and above (GCC bug 105329): a false positive in the standard library's own
# code that would otherwise fail every Release build with warnings as errors.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(reversi_options INTERFACE -Wno-restrict)
endif()
target_include_directories(reversi_options INTERFACE
    ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/src ${PROJECT_BINARY_DIR}/generated)
if(REVERSI_WERROR)
    target_compile_options(reversi_options INTERFACE -Werror)
endif()
if(REVERSI_SANITIZE)
    set(_san -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_compile_options(reversi_options INTERFACE ${_san})
    target_link_options(reversi_options INTERFACE ${_san})
endif()

# Stops the configuration when a dependency is not a target (yet): a misspelt or misordered
# name would otherwise pass to the linker as a plain library name and fail far from its cause.
function(reversi_require_targets owner)
    foreach(_dep ${ARGN})
        if(NOT TARGET ${_dep})
            message(FATAL_ERROR "${owner} depends on ${_dep}, which is not a target defined before it")
        endif()
    endforeach()
endfunction()

# A static library made of every .cpp file in DIR, linked to the given dependencies. The project's
# options stay inside the build: an installed library carries only its own usage requirements.
function(reversi_add_library name dir)
    file(GLOB _sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${dir}/*.cpp)
    if(NOT _sources)
        message(FATAL_ERROR "${name}: ${dir} holds no .cpp files")
    endif()
    reversi_require_targets(${name} ${ARGN})
    add_library(${name} STATIC ${_sources})
    target_link_libraries(${name} PUBLIC $<BUILD_INTERFACE:reversi_options> ${ARGN})
endfunction()

# A program in src/<dir>: main.cpp becomes the executable, every other source goes into
# the library <dir>_lib ("tools/perft" gives tools_perft_lib). A missing main.cpp or a
# dependency that is not a target yet stops the configuration.
function(reversi_add_program dir exe)
    set(_root ${PROJECT_SOURCE_DIR}/src/${dir})
    string(REPLACE "/" "_" _lib ${dir})
    if(NOT EXISTS ${_root}/main.cpp)
        message(FATAL_ERROR "${exe}: ${_root}/main.cpp does not exist")
    endif()
    reversi_require_targets(${exe} ${ARGN})
    file(GLOB _sources CONFIGURE_DEPENDS ${_root}/*.cpp)
    list(REMOVE_ITEM _sources ${_root}/main.cpp)
    add_library(${_lib}_lib STATIC ${_sources})
    target_link_libraries(${_lib}_lib PUBLIC $<BUILD_INTERFACE:reversi_options> ${ARGN})
    add_executable(${exe} ${_root}/main.cpp)
    target_link_libraries(${exe} PRIVATE ${_lib}_lib)
    set_property(GLOBAL APPEND PROPERTY REVERSI_PROGRAMS ${exe})
    set_property(GLOBAL APPEND PROPERTY REVERSI_PROGRAM_LIBS ${_lib}_lib)
endfunction()
