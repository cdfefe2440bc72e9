# The project's MinGW i686 cross-build with the posix thread model, which GoogleTest needs
# for std::mutex. Only the test programs use it; hdasetup.exe stays on the win32 model.
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/mingw-i686.cmake)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
