# Builds the players' archive: its root is the game folder, so a mod manager that installs it as is
# puts every file in place. Beside it goes the DLL's debug file, for reading crash reports.
#   cmake -DDLL=... -DDEBUG_FILE=... -DDATA=<data/Quillmere> -DREADME=<template> -DVERSION=5.2 -DOUT=<dir>
#         -P MakeReleaseArchive.cmake
cmake_minimum_required(VERSION 3.25)
foreach(input DLL DEBUG_FILE DATA README VERSION OUT)
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

# Files only, sorted: the same inputs give the same list in the same order.
file(GLOB_RECURSE entries LIST_DIRECTORIES false RELATIVE ${stage} ${stage}/*)
list(SORT entries)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${OUT}/${name}.zip --format=zip -- ${entries}
                WORKING_DIRECTORY ${stage} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "MakeReleaseArchive: zipping ${OUT}/${name}.zip failed")
endif()

get_filename_component(debug_dir ${DEBUG_FILE} DIRECTORY)
get_filename_component(debug_name ${DEBUG_FILE} NAME)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${OUT}/${name}-debug.zip --format=zip -- ${debug_name}
                WORKING_DIRECTORY ${debug_dir} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "MakeReleaseArchive: zipping ${OUT}/${name}-debug.zip failed")
endif()
file(REMOVE_RECURSE ${stage})
message(STATUS "release archive: ${OUT}/${name}.zip (debug file: ${OUT}/${name}-debug.zip)")
