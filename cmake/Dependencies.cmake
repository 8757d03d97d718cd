# Header-only libraries from Debian, exposed through a build-local include folder so that
# /usr/include itself never reaches the cross build (glibc's headers would shadow mingw's).
set(BW_SYSDEPS_DIR ${CMAKE_BINARY_DIR}/sysdeps/include)
file(MAKE_DIRECTORY ${BW_SYSDEPS_DIR})
foreach(dir spdlog fmt nlohmann CLI)
  if(NOT EXISTS ${BW_SYSDEPS_DIR}/${dir})
    if(NOT EXISTS /usr/include/${dir})
      message(FATAL_ERROR "/usr/include/${dir} is missing: run scripts/setup")
    endif()
    file(CREATE_LINK /usr/include/${dir} ${BW_SYSDEPS_DIR}/${dir} SYMBOLIC)
  endif()
endforeach()

add_library(bw_logging INTERFACE)
target_include_directories(bw_logging SYSTEM INTERFACE ${BW_SYSDEPS_DIR})
# Wide file names: a log folder with letters outside the code page must still open.
target_compile_definitions(bw_logging INTERFACE SPDLOG_HEADER_ONLY FMT_HEADER_ONLY SPDLOG_FMT_EXTERNAL SPDLOG_WCHAR_FILENAMES
                           WIN32_LEAN_AND_MEAN NOMINMAX)

add_library(bw_simdeps INTERFACE)
target_include_directories(bw_simdeps SYSTEM INTERFACE ${BW_SYSDEPS_DIR})

if(BUILD_TESTING)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()
