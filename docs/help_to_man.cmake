# Writes a manual page from a program's --help text, so that the page says what the program
# says of itself. Called as: cmake -DPROGRAM=path -DNAME=name -DSUMMARY=text -DVERSION=x
# -DOUTPUT=page.1 -P help_to_man.cmake
execute_process(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
        ${PROGRAM} --help
    OUTPUT_VARIABLE help RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR help STREQUAL "")
    message(FATAL_ERROR "${PROGRAM} --help failed (${status})")
endif()

# The first line is the usage; the rest is set as it is printed, escaped for roff.
string(REGEX MATCH "^Usage: [^\n]*" usage "${help}")
if(usage STREQUAL "")
    message(FATAL_ERROR "${PROGRAM} --help does not start with a usage line")
endif()
string(LENGTH "${usage}" usageLength)
string(SUBSTRING "${help}" ${usageLength} -1 body)
string(REGEX REPLACE "^Usage: " "" synopsis "${usage}")

function(roffEscape text out)
    string(REPLACE "\\" "\\e" text "${text}")
    string(REPLACE "-" "\\-" text "${text}")
    # A line starting with a dot or an apostrophe would be read as a request.
    string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()
roffEscape("${synopsis}" synopsis)
roffEscape("${body}" body)
string(REGEX REPLACE "^\n+" "" body "${body}")
string(TOUPPER "${NAME}" title)

file(WRITE ${OUTPUT}.new
".TH ${title} 1 \"\" \"QUORVALIS ${VERSION}\" \"User Commands\"
.SH NAME
${NAME} \\- ${SUMMARY}
.SH SYNOPSIS
.nf
${synopsis}
.fi
.SH DESCRIPTION
.nf
${body}.fi
.SH SEE ALSO
quorvalis-render(1), reelbind(1), and the QUORVALIS manual, quorvalis.html, in the
documentation folder.
")
file(RENAME ${OUTPUT}.new ${OUTPUT})
