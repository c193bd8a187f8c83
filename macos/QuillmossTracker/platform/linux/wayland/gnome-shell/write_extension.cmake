# Writes the extension in one module form: cmake -DENTRY=extension-NN.js -DVERSIONS=a,b,...
# -DOUT=folder -P write_extension.cmake. The entry's marker line becomes focus_reporter.js, and
# metadata.json lists the shell versions that load that form.
get_filename_component(here "${CMAKE_SCRIPT_MODE_FILE}" DIRECTORY)
file(READ "${here}/${ENTRY}" entry)
file(READ "${here}/focus_reporter.js" body)
string(REPLACE "// @FOCUS_REPORTER@\n" "${body}" script "${entry}")
if(script STREQUAL entry)
  message(FATAL_ERROR "${ENTRY} has no // @FOCUS_REPORTER@ line")
endif()
file(WRITE "${OUT}/extension.js" "${script}")
string(REPLACE "," ";" VERSIONS "${VERSIONS}")
list(TRANSFORM VERSIONS PREPEND "\"")
list(TRANSFORM VERSIONS APPEND "\"")
list(JOIN VERSIONS ", " QM_SHELL_VERSIONS)
configure_file("${here}/metadata.json.in" "${OUT}/metadata.json" @ONLY)
