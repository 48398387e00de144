# Cross toolchain: 64-bit Windows builds of the same sources. Nothing built
# with it ships: on a machine whose kernel runs no 32-bit programs, the
# Windows-side tests run these builds in a 64-bit Wine prefix instead
# (scripts/wine-harness.sh).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
