# The project's MinGW cross-build (HDA_MINGW_TOOLCHAIN: i686, or the x86-64 twin) with the
# posix thread model, which GoogleTest needs for std::mutex. Only the test programs use it;
# hdasetup.exe stays on the win32 model.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES HDA_MINGW_TOOLCHAIN)
include(${HDA_MINGW_TOOLCHAIN})
string(REGEX REPLACE "-win32$" "-posix" CMAKE_C_COMPILER ${CMAKE_C_COMPILER})
string(REGEX REPLACE "-win32$" "-posix" CMAKE_CXX_COMPILER ${CMAKE_CXX_COMPILER})
