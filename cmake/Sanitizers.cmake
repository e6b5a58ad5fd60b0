# HALVERN_SANITIZE=address,undefined or thread: applied to everything built here,
# tests included, so `scripts/test --sanitize thread` checks the whole suite.
if(HALVERN_SANITIZE)
  string(REPLACE "," ";" _halvern_sanitizers "${HALVERN_SANITIZE}")
  foreach(_s IN LISTS _halvern_sanitizers)
    add_compile_options(-fsanitize=${_s})
    add_link_options(-fsanitize=${_s})
  endforeach()
  add_compile_options(-fno-omit-frame-pointer -fno-sanitize-recover=all)
endif()
