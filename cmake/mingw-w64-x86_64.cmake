# Cross-compiles the Windows programs with MinGW-w64 (x86_64), statically linked on the msvcrt runtime.
# The -posix compilers: GCC 12's -win32 thread model has no std::mutex, which GoogleTest needs; its winpthreads
# runtime is linked in statically (see -static in the top-level CMakeLists.txt), so no DLL ships beside the program.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Wine's 64-bit loader by name: the `wine` launcher picks the 32-bit one where wine32 is installed (see the script).
get_filename_component(KELVARO_WINE64 ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine64.sh ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${KELVARO_WINE64})
