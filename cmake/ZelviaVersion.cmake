# The version lives in project() only. The program, the AppStream metadata, the man page and
# the package take it from here: ZELVIA_VERSION_TEXT is the form the program shows, with the
# patch number in four digits (1.52.0281).
string(LENGTH "${PROJECT_VERSION_PATCH}" zelvia_patch_length)
if(zelvia_patch_length GREATER 4)
    message(FATAL_ERROR "the patch number ${PROJECT_VERSION_PATCH} has more than four digits")
endif()
set(zelvia_patch "000${PROJECT_VERSION_PATCH}")
math(EXPR zelvia_patch_start "${zelvia_patch_length} + 3 - 4")
string(SUBSTRING "${zelvia_patch}" ${zelvia_patch_start} 4 zelvia_patch)
set(ZELVIA_VERSION_TEXT "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${zelvia_patch}")

configure_file(${CMAKE_CURRENT_LIST_DIR}/zelvia_version.h.in
               ${CMAKE_BINARY_DIR}/generated/zelvia_version.h @ONLY)
add_library(zelvia_version INTERFACE)
target_include_directories(zelvia_version INTERFACE ${CMAKE_BINARY_DIR}/generated)
