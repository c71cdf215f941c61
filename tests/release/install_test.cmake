# cmake --install of the console program into an empty prefix (cmake -P, with
# -DBUILD_DIR, -DPREFIX and -DPROGRAM_ARGS): the program, its manual page and
# the language files land where a user's system looks for them, and the
# installed program finds its language file in ../share/zetveltran.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}" --component cli
                OUTPUT_QUIET RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install ended with ${result}")
endif()
file(GLOB_RECURSE installed RELATIVE "${PREFIX}" "${PREFIX}/*")
list(SORT installed)
set(expected bin/zetveltran-cli share/man/man1/zetveltran-cli.1 share/zetveltran/de/zetveltran.lng
             share/zetveltran/zetveltran.lng)
if(NOT installed STREQUAL expected)
  message(FATAL_ERROR "installed: ${installed}\nexpected: ${expected}")
endif()

# The German file in the English one's place: the program, started from
# elsewhere, speaks German.
file(COPY_FILE "${PREFIX}/share/zetveltran/de/zetveltran.lng" "${PREFIX}/share/zetveltran/zetveltran.lng")
execute_process(COMMAND "${PREFIX}/bin/zetveltran-cli" --no-scan "${PREFIX}/none" "${PREFIX}/share"
                WORKING_DIRECTORY "${PREFIX}" ERROR_VARIABLE error RESULT_VARIABLE result)
file(REMOVE_RECURSE "${PREFIX}")
if(NOT result EQUAL 2 OR NOT error MATCHES "Der Paketordner existiert nicht")
  message(FATAL_ERROR "the installed program ended with ${result} and said: ${error}")
endif()
