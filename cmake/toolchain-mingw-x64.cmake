# Cross-compiles the Windows x64 build with Debian's mingw-w64 and runs its test programs
# under 64-bit Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

# The posix threading variant: its runtime provides std::thread and std::mutex, which the
# win32 variant lacks.
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# Headers and libraries come from the mingw sysroot only, so nothing of the host (such as
# Debian's native jsoncpp) can be picked up by mistake; programs are the host's.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything is linked statically, so the program, the stand-in DLLs and the test programs
# need no mingw runtime DLL (libstdc++, libgcc, winpthread) beside them: a user copies the
# executable alone, and Wine finds nothing missing.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest starts every test program through this wrapper, which runs it in the build's own Wine
# prefix (created on first use) with Wine's debug output silenced.
get_filename_component(_vorn_wine_run ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${_vorn_wine_run} --prefix ${CMAKE_BINARY_DIR}/wineprefix)
