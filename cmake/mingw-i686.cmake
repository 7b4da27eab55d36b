# Cross build of the plug-in for 32-bit Windows with Debian's mingw-w64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
# The compilers of the POSIX thread model: GoogleTest needs std::mutex, which
# the win32 model of Debian's GCC 12 does not have. Everything is linked
# statically, so no thread library DLL comes along.
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# M_PI and its friends, which glibc gives by default, come from <cmath> on
# Windows only when asked for. Floating point is computed in SSE2 registers,
# not on the x87 stack, so that the module's numbers are IEEE single and
# double results whatever precision the host has set the x87 unit to (3D
# hosts often lower it to 24 bits); hosts built by other compilers keep the
# stack 4-byte aligned, hence -mstackrealign.
set(CMAKE_CXX_FLAGS_INIT "-D_USE_MATH_DEFINES -msse2 -mfpmath=sse -mstackrealign")

# Programs carry the compiler's runtime inside, so that they import system
# DLLs only and run from any folder (and under Wine) as they are.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest runs the Windows programs under Wine when it is installed.
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR AND EXISTS /usr/bin/wine)
  set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/wine)
endif()
