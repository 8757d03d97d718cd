# The plug-in's name and version, set once here: the generated header feeds the version record, the
# fatal error box's caption and the Windows version resource, and the release archive takes its name
# from the same variables.
set(BW_PLUGIN_NAME "Brindlewick - SFSE Plugin by Tamsryn")
set(BW_PLUGIN_AUTHOR "Tamsryn")
set(BW_VERSION_MAJOR ${PROJECT_VERSION_MAJOR})
set(BW_VERSION_MINOR ${PROJECT_VERSION_MINOR})
set(BW_VERSION_PATCH 0)
set(BW_VERSION_BUILD 0)
if(NOT "${PROJECT_VERSION_PATCH}" STREQUAL "")
  set(BW_VERSION_PATCH ${PROJECT_VERSION_PATCH})
endif()
if(NOT "${PROJECT_VERSION_TWEAK}" STREQUAL "")
  set(BW_VERSION_BUILD ${PROJECT_VERSION_TWEAK})
endif()

# The host's packed version has 8 bits for major and minor, 12 for patch and 4 for build.
if(BW_VERSION_MAJOR GREATER 255 OR BW_VERSION_MINOR GREATER 255 OR BW_VERSION_PATCH GREATER 4095
   OR BW_VERSION_BUILD GREATER 15)
  message(FATAL_ERROR "version ${PROJECT_VERSION} does not fit the host's packed version record")
endif()

# Players see the short form ("5.2"); patch and build appear only when they are not zero.
set(BW_VERSION_TEXT "${BW_VERSION_MAJOR}.${BW_VERSION_MINOR}")
if(BW_VERSION_PATCH OR BW_VERSION_BUILD)
  string(APPEND BW_VERSION_TEXT ".${BW_VERSION_PATCH}")
endif()
if(BW_VERSION_BUILD)
  string(APPEND BW_VERSION_TEXT ".${BW_VERSION_BUILD}")
endif()
set(BW_VERSION_FULL "${BW_VERSION_MAJOR}.${BW_VERSION_MINOR}.${BW_VERSION_PATCH}.${BW_VERSION_BUILD}")

set(BW_GENERATED_INCLUDE_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/BrindlewickVersion.h.in ${BW_GENERATED_INCLUDE_DIR}/BrindlewickVersion.h @ONLY)
