# Fails, naming each offending line, when a file includes a project header
# from a layer it must not depend on.
#   core/   may include core/ only
#   engine/ may include core/ and engine/
cmake_minimum_required(VERSION 3.25)

set(allowed_core "core")
set(allowed_engine "core;engine")
set(project_folders core engine app tools tests bench fuzz)

set(violations "")
foreach(layer core engine)
  file(GLOB_RECURSE sources ${SOURCE_DIR}/${layer}/*.h ${SOURCE_DIR}/${layer}/*.cpp)
  foreach(source IN LISTS sources)
    file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][^\">]+[\">]")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[\"<]([^\">]+)[\">].*" "\\1" header "${line}")
      string(REGEX MATCH "^[^/]+" folder "${header}")
      if(folder IN_LIST project_folders AND NOT folder IN_LIST allowed_${layer})
        file(RELATIVE_PATH shown ${SOURCE_DIR} ${source})
        string(APPEND violations "${shown}: ${layer}/ must not include ${header}\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  message(FATAL_ERROR "Layering broken:\n${violations}")
endif()
