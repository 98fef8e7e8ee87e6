# Links with lld where it is installed: the test programs each link Qt with debug information,
# and the default linker spends minutes of a CI run on them. ZELVIA_LINKER=default keeps the
# toolchain's own linker.
set(ZELVIA_LINKER "lld" CACHE STRING "Linker to use where available: lld or default")
if(ZELVIA_LINKER STREQUAL "lld")
    include(CheckLinkerFlag)
    check_linker_flag(CXX "-fuse-ld=lld" ZELVIA_HAS_LLD)
    if(ZELVIA_HAS_LLD)
        add_link_options(-fuse-ld=lld)
    endif()
endif()
