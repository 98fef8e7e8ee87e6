# Precompiled headers for the tests. Parsing GoogleTest's, Qt's and the standard library's
# headers is most of the time of compiling a test file (about a third of it is saved), so each
# build parses them once in a host target and every target linking GoogleTest reuses them.
# The program's own libraries are left alone: they keep including exactly what they use.
# GCC only: clang refuses a header precompiled under other macro definitions.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    set(zelvia_pch_default ON)
else()
    set(zelvia_pch_default OFF)
endif()
option(ZELVIA_PCH "Precompile the tests' common headers (GCC)" ${zelvia_pch_default})

set(ZELVIA_PCH_HEADERS
    <algorithm> <array> <cmath> <cstdint> <cstdio> <cstdlib> <cstring> <functional> <map>
    <memory> <optional> <string> <vector>
    <QApplication> <QByteArray> <QDir> <QFile> <QImage> <QMainWindow> <QMenu> <QPainter>
    <QString> <QTemporaryDir> <QWidget>
    <gtest/gtest.h>)

# zelvia_pch_host(NAME LIBS lib...): a target that only compiles the precompiled headers, with
# the usage requirements of QtCore and LIBS. GCC uses a precompiled header only where every
# macro defined when it was made is defined too: so the host takes the include folders of Qt's
# other modules but not their QT_*_LIB macros, which not every test has.
function(zelvia_pch_host name)
    cmake_parse_arguments(H "" "" "LIBS" ${ARGN})
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
    target_precompile_headers(${name} PRIVATE ${ZELVIA_PCH_HEADERS})
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

# Once every folder is read: each of our targets that links GoogleTest reuses the tests' host.
function(zelvia_use_test_pch)
    if(NOT ZELVIA_PCH OR NOT TARGET zelvia_pch_tests)
        return()
    endif()
    zelvia_collect_targets(${CMAKE_SOURCE_DIR} targets)
    foreach(target IN LISTS targets)
        get_target_property(ours ${target} ZELVIA_WARNINGS)
        get_target_property(host ${target} ZELVIA_PCH_HOST)
        if(NOT ours OR host)
            continue()
        endif()
        zelvia_links_gtest(${target} tests)
        if(tests)
            target_precompile_headers(${target} REUSE_FROM zelvia_pch_tests)
        endif()
    endforeach()
endfunction()
cmake_language(DEFER CALL zelvia_use_test_pch)
