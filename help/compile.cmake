# SPDX-License-Identifier: MIT
# Copies the help pages to WORK_DIR/pages, adapted to the program they ship with (VARIANT
# "windows": the Windows program converts with Word and has no command line), runs chmcmd on the
# project there and copies the result to OUTPUT. chmcmd only warns about a link to a page that is
# not there; such a warning fails the build here, so no broken link ships.
set(pages ${WORK_DIR}/pages)
file(REMOVE_RECURSE ${pages})
file(MAKE_DIRECTORY ${pages})
file(GLOB sources ${SOURCE_DIR}/*.html ${SOURCE_DIR}/*.hh? ${SOURCE_DIR}/*.css)
foreach(source IN LISTS sources)
    get_filename_component(name ${source} NAME)
    file(READ ${source} text)
    if(VARIANT STREQUAL "windows")
        if(name STREQUAL "command-line.html")
            continue()
        endif()
        # The page's entries in the project, the contents and the index.
        string(REPLACE "command-line.html\n" "" text "${text}")
        string(REGEX REPLACE
            "<li><object type=\"text/sitemap\">[^<]*<param name=\"Name\" value=\"[^\"]*\">[^<]*<param name=\"Local\" value=\"command-line.html\">[^<]*</object>[\r\n]*"
            "" text "${text}")
        # What the conversions need on Windows.
        string(REGEX REPLACE "<!-- engine -->.*<!-- /engine -->"
            "<li><b>Word cannot start,</b> or is not installed. Pavendel converts through Microsoft Word, which must be installed for the user who runs Pavendel. When every document fails with a message that no program provides \"Word.Application\", install Word or repair its installation; when Word is busy with a dialog box of its own, close that dialog box and convert again.</li>"
            text "${text}")
    endif()
    file(WRITE ${pages}/${name} "${text}")
endforeach()

execute_process(
    COMMAND ${CHMCMD} pavendel.hhp
    WORKING_DIRECTORY ${pages}
    RESULT_VARIABLE result
    OUTPUT_VARIABLE log
    ERROR_VARIABLE log)
if(NOT result EQUAL 0 OR log MATCHES "(Warning|Error)")
    message(FATAL_ERROR "chmcmd failed on ${PROJECT_FILE}:\n${log}")
endif()
get_filename_component(output_dir ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${output_dir})
file(COPY_FILE ${pages}/help.chm ${OUTPUT})
