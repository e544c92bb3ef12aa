# Warnings are errors on every compiler we build with.
function(verbwright_strict target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX /permissive- /utf-8)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                             -Wold-style-cast -Wcast-align -Woverloaded-virtual
                                             -Wnull-dereference -Werror)
  endif()
  if(VERBWRIGHT_COVERAGE AND NOT MSVC)
    target_compile_options(${target} PRIVATE --coverage -O0)
    target_link_options(${target} PRIVATE --coverage)
  endif()
  if(VERBWRIGHT_SANITIZE AND NOT MSVC)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                             -fno-sanitize-recover=all)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()

# A Windows program that runs on a bare system: no MinGW runtime DLLs. A release build drops the
# DWARF debug information the static runtime brings along, which no Windows debugger reads.
function(verbwright_static_runtime target)
  if(MINGW)
    target_link_options(${target} PRIVATE -static $<$<CONFIG:Release,MinSizeRel>:-s>)
  endif()
endfunction()
