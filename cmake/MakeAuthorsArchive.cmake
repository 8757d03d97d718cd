# Builds the data authors' archive: the checker, the preview (the sim under a name an author
# understands) with the DLL it runs and its scenario, the shipped data folder as an example, the two
# double-click commands and their README, all with Windows line ends.
#   cmake -DCHECKER=... -DSIM=... -DDLL=... -DDATA=<data/Quillmere> -DAUTHORS=<packaging/authors>
#         -DVERSION=5.2 -DOUT=<dir> -DPYTHON=<python3> -DSTRIP=<strip> -P MakeAuthorsArchive.cmake
cmake_minimum_required(VERSION 3.25)
foreach(input CHECKER SIM DLL DATA AUTHORS VERSION OUT PYTHON STRIP)
  if(NOT DEFINED ${input} OR "${${input}}" STREQUAL "")
    message(FATAL_ERROR "MakeAuthorsArchive: ${input} is not set")
  endif()
endforeach()
foreach(file ${CHECKER} ${SIM} ${DLL} ${DATA}/Settings.ini ${AUTHORS}/Check.cmd ${AUTHORS}/Preview.cmd
             ${AUTHORS}/Preview-scenario.txt ${AUTHORS}/Authors-README.txt)
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "MakeAuthorsArchive: ${file} is missing")
  endif()
endforeach()

set(name Brindlewick-${VERSION}-authors)
set(stage ${OUT}/${name}.staging)
file(REMOVE_RECURSE ${stage} ${OUT}/${name}.zip)
file(MAKE_DIRECTORY ${stage}/Tools)

file(COPY ${DLL} DESTINATION ${stage}/Tools)
# The programs without their debug information (the checker carries the plug-in's, tens of MB);
# strip writes the time into the PE header unless SOURCE_DATE_EPOCH gives one: 0, as the linker does.
set(archive_date "$ENV{SOURCE_DATE_EPOCH}")
set(ENV{SOURCE_DATE_EPOCH} 0)
foreach(pair "${CHECKER}|brindlewick-check.exe" "${SIM}|brindlewick-preview.exe")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 program)
  list(GET pair 1 shipped)
  execute_process(COMMAND ${STRIP} --strip-debug -o ${stage}/Tools/${shipped} ${program} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "MakeAuthorsArchive: stripping ${program} failed")
  endif()
endforeach()
set(ENV{SOURCE_DATE_EPOCH} "${archive_date}")  # the files' date in the archive
file(COPY ${DATA}/ DESTINATION ${stage}/Quillmere)
set(BW_VERSION_TEXT ${VERSION})
foreach(text Check.cmd Preview.cmd Authors-README.txt)
  configure_file(${AUTHORS}/${text} ${stage}/${text} @ONLY NEWLINE_STYLE CRLF)
endforeach()
configure_file(${AUTHORS}/Preview-scenario.txt ${stage}/Tools/Preview-scenario.txt COPYONLY)

include(${CMAKE_CURRENT_LIST_DIR}/ZipFolder.cmake)
bw_zip_folder(${stage} ${OUT}/${name}.zip)
file(REMOVE_RECURSE ${stage})
message(STATUS "authors' archive: ${OUT}/${name}.zip")
