# Sanitizer builds apply to every target of the project, so the library and
# the tests that drive it are instrumented alike.
if(QUARROW_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(QUARROW_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT QUARROW_SANITIZE STREQUAL "")
  message(FATAL_ERROR "QUARROW_SANITIZE must be empty, 'address' or 'thread'")
endif()

if(QUARROW_BUILD_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "Fuzz targets need clang: configure with CXX=clang++")
  endif()
  # The vptr check compares type information across shared objects; the
  # fuzz programs and libmirefold each carry their own copy for the standard
  # library's templates, so it reports objects that are fine.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize=vptr -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize=vptr)
endif()
