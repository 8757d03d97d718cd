# Builds the players' archive: its root is the game folder, so a mod manager that installs it as is
# puts every file in place. Beside it goes the DLL's debug file, for reading crash reports.
#   cmake -DDLL=... -DDEBUG_FILE=... -DDATA=<data/Quillmere> -DREADME=<template> -DVERSION=5.2 -DOUT=<dir>
#         -DPYTHON=<python3> -P MakeReleaseArchive.cmake
cmake_minimum_required(VERSION 3.25)
foreach(input DLL DEBUG_FILE DATA README VERSION OUT PYTHON)
  if(NOT DEFINED ${input} OR "${${input}}" STREQUAL "")
    message(FATAL_ERROR "MakeReleaseArchive: ${input} is not set")
  endif()
endforeach()
foreach(file ${DLL} ${DEBUG_FILE} ${DATA}/Settings.ini ${README})
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "MakeReleaseArchive: ${file} is missing")
  endif()
endforeach()

set(name Brindlewick-${VERSION})
set(stage ${OUT}/${name}.staging)
set(plugins ${stage}/Data/SFSE/Plugins)
file(REMOVE_RECURSE ${stage} ${OUT}/${name}.zip ${OUT}/${name}-debug.zip)
file(MAKE_DIRECTORY ${plugins})

file(COPY ${DLL} DESTINATION ${plugins})
file(COPY ${DATA}/ DESTINATION ${plugins}/Quillmere)
set(BW_VERSION_TEXT ${VERSION})
configure_file(${README} ${stage}/Brindlewick-README.txt @ONLY NEWLINE_STYLE CRLF)

include(${CMAKE_CURRENT_LIST_DIR}/ZipFolder.cmake)
bw_zip_folder(${stage} ${OUT}/${name}.zip)
set(debug_stage ${OUT}/${name}-debug.staging)
file(REMOVE_RECURSE ${debug_stage})
file(COPY ${DEBUG_FILE} DESTINATION ${debug_stage})
bw_zip_folder(${debug_stage} ${OUT}/${name}-debug.zip)
file(REMOVE_RECURSE ${debug_stage})
file(REMOVE_RECURSE ${stage})
message(STATUS "release archive: ${OUT}/${name}.zip (debug file: ${OUT}/${name}-debug.zip)")
