# halvern_warnings: the warning set every target of ours builds with; the build is
# expected to stay free of warnings.
add_library(halvern_warnings INTERFACE)
target_compile_options(halvern_warnings INTERFACE
  $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
    -Wold-style-cast -Woverloaded-virtual -Wimplicit-fallthrough>
  $<$<COMPILE_LANGUAGE:C>:-Wall -Wextra -Wpedantic>)
