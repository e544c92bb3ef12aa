# Warnings are errors on every compiler we build with.
function(verbwright_strict target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX /permissive- /utf-8)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                             -Wold-style-cast -Wcast-align -Woverloaded-virtual
                                             -Wnull-dereference -Werror)
  endif()
  # The exe users download is the same wherever it was built: no build folder in it. Only there:
  # coverage, the sanitizers and debuggers need the sources' real paths.
  if(MINGW AND CMAKE_CROSSCOMPILING)
    target_compile_options(${target} PRIVATE -ffile-prefix-map=${PROJECT_SOURCE_DIR}/=)
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

# A Windows program that runs on a bare system: no MinGW runtime DLLs (MSVC: see
# CMAKE_MSVC_RUNTIME_LIBRARY). A release build drops the DWARF debug information the static
# runtime brings along, which no Windows debugger reads, and the link time stamp, so that the
# same sources give the same exe byte for byte, wherever they are built.
function(verbwright_static_runtime target)
  if(MINGW)
    target_link_options(${target} PRIVATE -static $<$<CONFIG:Release,MinSizeRel>:-s>
                        -Wl,--no-insert-timestamp)
  endif()
endfunction()

# A target whose .rc embeds its own manifest: MSVC's linker must not embed a default one as well
# (a duplicate resource, or ours replaced by an asInvoker one).
function(verbwright_own_manifest target)
  if(MSVC)
    target_link_options(${target} PRIVATE /MANIFEST:NO)
  endif()
endfunction()

# A Windows program of the project: Unicode, wWinMain or wmain, warnings as errors and the
# runtime linked in. The product, the test programs, the end-to-end client and the benchmarks all
# take their settings from here.
function(verbwright_windows_program target)
  target_compile_definitions(${target} PRIVATE UNICODE _UNICODE)
  verbwright_strict(${target})
  verbwright_static_runtime(${target})
  if(MINGW)
    target_link_options(${target} PRIVATE -municode)
  endif()
endfunction()
