# Fails when the model layers include a Qt header.
file(GLOB_RECURSE model_files
  ${SOURCE_DIR}/core/*.h ${SOURCE_DIR}/core/*.cpp
  ${SOURCE_DIR}/formats/*.h ${SOURCE_DIR}/formats/*.cpp
  ${SOURCE_DIR}/palette/*.h ${SOURCE_DIR}/palette/*.cpp)
set(offenders "")
foreach(f ${model_files})
  file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]Q")
  if(lines)
    list(APPEND offenders "${f}: ${lines}")
  endif()
endforeach()
if(offenders)
  message(FATAL_ERROR "Qt included in the model layers:\n${offenders}")
endif()
