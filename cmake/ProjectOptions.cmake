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

# Helper: one GoogleTest executable per module, registered with CTest.
include(GoogleTest)
# Everything the sanitizer jobs run: `cmake --build ... --target sanitize_tests`.
add_custom_target(sanitize_tests)
function(velmar_add_test name)
  # SANITIZE: the test also runs in the asan and tsan CI jobs.
  cmake_parse_arguments(T "SANITIZE" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main project_options)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  # One label per test (gtest_discover_tests cannot pass a list): the executable's name,
  # prefixed with "sanitize:" for the tests the sanitizer jobs run (ctest -L ^sanitize:).
  set(label ${name})
  if(T_SANITIZE)
    set(label sanitize:${name})
    add_dependencies(sanitize_tests ${name})
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS ${label})
endfunction()
