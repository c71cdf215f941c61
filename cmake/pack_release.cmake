# Packs a release archive (cmake -P), from a built tree:
#
#   -DKIND=win64 -DPROGRAMS=<folder with zetveltran.exe and zetveltran-cli.exe>
#       zetveltran-<version>-win64.zip: the two programs, the English language
#       file beside them, the German one in de/, README.txt and LICENSE.txt
#       with CR LF line ends. No folder around them: the zip is unpacked into
#       a folder of the user's choice.
#   -DKIND=linux -DINSTALLED=<a prefix that cmake --install filled>
#       zetveltran-cli-<version>-linux-x86_64.tar.gz: that prefix (bin/,
#       share/man/man1/, share/zetveltran/) with the licence, in one folder.
#
# Both take -DSOURCE_DIR (the source tree), -DVERSION and -DOUT (the folder
# the archive goes to); the archive's path is printed.
cmake_minimum_required(VERSION 3.25)
foreach(var KIND SOURCE_DIR VERSION OUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "pack_release: -D${var}=... is needed")
  endif()
endforeach()

# A text file with CR LF line ends, whatever it had.
function(write_crlf from to)
  file(READ "${from}" text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE "${to}" "${text}")
endfunction()

set(stage "${OUT}/stage-${KIND}")
file(REMOVE_RECURSE "${stage}")
if(KIND STREQUAL "win64")
  set(name "zetveltran-${VERSION}-win64")
  file(MAKE_DIRECTORY "${stage}/de")
  foreach(program zetveltran.exe zetveltran-cli.exe)
    if(NOT EXISTS "${PROGRAMS}/${program}")
      message(FATAL_ERROR "pack_release: ${PROGRAMS}/${program} is missing; build it first")
    endif()
    file(COPY "${PROGRAMS}/${program}" DESTINATION "${stage}")
  endforeach()
  file(COPY "${SOURCE_DIR}/lang/zetveltran.lng" DESTINATION "${stage}")
  file(COPY "${SOURCE_DIR}/lang/de/zetveltran.lng" DESTINATION "${stage}/de")
  write_crlf("${SOURCE_DIR}/doc/README.txt" "${stage}/README.txt")
  write_crlf("${SOURCE_DIR}/LICENSE" "${stage}/LICENSE.txt")
  set(archive "${OUT}/${name}.zip")
  set(mode cf)
  set(format --format=zip)
  set(entries zetveltran.exe zetveltran-cli.exe zetveltran.lng de README.txt LICENSE.txt)
elseif(KIND STREQUAL "linux")
  set(name "zetveltran-cli-${VERSION}-linux-x86_64")
  if(NOT EXISTS "${INSTALLED}/bin/zetveltran-cli")
    message(FATAL_ERROR "pack_release: ${INSTALLED}/bin/zetveltran-cli is missing; install first")
  endif()
  file(COPY "${INSTALLED}/" DESTINATION "${stage}/${name}")
  file(COPY "${SOURCE_DIR}/LICENSE" DESTINATION "${stage}/${name}")
  set(archive "${OUT}/${name}.tar.gz")
  set(mode czf)
  set(format --format=gnutar)
  set(entries ${name})
else()
  message(FATAL_ERROR "pack_release: KIND is win64 or linux, not ${KIND}")
endif()

file(REMOVE "${archive}")
# The same bytes for the same files: no time of packing in the archive.
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar ${mode} "${archive}" ${format} --mtime=2026-01-01 -- ${entries}
                WORKING_DIRECTORY "${stage}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "pack_release: packing ${archive} failed")
endif()
file(REMOVE_RECURSE "${stage}")
message("${archive}")
