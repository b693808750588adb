# What both Windows builds share: MinGW-w64 cross compilers named after the processor, and
# Wine, where it is installed, to run the tests.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-gcc)
set(CMAKE_CXX_COMPILER ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
if(EXISTS ${wine})
  set(CMAKE_CROSSCOMPILING_EMULATOR env WINEDEBUG=-all ${wine})
else()
  set(no_emulator "${wine} is not installed (Debian's wine64, or wine32 for the 32-bit program)")
endif()
