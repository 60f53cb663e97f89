# SPDX-License-Identifier: MIT
# Copies the help pages to WORK_DIR/pages, adapted to the program they ship with (VARIANT "linux"
# or "windows"), runs chmcmd on the project there and copies the result to OUTPUT. chmcmd only
# warns about a link to a page that is not there; such a warning fails the build here, so no
# broken link ships.
cmake_minimum_required(VERSION 3.25)
#
# What holds for one program only stands between <!-- linux --> and <!-- /linux -->, or
# <!-- windows --> and <!-- /windows -->, in any file of the help: the program's own text is kept
# without the marks, the other's is left out. The marks do not nest. The Windows program has no
# command line, so its help has no page about it.
set(pages ${WORK_DIR}/pages)

# Keeps the text meant for VARIANT in the variable named by text_var.
function(keep_variant_text text_var file)
    set(text "${${text_var}}")
    foreach(variant linux windows)
        set(open "<!-- ${variant} -->")
        set(close "<!-- /${variant} -->")
        string(LENGTH "${close}" closeLength)
        while(TRUE)
            string(FIND "${text}" "${open}" start)
            string(FIND "${text}" "${close}" end)
            if(start EQUAL -1 AND end EQUAL -1)
                break()
            endif()
            if(start EQUAL -1 OR end LESS start)
                message(FATAL_ERROR "${file}: ${open} and ${close} do not pair up")
            endif()
            math(EXPR after "${end} + ${closeLength}")
            string(SUBSTRING "${text}" 0 ${start} before)
            string(SUBSTRING "${text}" ${after} -1 rest)
            if(variant STREQUAL VARIANT)
                string(LENGTH "${open}" openLength)
                math(EXPR inside "${start} + ${openLength}")
                math(EXPR insideLength "${end} - ${inside}")
                string(SUBSTRING "${text}" ${inside} ${insideLength} kept)
                set(text "${before}${kept}${rest}")
            else()
                set(text "${before}${rest}")
            endif()
        endwhile()
    endforeach()
    set(${text_var} "${text}" PARENT_SCOPE)
endfunction()

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
    endif()
    keep_variant_text(text ${source})
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
