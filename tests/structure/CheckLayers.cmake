# Fails, naming each offending line, when a file includes a project header
# from a layer it must not depend on.
#   core/            may include core/ only
#   engine/          may include core/ and engine/
#   app/views/       may include core/, engine/ and app/views/
#   app/scripting/   may include those and app/scripting/
#   app/connections/ may include those and app/connections/
#   app/session/     may include those and app/scripting/, app/session/
# (app/shell/ sits on top and may include every layer.)
cmake_minimum_required(VERSION 3.25)

set(allowed_core "core")
set(allowed_engine "core;engine")
set(allowed_app/views "core;engine;app/views")
set(allowed_app/scripting "core;engine;app/views;app/scripting")
set(allowed_app/connections "core;engine;app/views;app/connections")
set(allowed_app/session "core;engine;app/views;app/scripting;app/session")
set(project_folders core engine app tools tests bench fuzz)

set(violations "")
foreach(layer core engine app/views app/scripting app/connections app/session)
  file(GLOB_RECURSE sources ${SOURCE_DIR}/${layer}/*.h ${SOURCE_DIR}/${layer}/*.cpp)
  foreach(source IN LISTS sources)
    file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][^\">]+[\">]")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[\"<]([^\">]+)[\">].*" "\\1" header "${line}")
      string(REGEX MATCH "^[^/]+" folder "${header}")
      # Within app/ the layer is the folder below it.
      if(folder STREQUAL "app")
        string(REGEX MATCH "^app/[^/]+" folder "${header}")
      endif()
      string(REGEX MATCH "^[^/]+" top "${folder}")
      if(top IN_LIST project_folders AND NOT folder IN_LIST allowed_${layer})
        file(RELATIVE_PATH shown ${SOURCE_DIR} ${source})
        string(APPEND violations "${shown}: ${layer}/ must not include ${header}\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  message(FATAL_ERROR "Layering broken:\n${violations}")
endif()
