# Writes one gzipped manual page with help2man (cmake -P, from
# romscriber_man_page): HELP2MAN GZIP PROGRAM NAME VERSION OUTPUT [INCLUDE].
#
# The programs' help is Spanish: help2man finds the synopsis only after an
# English "Usage:", so it reads the help through a wrapper of the same name
# that turns "Uso:" into it, and the page's standard headings, manual title
# and month are put into Spanish afterwards.
cmake_minimum_required(VERSION 3.25)

get_filename_component(program_name ${PROGRAM} NAME)
set(work ${OUTPUT}.d)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
set(wrapper ${work}/${program_name})
file(WRITE ${wrapper} "#!/bin/sh\n\"${PROGRAM}\" \"$@\" | sed 's/^Uso:/Usage:/'\n")
file(CHMOD ${wrapper} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
  WORLD_READ WORLD_EXECUTE)

set(page ${work}/${program_name}.1)
# help2man reads the program's output in the charset of its --locale (C by
# default, which turns every accent into "?").
set(options --no-info --section=1 --locale=C.UTF-8 --name=${NAME} --version-string=${VERSION}
  --output=${page})
if(INCLUDE)
  list(APPEND options --include=${INCLUDE})
endif()
execute_process(COMMAND ${HELP2MAN} ${options} ${wrapper} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "help2man failed on ${PROGRAM}")
endif()

file(READ ${page} text)
foreach(pair "NAME|NOMBRE" "SYNOPSIS|SINOPSIS" "DESCRIPTION|DESCRIPCIÓN" "OPTIONS|OPCIONES")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 english)
  list(GET pair 1 spanish)
  string(REPLACE "\n.SH ${english}\n" "\n.SH ${spanish}\n" text "${text}")
endforeach()
string(REPLACE "\"User Commands\"" "\"Órdenes de usuario\"" text "${text}")
set(months January February March April May June July August September October November December)
set(meses enero febrero marzo abril mayo junio julio agosto septiembre octubre noviembre diciembre)
foreach(i RANGE 11)
  list(GET months ${i} english)
  list(GET meses ${i} spanish)
  string(REGEX REPLACE "(\n\\.TH [^\n]*\")${english} ([0-9]+\")" "\\1${spanish} de \\2" text
    "${text}")
endforeach()
# man reads the page as UTF-8 whatever the reader's locale.
file(WRITE ${page} ".\\\" -*- coding: UTF-8 -*-\n${text}")

execute_process(COMMAND ${GZIP} -9nf ${page} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "gzip failed on ${page}")
endif()
file(RENAME ${page}.gz ${OUTPUT})
file(REMOVE_RECURSE ${work})
