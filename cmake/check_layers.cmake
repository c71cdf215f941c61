# Reads the includes of every source under SOURCE_DIR and fails on one that
# runs up a layer or sideways between two layers of one rank (which could
# close a circle). A layer is a folder of SOURCE_DIR; a backend folder
# (posix/, win32/) and resources/ belong to their layer, and ui/framework is
# a layer of its own below the rest of ui; version/ (the version header and
# resource) is below everything.
#   cmake -DSOURCE_DIR=src -P cmake/check_layers.cmake

set(ZET_LAYER_RANKS version=0 platform=0 fileio=1 profile=2 update=3 host=4 ui/framework=5 ui=6 cli=6 main=7)

function(zet_layer_of path out_layer out_rank)
  set(${out_layer} "" PARENT_SCOPE)
  set(${out_rank} -1 PARENT_SCOPE)
  foreach(entry IN LISTS ZET_LAYER_RANKS)
    string(REPLACE "=" ";" pair ${entry})
    list(GET pair 0 name)
    list(GET pair 1 rank)
    # The longest name that starts the path wins: ui/framework before ui.
    if(path MATCHES "^${name}/" AND NOT found)
      if(name STREQUAL "ui" AND path MATCHES "^ui/framework/")
        continue()
      endif()
      set(${out_layer} ${name} PARENT_SCOPE)
      set(${out_rank} ${rank} PARENT_SCOPE)
      set(found TRUE)
    endif()
  endforeach()
endfunction()

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "SOURCE_DIR is needed")
endif()
get_filename_component(SOURCE_DIR ${SOURCE_DIR} ABSOLUTE)
file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.cpp ${SOURCE_DIR}/*.rc)
set(faults 0)
set(checked 0)
foreach(file IN LISTS files)
  zet_layer_of(${file} layer rank)
  if(rank LESS 0)
    message(SEND_ERROR "${file}: in no layer; add its folder to the layer order")
    math(EXPR faults "${faults} + 1")
    continue()
  endif()
  file(STRINGS ${SOURCE_DIR}/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" included "${line}")
    if(NOT included MATCHES "/")
      continue()  # a header beside the file, or a generated one
    endif()
    zet_layer_of(${included} to torank)
    math(EXPR checked "${checked} + 1")
    if(torank LESS 0)
      message(SEND_ERROR "${file}: includes ${included}, which is in no layer")
      math(EXPR faults "${faults} + 1")
    elseif(to STREQUAL layer)
      # within the layer
    elseif(NOT torank LESS rank)
      message(SEND_ERROR "${file}: ${layer} includes ${included} of ${to}, which is not below it")
      math(EXPR faults "${faults} + 1")
    endif()
  endforeach()
endforeach()
if(checked EQUAL 0)
  message(FATAL_ERROR "no includes between layers found under ${SOURCE_DIR}")
endif()
if(faults GREATER 0)
  message(FATAL_ERROR "${faults} include(s) break the layer order: ${ZET_LAYER_RANKS}")
endif()
message(STATUS "${checked} includes between layers checked, all in order")
