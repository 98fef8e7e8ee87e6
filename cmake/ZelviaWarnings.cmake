# Warnings are errors in our own code; Qt's and system headers are included as system headers.
set(ZELVIA_WARNING_FLAGS
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual
    -Wimplicit-fallthrough -Werror)
# A unity build includes each source into a generated one, so GCC takes a test's fixture in an
# anonymous namespace for a header's type used by another translation unit.
if(CMAKE_UNITY_BUILD AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    list(APPEND ZELVIA_WARNING_FLAGS -Wno-subobject-linkage)
endif()

function(zelvia_target_warnings target)
    target_compile_options(${target} PRIVATE ${ZELVIA_WARNING_FLAGS})
    set_property(TARGET ${target} PROPERTY ZELVIA_WARNINGS ON)
endfunction()

# Every target built from C++ sources of ours gets the warnings even when its folder forgets
# to ask: once all folders are read, the ones without them are given them here. Targets made
# only of generated code (resources) are left alone.
function(zelvia_collect_targets dir out)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(sub IN LISTS subdirs)
        zelvia_collect_targets(${sub} more)
        list(APPEND targets ${more})
    endforeach()
    set(${out} ${targets} PARENT_SCOPE)
endfunction()

function(zelvia_warn_remaining_targets)
    zelvia_collect_targets(${CMAKE_SOURCE_DIR} targets)
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        get_target_property(done ${target} ZELVIA_WARNINGS)
        if(done OR NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|OBJECT_LIBRARY)$")
            continue()
        endif()
        get_target_property(sources ${target} SOURCES)
        list(FILTER sources INCLUDE REGEX "\\.(cpp|cc|cxx)$")
        if(sources)
            zelvia_target_warnings(${target})
        endif()
    endforeach()
endfunction()
cmake_language(DEFER CALL zelvia_warn_remaining_targets)
