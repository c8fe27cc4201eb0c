# Cross build of the whole program for 64-bit Windows against the Qt that
# scripts/windows-qt.sh builds (its install folder given as
# VELMORA_QT_WINDOWS_PREFIX), with Debian's Qt serving as the host tools.
# Qt's DLLs use mingw's shared C and C++ runtime, so the program does too
# (one C++ runtime in the process); the DLLs go into the package beside it.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake)
set(CMAKE_EXE_LINKER_FLAGS_INIT "")

list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VELMORA_QT_WINDOWS_PREFIX)
if(NOT VELMORA_QT_WINDOWS_PREFIX)
    message(FATAL_ERROR "Set VELMORA_QT_WINDOWS_PREFIX to the folder scripts/windows-qt.sh prints")
endif()
list(APPEND CMAKE_FIND_ROOT_PATH "${VELMORA_QT_WINDOWS_PREFIX}")
set(QT_HOST_PATH /usr CACHE PATH "")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")
