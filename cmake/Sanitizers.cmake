# HALVERN_SANITIZE=address,undefined or thread: applied to everything built here,
# tests included, so `scripts/test --sanitize thread` checks the whole suite.
if(HALVERN_SANITIZE)
  string(REPLACE "," ";" _halvern_sanitizers "${HALVERN_SANITIZE}")
  foreach(_s IN LISTS _halvern_sanitizers)
    add_compile_options(-fsanitize=${_s})
    add_link_options(-fsanitize=${_s})
  endforeach()
  add_compile_options(-fno-omit-frame-pointer -fno-sanitize-recover=all)
  # GCC's flow analysis sees through AddressSanitizer's checks badly and warns of
  # "maybe uninitialized" members in the standard library's own templates (std::regex).
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND "address" IN_LIST _halvern_sanitizers)
    add_compile_options(-Wno-maybe-uninitialized)
  endif()
endif()

# HALVERN_FUZZ (clang): the libraries under test carry the fuzzer's coverage and the
# sanitizers too, or the fuzzer would see one edge per target and AddressSanitizer
# would check no parser. Only the fuzz mains link libFuzzer itself (tests/fuzz).
if(HALVERN_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "HALVERN_FUZZ needs clang: -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
