# Cross-compiling the Windows program with mingw-w64 (x86_64, posix threads, static runtime).
#   cmake --preset mingw
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LITVOROT_MINGW_TRIPLE x86_64-w64-mingw32)
# The posix-thread compilers: GoogleTest needs std::mutex and std::thread.
set(CMAKE_C_COMPILER ${LITVOROT_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LITVOROT_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${LITVOROT_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${LITVOROT_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Without -static the program needs libstdc++-6.dll and libgcc_s_seh-1.dll beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
