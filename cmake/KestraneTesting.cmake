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

# How CTest runs the programs. Natively and under wine64 every test case is a CTest test of its
# own, found by listing the program when CTest starts (starting a program costs little there).
# The 32-bit build runs each program once, whole, under cmake/wine32-run.sh: the 32-bit loader
# may run under qemu-i386, where each start costs about half a second, and the test run there
# picks only the conformance and smoke programs by label. wine32-run.sh exits with 77 when this
# machine cannot run 32-bit programs, which CTest reports as skipped.
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(KESTRANE_TEST_WHOLE_PROGRAMS ON)
else()
  set(KESTRANE_TEST_WHOLE_PROGRAMS OFF)
endif()

# Ceilings that turn a hang (a modal loop waiting for input, a deadlock) into a failure.
set(KESTRANE_TEST_CASE_TIMEOUT 300)
set(KESTRANE_TEST_PROGRAM_TIMEOUT 1800)

# kestrane_add_gtest(<name> SOURCES <files...> [LIBS <targets...>] [NO_MAIN] [LABELS <labels...>])
# Builds one test program and registers its tests with CTest. Labels let the test scripts pick
# groups: "conformance" and "smoke" are the ones the 32-bit run under wine picks; others, such
# as "slow" or "gui", are free to use (ctest -L / -LE).
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

  # Under wine all programs share one desktop: the cursor, the focus and the input queue. Tests
  # labelled "gui" drive those, so CTest runs them one at a time there; so do the tests labelled
  # "x11", which share the pointer and the keyboard of one X server.
  set(lock "")
  if(WIN32 AND "gui" IN_LIST ARG_LABELS)
    set(lock RESOURCE_LOCK wine_desktop)
  elseif("x11" IN_LIST ARG_LABELS)
    set(lock RESOURCE_LOCK x_display)
  endif()

  if(KESTRANE_TEST_WHOLE_PROGRAMS)
    # A target name as the command: CTest puts the CROSSCOMPILING_EMULATOR in front.
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS};wine32" ${lock}
      SKIP_RETURN_CODE 77 TIMEOUT ${KESTRANE_TEST_PROGRAM_TIMEOUT})
    return()
  endif()

  # Discovery at test time, so that listing the Windows programs happens under wine only when
  # the tests run, not at build time.
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                       TEST_LIST ${name}_TESTS PROPERTIES TIMEOUT ${KESTRANE_TEST_CASE_TIMEOUT})
  # Labels go on after discovery: GoogleTest's PROPERTIES keep only the first of several
  # labels. CTest reads this file after the one that lists the cases into ${name}_TESTS.
  if(ARG_LABELS)
    string(REPLACE ";" " " lock_text "${lock}")
    set(labels_file "${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake")
    file(WRITE "${labels_file}"
      "if(${name}_TESTS)\n"
      "  set_tests_properties(\${${name}_TESTS} PROPERTIES LABELS \"${ARG_LABELS}\" ${lock_text})\n"
      "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${labels_file}")
  endif()
endfunction()
