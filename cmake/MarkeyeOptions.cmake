# Compiler settings shared by every target of the project.

add_compile_options(-Wall -Wextra -Wshadow)
if(MARKEYE_WERROR)
  add_compile_options(-Werror)
endif()

if(MARKEYE_SANITIZE)
  set(MARKEYE_SANITIZER_FLAGS
      -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${MARKEYE_SANITIZER_FLAGS})
  add_link_options(${MARKEYE_SANITIZER_FLAGS})
endif()
