# The 32-bit Windows console program, cross-built with MinGW-w64; its tests run under 32-bit Wine
# (Debian's wine32, and libwine:i386 for its DLLs). Where the kernel runs no 32-bit programs
# (IA-32 emulation off), qemu-i386 (Debian's qemu-user) runs Wine, started through Wine's
# preloader (Debian's wine32-preloader), which sets its memory aside in a few calls: without it
# Wine probes for that memory 64 KiB at a time, which under qemu takes well over a minute a run.
# usage: cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
set(wine /usr/lib/wine/wine)
set(wine_dlls /usr/lib/i386-linux-gnu/wine/i386-windows)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
if(CMAKE_CROSSCOMPILING_EMULATOR)
  execute_process(COMMAND ${wine} --version RESULT_VARIABLE native OUTPUT_QUIET ERROR_QUIET)
  if(NOT native EQUAL 0)
    find_program(qemu_i386 qemu-i386)
    set(preloader /usr/lib/wine/wine-preloader)
    if(qemu_i386 AND EXISTS ${preloader})
      # WINELOADERNOEXEC stops Wine from starting itself again, which the kernel would refuse.
      set(CMAKE_CROSSCOMPILING_EMULATOR
          env WINEDEBUG=-all WINELOADERNOEXEC=1 ${qemu_i386} ${preloader} ${wine})
    else()
      unset(CMAKE_CROSSCOMPILING_EMULATOR)
      set(no_emulator "this kernel runs no 32-bit programs, and qemu-i386 (Debian's qemu-user) or ${preloader} (wine32-preloader) to run 32-bit Wine is missing")
    endif()
  endif()
endif()
