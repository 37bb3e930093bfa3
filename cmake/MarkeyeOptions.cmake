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

# ThreadSanitizer cannot be combined with AddressSanitizer: a build of its
# own, for the tests that run trackers on several threads.
if(MARKEYE_SANITIZE_THREAD)
  if(MARKEYE_SANITIZE)
    message(FATAL_ERROR "MARKEYE_SANITIZE_THREAD and MARKEYE_SANITIZE exclude each other")
  endif()
  set(MARKEYE_THREAD_SANITIZER_FLAGS -fsanitize=thread -fno-omit-frame-pointer)
  add_compile_options(${MARKEYE_THREAD_SANITIZER_FLAGS})
  add_link_options(${MARKEYE_THREAD_SANITIZER_FLAGS})
endif()
