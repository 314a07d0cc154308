# Cross-compiles the Windows x86 build with Debian's i686 mingw-w64 and runs its test programs
# under 32-bit Wine (Debian's wine32). Many reader driver libraries exist only as 32-bit DLLs,
# so this is the build many counters run, with the 32-bit calling conventions.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

# The posix threading variant: its runtime provides std::thread and std::mutex, which the
# win32 variant lacks.
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

# Headers and libraries come from the mingw sysroot only, so nothing of the host (such as
# Debian's native jsoncpp) can be picked up by mistake; programs are the host's.
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything is linked statically, so the program, the stand-in DLLs and the test programs
# need no mingw runtime DLL (libstdc++, libgcc, winpthread) beside them.
#
# DLLs export __stdcall functions under their plain names, as 32-bit Windows DLLs do and as
# GetProcAddress callers ask for them, rather than mingw's decorated "Name@8".
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--kill-at")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--kill-at")

# ctest starts every test program through this wrapper, in the build's own 32-bit Wine prefix
# (created on first use) with Wine's debug output silenced.
get_filename_component(_vorn_wine_run ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${_vorn_wine_run} --prefix ${CMAKE_BINARY_DIR}/wineprefix
    --arch win32)
