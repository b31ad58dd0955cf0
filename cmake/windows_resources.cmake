# The Windows files' resources: a version resource (file and product version, product name,
# description, copyright) in each of maillink.dll, relaycfg.exe and relaytool.exe, all from the
# project's version and LICENSE; and relaytool.exe's application manifest (common controls 6,
# DPI-unaware: packaging/windows/relaytool.exe.manifest says why).

set(windows_dir ${PROJECT_SOURCE_DIR}/packaging/windows)
math(EXPR minor "${PROJECT_VERSION_MINOR} + 0")
set(RC_VERSION_NUMBERS "${PROJECT_VERSION_MAJOR},${minor},0,0")
set(RC_VERSION_DOTTED "${PROJECT_VERSION_MAJOR}.${minor}.0.0")

# relay_add_version_resource(TARGET DESCRIPTION [MANIFEST FILE])
function(relay_add_version_resource target description)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "MANIFEST" "")
  get_target_property(type ${target} TYPE)
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  set(RC_DESCRIPTION "${description}")
  set(RC_INTERNAL_NAME ${name})
  if(type STREQUAL "SHARED_LIBRARY")
    set(RC_FILE_TYPE VFT_DLL)
    set(RC_FILE_NAME ${name}.dll)
  else()
    set(RC_FILE_TYPE VFT_APP)
    set(RC_FILE_NAME ${name}.exe)
  endif()
  set(RC_MANIFEST "")
  if(arg_MANIFEST)
    set(manifest ${CMAKE_CURRENT_BINARY_DIR}/${RC_FILE_NAME}.manifest)
    configure_file(${arg_MANIFEST} ${manifest} @ONLY)
    # 1 24: CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST.
    set(RC_MANIFEST "1 24 \"${manifest}\"")
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${RC_FILE_NAME}.rc)
  configure_file(${windows_dir}/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()

relay_add_version_resource(maillink "Maillink serial port and mail protocol library")
relay_add_version_resource(relaycfg "Relaytool command line: repeater configuration")
if(TARGET relaytool_win32)
  relay_add_version_resource(relaytool_win32 "Relaytool: DECT repeater configuration"
                             MANIFEST ${windows_dir}/relaytool.exe.manifest)
endif()
