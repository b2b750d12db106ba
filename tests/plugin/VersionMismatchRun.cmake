# Drives the plug-in through camcab-run with a chained module of interface version 1.0 and
# checks that the host stand-in reports the raised error with its exact bytes.
#   -DRUNNER=<emulator;camcab-run> -DPLUGIN=<plug-in> -DMODULE=<old-version module> -DFOLDER=<scratch>
file(REMOVE_RECURSE "${FOLDER}")
file(MAKE_DIRECTORY "${FOLDER}")
file(COPY "${PLUGIN}" "${MODULE}" DESTINATION "${FOLDER}")
get_filename_component(plugin_name "${PLUGIN}" NAME)
get_filename_component(module_name "${MODULE}" NAME)
file(WRITE "${FOLDER}/detailmodulesx64.txt" "${module_name}\n")
execute_process(COMMAND ${RUNNER} "${FOLDER}/${plugin_name}" RESULT_VARIABLE status OUTPUT_VARIABLE out
    ERROR_VARIABLE err)
message("${out}${err}")
if(NOT status EQUAL 1)
    message(FATAL_ERROR "exit status ${status}, expected 1")
endif()
# The module's path, then "のバージョンが不正です。" in code page 932.
set(text_bytes "82 CC 83 6F 81 5B 83 57 83 87 83 93 82 AA 95 73 90 B3 82 C5 82 B7 81 42")
if(NOT err MATCHES "error bytes: .*${text_bytes}\n")
    message(FATAL_ERROR "the error does not end with the version text")
endif()
string(HEX "${module_name}" name_hex)
string(TOUPPER "${name_hex}" name_hex)
string(REGEX REPLACE "(..)" "\\1 " name_bytes "${name_hex}")
if(NOT err MATCHES "${name_bytes}${text_bytes}")
    message(FATAL_ERROR "the error does not name the module directly before the text")
endif()
