# ZELVIA_SANITIZE=ON: every target is built with AddressSanitizer (LeakSanitizer included) and
# UndefinedBehaviorSanitizer, and the first report aborts the process. float-cast-overflow is
# not part of "undefined" in gcc; hostile metafile coordinates make it worth checking.
# A Debug build is optimised at -O1: about twice as fast under ASan and stack traces stay exact.
if(ZELVIA_SANITIZE)
    set(ZELVIA_SANITIZER_FLAGS -fsanitize=address,undefined,float-cast-overflow
                               -fno-sanitize-recover=all)
    add_compile_options(${ZELVIA_SANITIZER_FLAGS} -fno-omit-frame-pointer
                        $<$<CONFIG:Debug>:-O1>)
    add_link_options(${ZELVIA_SANITIZER_FLAGS})
endif()
