# The shapes every module repeats: test executables, programs and fuzz targets.
if(BUILD_TESTING)
  include(GoogleTest)
endif()

# Everything the sanitizer jobs run: `cmake --build ... --target sanitize_tests`; the
# address-sanitizer job also runs the tests the thread sanitizer cannot watch.
add_custom_target(sanitize_tests)
add_custom_target(address_sanitize_tests DEPENDS sanitize_tests)

# velmar_add_library(TARGET NAME KIND sources...)
# A module's library, reached as velmar::NAME: its public headers under include/NAME/,
# the headers of its own sources beside them in src/.
function(velmar_add_library target name kind)
  add_library(${target} ${kind} ${ARGN})
  add_library(velmar::${name} ALIAS ${target})
  target_include_directories(${target} PUBLIC include PRIVATE src)
  target_link_libraries(${target} PRIVATE project_options)
endfunction()

# velmar_add_test(NAME [SANITIZE|ADDRESS_SANITIZE] [DRIVER] [TIMEOUT seconds] SOURCES ... LIBS ...)
# One GoogleTest executable, registered with CTest. SANITIZE: the asan and tsan jobs run
# it too; ADDRESS_SANITIZE: the asan job only. DRIVER: it boots the system, which loads
# the driver library at run time.
function(velmar_add_test name)
  if(NOT BUILD_TESTING)
    return()
  endif()
  cmake_parse_arguments(T "SANITIZE;ADDRESS_SANITIZE;DRIVER" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main project_options)
  if(T_DRIVER)
    add_dependencies(${name} velmar)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  # One label per test (gtest_discover_tests cannot pass a list): the executable's name,
  # prefixed with "sanitize:" for the tests the sanitizer jobs run (ctest -L ^sanitize:)
  # and "address-sanitize:" for those of the asan job alone.
  set(label ${name})
  if(T_SANITIZE)
    set(label sanitize:${name})
    add_dependencies(sanitize_tests ${name})
  elseif(T_ADDRESS_SANITIZE)
    set(label address-sanitize:${name})
    add_dependencies(address_sanitize_tests ${name})
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS ${label})
endfunction()

# velmar_add_program(NAME [CAMERAS] CORE sources... MAIN main.cpp LIBS ...)
# A program: NAME_core, a static library of everything but main with its headers under
# include/NAME/ (the tests and benchmarks drive the same code), the executable, and its
# manual page man/NAME.1, installed and checked against --help.
# CAMERAS: the program boots the camera system, so it needs the driver library, which is
# loaded at run time and never linked; building the program builds it too.
function(velmar_add_program)
  cmake_parse_arguments(P "CAMERAS" "NAME;MAIN" "CORE;LIBS" ${ARGN})
  add_library(${P_NAME}_core STATIC ${P_CORE})
  add_library(velmar::${P_NAME}_core ALIAS ${P_NAME}_core)
  target_include_directories(${P_NAME}_core PUBLIC include)
  target_link_libraries(${P_NAME}_core PUBLIC ${P_LIBS} velmar::cli PRIVATE project_options)
  add_executable(${P_NAME} ${P_MAIN})
  target_link_libraries(${P_NAME} PRIVATE ${P_NAME}_core project_options)
  if(P_CAMERAS)
    target_link_libraries(${P_NAME} PRIVATE velmar::system)
    add_dependencies(${P_NAME} velmar)
  endif()
  velmar_install_program(${P_NAME})
  if(BUILD_TESTING)
    # Every option the program's --help lists is in its manual page.
    add_test(NAME ${P_NAME}_manual_page
             COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${P_NAME}> -DPAGE=${CMAKE_CURRENT_SOURCE_DIR}/man/${P_NAME}.1
                     -P ${PROJECT_SOURCE_DIR}/cmake/CheckManualPage.cmake)
    set_tests_properties(${P_NAME}_manual_page PROPERTIES LABELS manual_pages TIMEOUT 30)
  endif()
endfunction()

# velmar_add_fuzzer(NAME SOURCES ... LIBS ... [INCLUDES ...]): one libFuzzer executable,
# built by the fuzz preset only; INCLUDES are folders of its own module. That preset instruments all project code for coverage
# (-fsanitize=fuzzer-no-link), so the libraries are linked as they are.
add_custom_target(fuzzers)
if(VELMAR_FUZZ AND NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "The fuzz targets need clang (libFuzzer): use the fuzz preset")
endif()
function(velmar_add_fuzzer name)
  if(NOT VELMAR_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "" "SOURCES;LIBS;INCLUDES" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_include_directories(${name} PRIVATE ${F_INCLUDES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${F_LIBS} project_options)
  add_dependencies(fuzzers ${name})
  # scripts/fuzz runs every target listed here.
  set_property(GLOBAL APPEND PROPERTY VELMAR_FUZZERS ${name})
endfunction()
