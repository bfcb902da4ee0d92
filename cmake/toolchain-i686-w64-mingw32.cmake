# Cross build for Windows (i686) with mingw-w64.  The posix-thread compiler
# variant is used: the win32-thread one has no std::mutex, which GoogleTest
# needs.  The runtime is linked statically, so the programs run with no DLLs
# beside them; CTest runs them through Wine (tools/wine-run).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KX_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER ${KX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KX_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# SSE2 arithmetic as on x86_64: the x87 unit keeps 80 bits in registers
# when optimising, and drawing that rounds near whole pixels then lands a
# pixel off depending on what the compiler spilled.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)
