# The x86-64 twin of the program, for hosts whose kernel runs no 32-bit programs and so no
# 32-bit Wine. Never shipped.
set(HDA_MINGW_CPU x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
