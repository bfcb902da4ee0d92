# Cross build for Windows (x86_64) with mingw-w64.  The posix-thread compiler
# variant is used: the win32-thread one has no std::mutex, which GoogleTest
# needs.  The runtime is linked statically, so the programs run with no DLLs
# beside them; CTest runs them through Wine (tools/wine-run).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KX_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KX_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)
