target_sources(zelvia_runtime PRIVATE runtime_error.h picture.h)
