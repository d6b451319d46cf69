# Fails the build when a folder includes a header of a folder above it. Run by the
# check_layers target on every build: cmake -DSOURCE_DIR=... -P CheckLayers.cmake
#
# The layers, lowest first: platform (the run-time layer on Qt), core (rules and formats,
# no Qt), link (telegrams, transports, exchanges), ui (forms, control ids, panel handles,
# help texts), graph, recorder and connection, shell (the application on top). The simulated
# sensor stands on the core alone; the command-line tool on the link.
cmake_minimum_required(VERSION 3.20)
set(allowed_platform platform)
set(allowed_core core)
set(allowed_link platform core link)
set(allowed_ui platform core link ui)
set(allowed_graph platform core link ui graph)
set(allowed_recorder platform core link ui graph recorder)
set(allowed_connection platform core link ui connection)
set(allowed_shell platform core link ui graph recorder connection shell)
set(allowed_sim core sim)
set(allowed_cli platform core link cli)

set(violations "")
foreach(folder platform core link ui graph recorder connection shell sim cli)
  file(GLOB sources "${SOURCE_DIR}/${folder}/*.cpp" "${SOURCE_DIR}/${folder}/*.h")
  foreach(source ${sources})
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"[a-z]+/")
    foreach(line ${includes})
      string(REGEX REPLACE "^[^\"]*\"([a-z]+)/.*$" "\\1" used "${line}")
      if(NOT used IN_LIST allowed_${folder})
        file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
        string(APPEND violations "\n  ${shown}: ${line} (${folder}/ may use: ${allowed_${folder}})")
      endif()
    endforeach()
  endforeach()
endforeach()
if(violations)
  message(FATAL_ERROR "A folder includes a header of a layer above it:${violations}")
endif()
