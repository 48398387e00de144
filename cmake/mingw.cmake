# What both mingw-w64 cross toolchains share; mingw-i686.cmake and
# mingw-x86_64.cmake set CMAKE_SYSTEM_PROCESSOR and TOOLCHAIN_PREFIX first.
# The posix thread model's compilers, because the GoogleTest programs need
# std::mutex; the shipped programs are built by the win32 thread model's
# compilers instead (see cmake/win32-thread-model.sh), so they carry no
# threading runtime.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER   ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
find_program(TAVRI_WIDL ${TOOLCHAIN_PREFIX}-widl REQUIRED)
