# ZELVIA_SANITIZE=ON: every target is built with ASan and UBSan, and any report aborts.
if(ZELVIA_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
