# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (posix threads).
#
#   cmake -S . -B build-windows -G Ninja \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# Qt for Windows is looked for where TREVLIN_WINDOWS_QT (environment or cache
# variable) points, else in the cache that scripts/build-windows-qt fills: the
# build of the script's present options, else any complete one
# (/var/cache/trevlin/qt-6.4.2-x86_64-w64-mingw32-*). Qt's own build uses this file too, as
# the plain compiler set-up, with TREVLIN_TOOLCHAIN_ONLY set.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   /usr/bin/${_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER /usr/bin/${_mingw}-g++-posix)
set(CMAKE_RC_COMPILER  /usr/bin/${_mingw}-windres)
set(CMAKE_AR           /usr/bin/${_mingw}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB       /usr/bin/${_mingw}-gcc-ranlib-posix CACHE FILEPATH "")
set(CMAKE_STRIP        /usr/bin/${_mingw}-strip CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(NOT TREVLIN_TOOLCHAIN_ONLY AND NOT DEFINED ENV{TREVLIN_TOOLCHAIN_ONLY})
  if(NOT TREVLIN_WINDOWS_QT AND DEFINED ENV{TREVLIN_WINDOWS_QT})
    set(TREVLIN_WINDOWS_QT "$ENV{TREVLIN_WINDOWS_QT}")
  endif()
  # The build of this tree's Qt options, then any complete one.
  if(NOT TREVLIN_WINDOWS_QT AND EXISTS ${CMAKE_CURRENT_LIST_DIR}/../scripts/build-windows-qt)
    execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/../scripts/build-windows-qt --print
                    OUTPUT_VARIABLE _qt_prefix OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(_qt_prefix AND EXISTS "${_qt_prefix}/.complete")
      set(TREVLIN_WINDOWS_QT "${_qt_prefix}")
    endif()
  endif()
  if(NOT TREVLIN_WINDOWS_QT)
    file(GLOB _qt_builds LIST_DIRECTORIES true
         /var/cache/trevlin/qt-6.4.2-${_mingw}-*/.complete)
    if(_qt_builds)
      list(SORT _qt_builds)
      list(GET _qt_builds -1 _complete)
      get_filename_component(TREVLIN_WINDOWS_QT "${_complete}" DIRECTORY)
    endif()
  endif()
  if(TREVLIN_WINDOWS_QT)
    set(TREVLIN_WINDOWS_QT "${TREVLIN_WINDOWS_QT}" CACHE PATH "Qt for Windows (scripts/build-windows-qt)")
    list(APPEND CMAKE_FIND_ROOT_PATH "${TREVLIN_WINDOWS_QT}")
    list(APPEND CMAKE_PREFIX_PATH "${TREVLIN_WINDOWS_QT}")
    # Qt's tools (moc, rcc, uic) run on this machine: the host's Qt of the same version.
    set(QT_HOST_PATH /usr CACHE PATH "")
    set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")
  endif()
endif()
