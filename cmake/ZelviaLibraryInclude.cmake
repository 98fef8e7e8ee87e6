# zelvia_library_include(TARGET [FOLDERS folder...] [FILES file...])
# Gives a building-block library an include directory of its own: a tree in the build folder
# holding links to only its own folders and files (paths under src/), under their usual
# "core/...", "formats/..." names. A library then sees its own headers and those of what it links, and
# nothing else: an include that crosses a boundary the wrong way (a decoder including a
# control) fails to build.
function(zelvia_library_include target)
    cmake_parse_arguments(L "" "" "FOLDERS;FILES" ${ARGN})
    set(root ${CMAKE_BINARY_DIR}/include/${target})
    foreach(path ${L_FOLDERS} ${L_FILES})
        get_filename_component(parent ${root}/${path} DIRECTORY)
        file(MAKE_DIRECTORY ${parent})
        file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${path} ${root}/${path} SYMBOLIC)
    endforeach()
    target_include_directories(${target} PUBLIC ${root})
endfunction()
