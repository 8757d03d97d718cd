# bw_zip_folder(FOLDER ARCHIVE): the folder's files zipped by zip_folder.py, the same bytes for the
# same files on any machine (PYTHON: the python3 to run it with).
function(bw_zip_folder folder archive)
  execute_process(COMMAND ${PYTHON} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/zip_folder.py ${folder} ${archive}
                  RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "zipping ${archive} failed")
  endif()
endfunction()
