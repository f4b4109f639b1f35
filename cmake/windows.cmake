# The Windows build (with cmake/mingw-w64-x86_64.cmake as the toolchain file).
#
# What it makes, all in BUILD/bin:
#   trevlin.exe           the program (GUI subsystem; icon and version as resources)
#   trevlin-ini.exe       the settings tool (console)
#   trevlin-player.dll    the internal player's module, loaded when the player first opens
#   libtrevlin_platform.dll, libtrevlin_settings.dll, libtrevlin_widgets.dll
#                         the program's services, shared by the program and the module
# Beside them at run time: Qt's DLLs and plugins and the mingw runtime
# (TREVLIN_WINDOWS_RUNTIME_DIRS lists the folders they come from).
#
# Programs of this build that run during the build or in the tests run under
# Wine through scripts/wine-run (CMAKE_CROSSCOMPILING_EMULATOR).
enable_language(RC)

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# On Linux the program hands these services to the player's module from its own
# symbol table; a Windows module cannot take symbols from the program that
# loads it, so they are DLLs that both load (one copy of their state: the
# settings folder, the active form).
set(TREVLIN_SHARED_LIBRARIES trevlin_platform trevlin_settings trevlin_widgets)

add_compile_definitions(NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601)

# The folders the program's DLLs come from: Qt's and the compiler's runtime.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
                OUTPUT_VARIABLE _libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libwinpthread-1.dll
                OUTPUT_VARIABLE _winpthread OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(_libstdcxx_dir "${_libstdcxx}" DIRECTORY)
get_filename_component(_winpthread_dir "${_winpthread}" DIRECTORY)
if(NOT EXISTS "${_winpthread}" AND EXISTS /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll)
  set(_winpthread_dir /usr/x86_64-w64-mingw32/lib)
endif()
set(TREVLIN_WINDOWS_RUNTIME_DIRS ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS} ${_libstdcxx_dir} ${_winpthread_dir}
    CACHE INTERNAL "Folders of the DLLs the Windows program needs")

if(CMAKE_CROSSCOMPILING AND NOT DEFINED CACHE{CMAKE_CROSSCOMPILING_EMULATOR})
  set(_emulator ${PROJECT_SOURCE_DIR}/scripts/wine-run --prefix ${CMAKE_BINARY_DIR}/wine-prefix)
  foreach(dir IN LISTS TREVLIN_WINDOWS_RUNTIME_DIRS)
    list(APPEND _emulator --path ${dir})
  endforeach()
  list(APPEND _emulator --path ${CMAKE_BINARY_DIR}/bin --)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${_emulator}" CACHE STRING "How this build's Windows programs are run here")
endif()
