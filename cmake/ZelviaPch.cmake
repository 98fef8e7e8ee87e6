# Precompiled headers. Parsing Qt's, GoogleTest's and the standard library's headers is most of
# the time of compiling a file, so each build parses them once in a host target per kind, and
# every test (a target linking GoogleTest) reuses the tests' host and every library of the
# program the program's host. What a file includes is unchanged: clang-tidy reads each file
# without them, so a missing include still fails there.
# GCC only: clang refuses a header precompiled under other macro definitions.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    set(zelvia_pch_default ON)
else()
    set(zelvia_pch_default OFF)
endif()
option(ZELVIA_PCH "Precompile the common headers of the tests and the program (GCC)"
       ${zelvia_pch_default})

# Test code is compiled for compiling fast: at -O2 with full debug information a test file took
# 7 s, most of it optimising GoogleTest's macros. The tests do little work of their own; the
# program's libraries they call keep the build's optimisation. Line tables keep stack traces.
set(ZELVIA_TEST_COMPILE_OPTIONS -O0 -g1)

set(ZELVIA_PCH_STANDARD_HEADERS
    <algorithm> <array> <cmath> <cstdint> <cstdio> <cstdlib> <cstring> <functional> <map>
    <memory> <optional> <string> <vector>)
set(ZELVIA_PCH_HEADERS ${ZELVIA_PCH_STANDARD_HEADERS}
    <QApplication> <QByteArray> <QDir> <QFile> <QImage> <QMainWindow> <QMenu> <QPainter>
    <QString> <QTemporaryDir> <QWidget>
    <gtest/gtest.h>)
set(ZELVIA_SRC_PCH_HEADERS ${ZELVIA_PCH_STANDARD_HEADERS}
    <QByteArray> <QImage> <QObject> <QPainter> <QString> <QWidget>)

# zelvia_pch_host(NAME HEADERS header... [LIBS lib...] [OPTIONS option...]): a target that only
# compiles the precompiled headers, with the usage requirements of QtCore and LIBS and the
# compile OPTIONS its users have too. GCC uses a precompiled header only where every
# macro defined when it was made is defined too: so the host takes the include folders of Qt's
# other modules but not their QT_*_LIB macros, which not every test has.
function(zelvia_pch_host name)
    cmake_parse_arguments(H "" "" "HEADERS;LIBS;OPTIONS" ${ARGN})
    if(NOT ZELVIA_PCH)
        return()
    endif()
    set(source ${CMAKE_CURRENT_BINARY_DIR}/${name}.cpp)
    if(NOT EXISTS ${source})
        file(WRITE ${source} "// Only here to compile the precompiled headers.\n")
    endif()
    add_library(${name} STATIC ${source})
    target_link_libraries(${name} PRIVATE Qt6::Core ${H_LIBS})
    foreach(module Gui Widgets)
        target_include_directories(${name} SYSTEM PRIVATE
            $<TARGET_PROPERTY:Qt6::${module},INTERFACE_INCLUDE_DIRECTORIES>)
    endforeach()
    target_compile_options(${name} PRIVATE ${H_OPTIONS})
    target_precompile_headers(${name} PRIVATE ${H_HEADERS})
    set_target_properties(${name} PROPERTIES AUTOMOC OFF ZELVIA_PCH_HOST ON)
    zelvia_target_warnings(${name})
endfunction()

# Whether `target` links GoogleTest, directly or through our libraries.
function(zelvia_links_gtest target out)
    set(found OFF)
    set(seen "")
    set(queue ${target})
    while(queue AND NOT found)
        list(POP_FRONT queue current)
        if(current IN_LIST seen)
            continue()
        endif()
        list(APPEND seen ${current})
        if(current MATCHES "^GTest::")
            set(found ON)
        elseif(TARGET ${current})
            get_target_property(imported ${current} IMPORTED)
            if(NOT imported)
                get_target_property(libs ${current} LINK_LIBRARIES)
                if(libs)
                    list(APPEND queue ${libs})
                endif()
            endif()
        endif()
    endwhile()
    set(${out} ${found} PARENT_SCOPE)
endfunction()

# Once every folder is read: each of our targets that links GoogleTest is compiled as test code
# and reuses the tests' host; each under src/ reuses the program's host.
function(zelvia_use_pch)
    zelvia_collect_targets(${CMAKE_SOURCE_DIR} targets)
    foreach(target IN LISTS targets)
        get_target_property(ours ${target} ZELVIA_WARNINGS)
        get_target_property(host ${target} ZELVIA_PCH_HOST)
        if(NOT ours OR host)
            continue()
        endif()
        zelvia_links_gtest(${target} tests)
        if(tests)
            target_compile_options(${target} PRIVATE ${ZELVIA_TEST_COMPILE_OPTIONS})
        endif()
        get_target_property(folder ${target} SOURCE_DIR)
        if(NOT ZELVIA_PCH)
            continue()
        elseif(tests AND TARGET zelvia_pch_tests)
            target_precompile_headers(${target} REUSE_FROM zelvia_pch_tests)
        elseif(NOT tests AND folder MATCHES "^${CMAKE_SOURCE_DIR}/src(/|$)" AND
               TARGET zelvia_pch_src)
            target_precompile_headers(${target} REUSE_FROM zelvia_pch_src)
        endif()
    endforeach()
endfunction()
cmake_language(DEFER CALL zelvia_use_pch)
