# Cross-compiles for 64-bit Windows with the posix thread model compilers
# (GoogleTest needs std::mutex, which the win32 model of GCC 12 lacks).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
