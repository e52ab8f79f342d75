# Warnings as errors everywhere, sanitizers by preset, and the 32-bit float model.
# Every Kestrane target calls kestrane_target_options(<target>).

set(KESTRANE_SANITIZE "" CACHE STRING "Sanitizers for native builds: empty, 'address;undefined' or 'thread'")

function(kestrane_target_options target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
    -Wnon-virtual-dtor -Woverloaded-virtual -Werror)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "i[3-6]86" OR CMAKE_CXX_COMPILER MATCHES "i686")
    # SSE2 arithmetic instead of x87 so float and double results are bit-identical
    # to the 64-bit builds.
    target_compile_options(${target} PRIVATE -msse2 -mfpmath=sse)
  endif()
endfunction()

# The native plug-in and the command-line host carry the C++ runtime inside, as the shipped DLL
# does: each start of the host then spares loading and binding the shared runtime, about a
# millisecond of every render. The plug-in keeps its copy to itself. Sanitizer builds keep the
# shared runtime their instrumentation expects.
function(kestrane_own_runtime target)
  if(NOT WIN32 AND NOT KESTRANE_SANITIZE)
    target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc)
    get_target_property(_type ${target} TYPE)
    if(_type STREQUAL "SHARED_LIBRARY")
      target_link_options(${target} PRIVATE -Wl,--exclude-libs,ALL)
    endif()
  endif()
endfunction()

if(KESTRANE_SANITIZE AND NOT WIN32)
  string(REPLACE ";" "," _san "${KESTRANE_SANITIZE}")
  add_compile_options(-fsanitize=${_san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_san})
endif()

if(WIN32)
  # The shipped DLL and the Windows test programs carry their runtime inside: no libgcc,
  # libstdc++ or winpthread DLLs next to them.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()
