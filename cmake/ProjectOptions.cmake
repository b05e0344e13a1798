# Warnings and sanitizers shared by every target of the project.
add_library(project_options INTERFACE)
target_compile_options(project_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
  -Wunused -Woverloaded-virtual -Wnull-dereference -Wformat=2)
if(VELMAR_WERROR)
  target_compile_options(project_options INTERFACE -Werror)
endif()

set(VELMAR_SANITIZE "" CACHE STRING "Sanitizers: empty, 'address,undefined' or 'thread'")
if(VELMAR_SANITIZE)
  add_compile_options(-fsanitize=${VELMAR_SANITIZE} -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=${VELMAR_SANITIZE})
  if(VELMAR_SANITIZE MATCHES "undefined")
    add_compile_options(-fno-sanitize-recover=undefined)
  endif()
endif()
