# Cross toolchain: 64-bit Windows binaries with mingw-w64, the same sources as
# cmake/mingw-i686.cmake. Nothing built with it ships: on a machine whose
# kernel runs no 32-bit programs, the Windows-side tests run these builds in
# a 64-bit Wine prefix instead (scripts/wine-harness.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
find_program(TAVRI_WIDL ${TOOLCHAIN_PREFIX}-widl REQUIRED)
