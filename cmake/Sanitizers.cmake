# Sanitizer builds apply to every target of the project, so the library and
# the tests that drive it are instrumented alike.
# UBSan's vptr check compares type information across shared objects: the
# programs and libmirefold each carry their own copy for the standard
# library's templates (std::_Sp_counted_base of every shared pointer handed
# over the library boundary), so it reports objects that are fine.
set(QUARROW_NO_VPTR_CHECK -fno-sanitize=vptr)

if(QUARROW_SANITIZE STREQUAL "address")
  # CI builds this after the normal suite: -O1 with line tables only took
  # about two thirds of the compile time of -O2 -g (three of our files
  # measured), and reports still name files and lines.
  add_compile_options(-fsanitize=address,undefined ${QUARROW_NO_VPTR_CHECK} -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined -O1 -g1)
  add_link_options(-fsanitize=address,undefined ${QUARROW_NO_VPTR_CHECK})
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
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined ${QUARROW_NO_VPTR_CHECK} -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined ${QUARROW_NO_VPTR_CHECK})
endif()
