# GoogleTest for every build and one way to declare a test program.
#
# Native builds use Debian's packaged GoogleTest. The Windows builds compile the same
# GoogleTest sources (Debian's googletest package ships them in /usr/src/googletest) with
# the mingw toolchain; CTest runs the resulting .exe files through the wine wrapper set as
# CMAKE_CROSSCOMPILING_EMULATOR in the toolchain file.

if(WIN32)
  if(NOT TARGET gtest)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL)
  endif()
  set(KESTRANE_GTEST_MAIN gtest_main)
  set(KESTRANE_GTEST gtest)
  set(KESTRANE_GMOCK gmock)
else()
  find_package(GTest REQUIRED)
  set(KESTRANE_GTEST_MAIN GTest::gtest_main)
  set(KESTRANE_GTEST GTest::gtest)
  set(KESTRANE_GMOCK GTest::gmock)
endif()

include(GoogleTest)

# kestrane_add_gtest(<name> SOURCES <files...> [LIBS <targets...>] [NO_MAIN] [LABELS <labels...>])
# Builds one test program and registers every test case in it with CTest. Labels let the
# test scripts pick groups (for example "slow" or "gui").
function(kestrane_add_gtest name)
  cmake_parse_arguments(ARG "NO_MAIN" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  kestrane_target_options(${name})
  if(ARG_NO_MAIN)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} ${KESTRANE_GTEST} ${KESTRANE_GMOCK})
  else()
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} ${KESTRANE_GTEST_MAIN} ${KESTRANE_GMOCK})
  endif()
  target_compile_definitions(${name} PRIVATE KESTRANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  # Discovery at test time, so that listing the Windows programs happens under wine only
  # when the tests run, not at build time.
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                       PROPERTIES LABELS "${ARG_LABELS}")
endfunction()
