# Fails when an include points up the layer list (the windows may include the
# App object's header, through which they reach each other), when a window's
# folder includes any file of another window's folder (only ui/app knows every
# window), or when the model layers include a Qt header.
#
# Layers, lowest first; a file may include only its own layer and those below.
set(layer_folders base core formats palette ui/common WINDOW ui/app app)
set(window_folders ui/main ui/edit ui/sub ui/colour)

function(layer_rank folder out)
  list(FIND window_folders "${folder}" w)
  if(NOT w EQUAL -1)
    set(folder WINDOW)
  endif()
  list(FIND layer_folders "${folder}" rank)
  set(${out} ${rank} PARENT_SCOPE)
endfunction()

# The layer folder of a path relative to the source folder ("ui/edit/x.h" ->
# "ui/edit"; "formats/jpeg/y.h" -> "formats").
function(folder_of path out)
  if(path MATCHES "^(ui/[^/]+)/")
    set(${out} ${CMAKE_MATCH_1} PARENT_SCOPE)
  elseif(path MATCHES "^([^/]+)/")
    set(${out} ${CMAKE_MATCH_1} PARENT_SCOPE)
  else()
    set(${out} "" PARENT_SCOPE)
  endif()
endfunction()

set(offenders "")
foreach(top base core formats palette ui app)
  file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${top}/*.h ${SOURCE_DIR}/${top}/*.cpp)
  foreach(f ${files})
    folder_of(${f} from)
    layer_rank(${from} from_rank)
    if(from_rank EQUAL -1)
      list(APPEND offenders "${f}: folder is in no layer")
      continue()
    endif()
    file(STRINGS ${SOURCE_DIR}/${f} lines REGEX "^[ \t]*#[ \t]*include")
    foreach(line ${lines})
      if(line MATCHES "include[ \t]*<Q" AND from_rank LESS 4)
        list(APPEND offenders "${f}: Qt in the model: ${line}")
      endif()
      if(NOT line MATCHES "include[ \t]*\"([^\"]+)\"")
        continue()
      endif()
      set(target ${CMAKE_MATCH_1})
      folder_of(${target} to)
      layer_rank("${to}" to_rank)
      if(to_rank EQUAL -1)
        list(APPEND offenders "${f}: include outside the layers: ${target}")
      elseif(target STREQUAL "ui/app/app.h" AND from_rank GREATER_EQUAL 5)
        # Windows reach each other through the App object.
      elseif(to_rank GREATER from_rank)
        list(APPEND offenders "${f}: includes a higher layer: ${target}")
      elseif(to_rank EQUAL from_rank AND NOT to STREQUAL from)
        list(APPEND offenders "${f}: includes another window's file: ${target}")
      endif()
    endforeach()
  endforeach()
endforeach()

if(offenders)
  string(REPLACE ";" "\n" offenders "${offenders}")
  message(FATAL_ERROR "Layer violations:\n${offenders}")
endif()
message(STATUS "Layers point one way")
