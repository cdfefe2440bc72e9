# Cross-build for Windows with MinGW-w64, for the triplet's processor HDA_MINGW_CPU (i686 or
# x86_64), set by the two toolchain files beside this one. The win32 thread model keeps the
# runtime free of functions that Windows 2000 lacks.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${HDA_MINGW_CPU})
set(CMAKE_C_COMPILER ${HDA_MINGW_CPU}-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER ${HDA_MINGW_CPU}-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER ${HDA_MINGW_CPU}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${HDA_MINGW_CPU}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
