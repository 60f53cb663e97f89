# SPDX-License-Identifier: MIT
# Cross build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix, the
# variant with C++ threads). The executables are linked statically, C++ runtime included, so a
# program folder needs no DLLs of the toolchain. Tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PAVENDEL_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PAVENDEL_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PAVENDEL_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${PAVENDEL_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${PAVENDEL_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# CTest runs the test executables, and GoogleTest's discovery lists their cases, through Wine.
find_program(PAVENDEL_WINE wine)
if(PAVENDEL_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${PAVENDEL_WINE})
endif()
