# Cross build for Windows x64 with MinGW-w64; the tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_zet_triple x86_64-w64-mingw32)
# The "posix" thread model gives std::thread and std::mutex; the default one does not.
find_program(CMAKE_C_COMPILER NAMES ${_zet_triple}-gcc-posix ${_zet_triple}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${_zet_triple}-g++-posix ${_zet_triple}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${_zet_triple}-windres windres REQUIRED)

execute_process(COMMAND ${CMAKE_CXX_COMPILER} -dumpmachine
                OUTPUT_VARIABLE _zet_machine OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT _zet_machine MATCHES "mingw32|windows")
  message(FATAL_ERROR "${CMAKE_CXX_COMPILER} builds for '${_zet_machine}', not for Windows. "
                      "Install MinGW-w64 (scripts/setup) or point CMAKE_CXX_COMPILER at it.")
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${_zet_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs every .exe through Wine. Debian keeps the loader off PATH.
find_program(ZET_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(ZET_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZET_WINE})
else()
  message(WARNING "Wine not found: the Windows tests can be built but not run (scripts/setup installs it).")
endif()
