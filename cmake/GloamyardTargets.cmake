# Shared settings for every Gloamyard target: warnings on, and clean.
function(gloamyard_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
    -Wcast-align -Woverloaded-virtual -Wimplicit-fallthrough)
  if(GLOAMYARD_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# gloamyard_library(name SOURCES ... [DEPS ...])
function(gloamyard_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC "${PROJECT_SOURCE_DIR}")
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  gloamyard_warnings(${name})
endfunction()

# gloamyard_test(name SOURCES ... DEPS ...): one GoogleTest program per area.
function(gloamyard_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}")
  gloamyard_warnings(${name})
  # Under AddressSanitizer the tests keep the libraries they load (see the
  # file); the executable's dlclose must be the one libraries call.
  if(CMAKE_CXX_FLAGS MATCHES "-fsanitize=[^ ]*address")
    target_sources(${name} PRIVATE "${PROJECT_SOURCE_DIR}/tests/sanitizers/KeepLibrariesLoaded.cpp")
    target_link_options(${name} PRIVATE "LINKER:--export-dynamic-symbol=dlclose")
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${ARG_LABELS}")
endfunction()
