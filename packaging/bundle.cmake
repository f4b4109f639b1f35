# Lays out the disc's program folder: the program with everything it needs to
# run where neither Qt nor GStreamer is installed.
#
#   cmake -DPROGRAM=... -DOUTPUT=... [-DMODULES=a.so;b.so] ... -P bundle.cmake
#
#   OUTPUT/trevlin                      RUNPATH $ORIGIN/.trevlin/lib
#   OUTPUT/<module>.so                  modules the program loads, same RUNPATH
#   OUTPUT/qt.conf                      Qt's prefix is .trevlin
#   OUTPUT/autorun.sh, trevlin.ico, autorun.inf, .xdg-volume-info
#   OUTPUT/.trevlin/lib/                the shared libraries (RUNPATH $ORIGIN)
#   OUTPUT/.trevlin/plugins/<type>/     Qt's plugins
#   OUTPUT/.trevlin/gstreamer-1.0/      GStreamer's plugins
#   OUTPUT/.trevlin/gstreamer-1.0.registry  what they hold, made here
#   OUTPUT/.trevlin/licenses/           each Debian package's copyright file, and
#                                       the disc's own FFmpeg's (ffmpeg/)
#
# Variables: PROGRAM, OUTPUT, MODULES (extra ELF files to carry beside the
# program; their dependencies are carried too), STAND_INS (libraries carried
# in place of Debian's of the same name, whose dependencies are then not
# carried: stand-ins/), QT_PLUGINS_DIR,
# GST_PLUGINS_DIR, GST_INSPECT (gst-inspect-1.0), PACKAGING_DIR (system-libraries.txt,
# gstreamer-plugins.txt, disc/), PATCHELF, OBJDUMP, STRIP, GLIBC_FLOOR (the C
# library autorun.sh asks for), and FFMPEG_BUILDER
# (scripts/build-ffmpeg: the disc carries the FFmpeg it builds, or takes from
# its cache, in place of Debian's; without it, Debian's is carried).
#
# The folder is made beside OUTPUT and takes OUTPUT's place only when complete.
cmake_minimum_required(VERSION 3.25)

foreach(var PROGRAM OUTPUT QT_PLUGINS_DIR GST_PLUGINS_DIR GST_INSPECT PACKAGING_DIR PATCHELF OBJDUMP STRIP)
  if(NOT ${var})
    message(FATAL_ERROR "bundle: ${var} is not set")
  endif()
endforeach()

# Qt's plugins the program uses: X11, its GL integrations, the picture
# formats covers come in (BMP and PNG are built into Qt), compose keys, and
# the GStreamer media backend.
set(qt_plugins
  platforms/libqxcb.so
  xcbglintegrations/libqxcb-glx-integration.so
  xcbglintegrations/libqxcb-egl-integration.so
  imageformats/libqjpeg.so
  imageformats/libqgif.so
  imageformats/libqico.so
  platforminputcontexts/libcomposeplatforminputcontextplugin.so
  multimedia/libgstreamermediaplugin.so)

# Reads a list file: one entry a line, '#' starts a comment.
function(read_list file out)
  file(STRINGS "${file}" lines)
  set(entries)
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(line AND NOT line MATCHES "^#")
      list(APPEND entries "${line}")
    endif()
  endforeach()
  set(${out} "${entries}" PARENT_SCOPE)
endfunction()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    list(JOIN ARGN " " line)
    message(FATAL_ERROR "bundle: ${line} failed: ${err}${out}")
  endif()
endfunction()

# Copies the file `source` points to (symbolic links followed) to `target`.
function(copy_real source target)
  file(REAL_PATH "${source}" real)
  get_filename_component(dir "${target}" DIRECTORY)
  file(MAKE_DIRECTORY "${dir}")
  file(COPY_FILE "${real}" "${target}")
endfunction()

read_list("${PACKAGING_DIR}/system-libraries.txt" system_libraries)
read_list("${PACKAGING_DIR}/gstreamer-plugins.txt" gst_plugins)

# The disc's own FFmpeg: the same version and library names as Debian's, with
# only the decoders a disc plays. Debian's libraries of those names are not
# looked at; the disc's are carried instead, with what they need.
set(ffmpeg_dir)
set(ffmpeg_libraries)
set(ffmpeg_names)
if(FFMPEG_BUILDER)
  execute_process(COMMAND "${FFMPEG_BUILDER}" RESULT_VARIABLE rc OUTPUT_VARIABLE out)
  string(STRIP "${out}" out)
  string(REGEX REPLACE ".*\n" "" ffmpeg_dir "${out}")
  if(NOT rc EQUAL 0 OR NOT EXISTS "${ffmpeg_dir}/.complete")
    message(FATAL_ERROR "bundle: the disc's FFmpeg could not be built (${FFMPEG_BUILDER}, see above)")
  endif()
  file(GLOB ffmpeg_files "${ffmpeg_dir}/lib/lib*.so.*")
  foreach(file IN LISTS ffmpeg_files)
    get_filename_component(name "${file}" NAME)
    # The name programs ask for: libavcodec.so.59, not libavcodec.so.59.37.100.
    if(name MATCHES "^(lib[a-z]+\\.so\\.[0-9]+)$")
      list(APPEND ffmpeg_libraries "${file}")
      list(APPEND ffmpeg_names "${name}")
      string(REPLACE "." "\\." pattern "${name}")
      list(APPEND system_libraries "^${pattern}$")
    endif()
  endforeach()
  if(NOT ffmpeg_libraries)
    message(FATAL_ERROR "bundle: ${ffmpeg_dir}/lib holds no FFmpeg libraries")
  endif()
endif()

# Stand-ins: Debian's libraries of these names are not looked at.
set(stand_in_names)
foreach(file IN LISTS STAND_INS)
  get_filename_component(name "${file}" NAME)
  list(APPEND stand_in_names "${name}")
  string(REPLACE "." "\\." pattern "${name}")
  list(APPEND system_libraries "^${pattern}$")
endforeach()

set(work "${OUTPUT}.partial")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}/.trevlin/lib")
set(trevlin "${work}/.trevlin")

# Every ELF file carried, with the RUNPATH it gets (relative to itself).
set(elf_files)
set(elf_runpaths)
macro(carry file runpath)
  list(APPEND elf_files "${file}")
  list(APPEND elf_runpaths "${runpath}")
endmacro()

# The program and its modules, beside each other.
copy_real("${PROGRAM}" "${work}/trevlin")
carry("${work}/trevlin" "$ORIGIN/.trevlin/lib")
set(modules)
foreach(module IN LISTS MODULES)
  if(NOT EXISTS "${module}")
    message(FATAL_ERROR "bundle: module ${module} does not exist")
  endif()
  get_filename_component(name "${module}" NAME)
  copy_real("${module}" "${work}/${name}")
  carry("${work}/${name}" "$ORIGIN/.trevlin/lib")
  list(APPEND modules "${module}")
endforeach()

set(plugin_sources)
foreach(plugin IN LISTS qt_plugins)
  if(NOT EXISTS "${QT_PLUGINS_DIR}/${plugin}")
    message(FATAL_ERROR "bundle: Qt plugin ${QT_PLUGINS_DIR}/${plugin} is missing")
  endif()
  copy_real("${QT_PLUGINS_DIR}/${plugin}" "${trevlin}/plugins/${plugin}")
  carry("${trevlin}/plugins/${plugin}" "$ORIGIN/../../lib")
  list(APPEND plugin_sources "${QT_PLUGINS_DIR}/${plugin}")
endforeach()
foreach(plugin IN LISTS gst_plugins)
  if(NOT EXISTS "${GST_PLUGINS_DIR}/${plugin}")
    message(FATAL_ERROR "bundle: GStreamer plugin ${GST_PLUGINS_DIR}/${plugin} is missing")
  endif()
  copy_real("${GST_PLUGINS_DIR}/${plugin}" "${trevlin}/gstreamer-1.0/${plugin}")
  carry("${trevlin}/gstreamer-1.0/${plugin}" "$ORIGIN/../lib")
  list(APPEND plugin_sources "${GST_PLUGINS_DIR}/${plugin}")
endforeach()

# Walk the dependencies of all of them; what the system provides is not
# followed. A module is walked as a library: the program need not link it.
set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM linux+elf)
set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL objdump)
set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND "${OBJDUMP}")
file(GET_RUNTIME_DEPENDENCIES
  RESOLVED_DEPENDENCIES_VAR resolved
  UNRESOLVED_DEPENDENCIES_VAR unresolved
  CONFLICTING_DEPENDENCIES_PREFIX conflict
  EXECUTABLES "${PROGRAM}"
  LIBRARIES ${modules} ${ffmpeg_libraries}
  MODULES ${plugin_sources}
  PRE_EXCLUDE_REGEXES ${system_libraries})
if(unresolved)
  list(JOIN unresolved ", " names)
  message(FATAL_ERROR "bundle: these libraries were not found: ${names}")
endif()
# On a merged /usr the same library is found as /lib/... and /usr/lib/...:
# one copy is enough.
foreach(name IN LISTS conflict_FILENAMES)
  list(GET conflict_${name} 0 first)
  list(APPEND resolved "${first}")
endforeach()

set(libraries)
foreach(library IN LISTS ffmpeg_libraries STAND_INS)
  get_filename_component(name "${library}" NAME)
  copy_real("${library}" "${trevlin}/lib/${name}")
  carry("${trevlin}/lib/${name}" "$ORIGIN")
endforeach()
foreach(library IN LISTS resolved)
  get_filename_component(name "${library}" NAME)
  if(NOT EXISTS "${trevlin}/lib/${name}")
    copy_real("${library}" "${trevlin}/lib/${name}")
    carry("${trevlin}/lib/${name}" "$ORIGIN")
    list(APPEND libraries "${library}")
  endif()
endforeach()

# Only the program's own files carry symbols worth dropping; Debian's are
# stripped already.
run("${STRIP}" --strip-unneeded "${work}/trevlin")
foreach(module IN LISTS modules)
  get_filename_component(name "${module}" NAME)
  run("${STRIP}" --strip-unneeded "${work}/${name}")
endforeach()

list(LENGTH elf_files count)
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
  list(GET elf_files ${i} file)
  list(GET elf_runpaths ${i} runpath)
  run("${PATCHELF}" --set-rpath "${runpath}" "${file}")
  file(CHMOD "${file}" FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                         WORLD_READ WORLD_EXECUTE)
endforeach()

# GStreamer's registry of the disc's plugins (what each holds), made as the
# program will name them: through the .trevlin folder held open at
# descriptor 1000 (src/platform/discbundle.cpp holds it there too), a name
# that is the same wherever the disc is mounted. The program then need not
# load every plugin, with all it links, before its first movie plays. The
# plugins are final here: the registry keeps each one's size and time.
set(registry "${trevlin}/gstreamer-1.0.registry")
execute_process(
  COMMAND bash -c [=[exec 1000<"$1" || exit 1
    exec env -i LD_LIBRARY_PATH=/proc/self/fd/1000/lib GST_PLUGIN_SYSTEM_PATH_1_0=/proc/self/fd/1000/gstreamer-1.0 \
      GST_REGISTRY_1_0="$2" GST_REGISTRY_FORK=no "$3"]=] bash "${trevlin}" "${registry}" "${GST_INSPECT}"
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
list(LENGTH gst_plugins plugin_count)
if(NOT rc EQUAL 0 OR NOT EXISTS "${registry}" OR out MATCHES "Blacklisted"
   OR NOT out MATCHES "Total count: ([0-9]+) plugins")
  message(FATAL_ERROR "bundle: GStreamer's registry of the disc's plugins could not be made: ${err}${out}")
endif()
# GStreamer's own elements count as one plugin more.
math(EXPR expected "${plugin_count} + 1")
if(NOT CMAKE_MATCH_1 EQUAL expected)
  message(FATAL_ERROR "bundle: GStreamer found ${CMAKE_MATCH_1} plugins on the disc, not ${expected}: ${err}${out}")
endif()
file(CHMOD "${registry}" FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# Qt finds its plugins through qt.conf beside the program; the program itself
# also points Qt there when it was started through the dynamic loader.
file(WRITE "${work}/qt.conf" "[Paths]\nPrefix=.trevlin\nPlugins=plugins\n")

# What the desktops look for at a disc's root. autorun.inf and
# .xdg-volume-info carry the disc's name; the image maker writes them again
# with the title of the disc it lays out.
file(COPY "${PACKAGING_DIR}/disc/trevlin.ico" DESTINATION "${work}")
# autorun.sh checks the C library against the floor before starting.
if(NOT GLIBC_FLOOR MATCHES "^[0-9]+\\.[0-9]+$")
  message(FATAL_ERROR "bundle: GLIBC_FLOOR is not set (e.g. 2.35)")
endif()
file(READ "${PACKAGING_DIR}/disc/autorun.sh" autorun)
string(REPLACE "@GLIBC_FLOOR@" "${GLIBC_FLOOR}" autorun "${autorun}")
file(WRITE "${work}/autorun.sh" "${autorun}")
file(CHMOD "${work}/autorun.sh" FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                                 WORLD_READ WORLD_EXECUTE)
file(WRITE "${work}/autorun.inf" "[autorun]\r\nlabel=Trevlin\r\nicon=trevlin.ico\r\n")
file(WRITE "${work}/.xdg-volume-info" "[Volume Info]\nName=Trevlin\nIconFile=trevlin.ico\n")

# Licences: the copyright file of every Debian package a carried file comes
# from, and which files those are.
set(debian_files ${libraries} ${plugin_sources})
set(queries)
foreach(file IN LISTS debian_files)
  file(REAL_PATH "${file}" real)
  list(APPEND queries "${real}")
  # dpkg may know the file under /lib rather than /usr/lib.
  if(real MATCHES "^/usr(/lib.*)")
    list(APPEND queries "${CMAKE_MATCH_1}")
  endif()
endforeach()
execute_process(COMMAND dpkg-query -S ${queries} OUTPUT_VARIABLE owners ERROR_QUIET)
string(REPLACE "\n" ";" owners "${owners}")
set(packages)
set(owned)
foreach(line IN LISTS owners)
  if(line MATCHES "^([^:,]+)(:[a-z0-9]+)?: (.+)$")
    list(APPEND packages "${CMAKE_MATCH_1}")
    list(APPEND owned "${CMAKE_MATCH_3}")
  endif()
endforeach()
set(orphans)
foreach(file IN LISTS debian_files)
  file(REAL_PATH "${file}" real)
  string(REGEX REPLACE "^/usr(/lib)" "\\1" alternative "${real}")
  if(NOT real IN_LIST owned AND NOT alternative IN_LIST owned)
    list(APPEND orphans "${file}")
  endif()
endforeach()
if(orphans)
  list(JOIN orphans ", " names)
  message(FATAL_ERROR "bundle: no Debian package owns ${names}; their licences cannot be carried")
endif()
list(REMOVE_DUPLICATES packages)
list(SORT packages)
set(index "The libraries and plugins in this folder come from these Debian packages\n"
          "(bookworm, amd64). Each package's copyright and licence terms are in\n"
          "<package>/copyright; its source is available from Debian as\n"
          "`apt-get source <package>=<version>`.\n\n")
foreach(package IN LISTS packages)
  execute_process(COMMAND dpkg-query -W -f=\${Version} ${package} OUTPUT_VARIABLE version)
  string(APPEND index "${package} ${version}\n")
  set(copyright "/usr/share/doc/${package}/copyright")
  if(NOT EXISTS "${copyright}")
    message(FATAL_ERROR "bundle: ${copyright} is missing")
  endif()
  copy_real("${copyright}" "${trevlin}/licenses/${package}/copyright")
endforeach()
if(ffmpeg_dir)
  file(READ "${ffmpeg_dir}/share/trevlin/VERSION" ffmpeg_version)
  file(READ "${ffmpeg_dir}/share/trevlin/LICENSE" ffmpeg_license)
  string(STRIP "${ffmpeg_version}" ffmpeg_version)
  string(REGEX REPLACE "^ffmpeg " "" ffmpeg_version "${ffmpeg_version}")
  string(STRIP "${ffmpeg_license}" ffmpeg_license)
  list(JOIN ffmpeg_names ", " names)
  string(APPEND index "\n${names} are not Debian's: they are built for the disc from Debian's\n"
                      "source package (${ffmpeg_version}, `apt-get source ffmpeg=${ffmpeg_version}`\n"
                      "gives it) with only the decoders and parsers the disc plays. Their licence is\n"
                      "${ffmpeg_license} (ffmpeg/COPYING.LGPLv2.1); ffmpeg/copyright is the\n"
                      "package's copyright file and ffmpeg/CONFIGURE the options they were built with.\n")
  foreach(file copyright COPYING.LGPLv2.1 CONFIGURE)
    copy_real("${ffmpeg_dir}/share/trevlin/${file}" "${trevlin}/licenses/ffmpeg/${file}")
  endforeach()
endif()
if(stand_in_names)
  list(JOIN stand_in_names ", " names)
  string(APPEND index "\n${names} are not the libraries of those names: they are this program's\n"
                      "own stand-ins for them, carried because Qt and PulseAudio link them for\n"
                      "what this program never does (Kerberos sign-in, sound files of\n"
                      "PulseAudio's own tools). No code of those libraries is on the disc.\n")
endif()
file(WRITE "${trevlin}/licenses/PACKAGES" ${index})

file(REMOVE_RECURSE "${OUTPUT}")
file(RENAME "${work}" "${OUTPUT}")
list(LENGTH libraries library_count)
list(LENGTH packages package_count)
message(STATUS "bundle: ${OUTPUT}: ${library_count} libraries from ${package_count} Debian packages")
