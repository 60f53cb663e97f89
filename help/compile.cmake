# SPDX-License-Identifier: MIT
# Runs chmcmd on the help project and copies the result to OUTPUT. chmcmd only warns about a link
# to a page that is not there; such a warning fails the build here, so no broken link ships.
execute_process(
    COMMAND ${CHMCMD} ${PROJECT_FILE}
    WORKING_DIRECTORY ${WORK_DIR}
    RESULT_VARIABLE result
    OUTPUT_VARIABLE log
    ERROR_VARIABLE log)
if(NOT result EQUAL 0 OR log MATCHES "(Warning|Error)")
    message(FATAL_ERROR "chmcmd failed on ${PROJECT_FILE}:\n${log}")
endif()
get_filename_component(output_dir ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${output_dir})
file(COPY_FILE ${WORK_DIR}/help.chm ${OUTPUT})
