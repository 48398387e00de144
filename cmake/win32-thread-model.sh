#!/bin/sh
# Runs a compile or link command of the toolchain's posix thread model
# compiler with its win32 thread model twin instead (same GCC, same flags).
# CMake cannot give one target another compiler, but it puts a launcher in
# front of a target's compile and link commands: this is that launcher for
# the shipped programs and the libraries they are made of. Their C++ runtime
# then needs no threading library (winpthread), which is larger and imports
# functions that Windows XP lacks. The libraries stay linkable into the
# posix-model test programs: the win32 model's headers declare a subset.
compiler=$1
shift
case "$compiler" in
  *-posix) exec "${compiler%-posix}-win32" "$@" ;;
  *) echo "win32-thread-model.sh: not a posix thread model compiler: $compiler" >&2; exit 2 ;;
esac
