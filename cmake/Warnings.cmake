# halvern_warnings: the warning set every target of ours builds with. HALVERN_WERROR
# makes them errors: scripts/test and CI turn it on so that a warning fails the run;
# it stays off by default, as distributions' package builds (newer compilers, other
# flags) expect.
option(HALVERN_WERROR "Treat warnings of our own code as errors" OFF)
add_library(halvern_warnings INTERFACE)
target_compile_options(halvern_warnings INTERFACE
  $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
    -Wold-style-cast -Woverloaded-virtual -Wimplicit-fallthrough>
  $<$<COMPILE_LANGUAGE:C>:-Wall -Wextra -Wpedantic>)
if(HALVERN_WERROR)
  target_compile_options(halvern_warnings INTERFACE -Werror)
  # GCC's flow analysis under the sanitizers' instrumentation and at -O1 reports
  # impossible sizes and "maybe uninitialized" in the standard library's own templates
  # (a memset of 2^64 - 101 bytes in std::vector): still shown, not fatal there.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND (HALVERN_SANITIZE OR HALVERN_FUZZ))
    target_compile_options(halvern_warnings INTERFACE -Wno-error=maybe-uninitialized
      -Wno-error=stringop-overflow -Wno-error=stringop-overread -Wno-error=array-bounds
      -Wno-error=restrict -Wno-error=free-nonheap-object -Wno-error=use-after-free
      -Wno-error=dangling-pointer -Wno-error=null-dereference)
  endif()
endif()
