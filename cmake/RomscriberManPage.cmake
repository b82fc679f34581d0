# Manual pages of the command-line programs, written by help2man from each
# program's own --help and --version when it is built. A program's folder
# calls, after its add_executable and install(TARGETS ...):
#
#   romscriber_man_page(TARGET "one line saying what it does" [INCLUDE file])
#
# which builds TARGET.1.gz beside the program and installs it into section 1.
# INCLUDE names a help2man include file of the folder (extra sections, in
# Spanish like the help). Without help2man the pages are skipped, and
# configure says so once.
include_guard(GLOBAL)
include(GNUInstallDirs)

find_program(ROMSCRIBER_HELP2MAN help2man)
find_program(ROMSCRIBER_GZIP gzip)
if(NOT ROMSCRIBER_HELP2MAN OR NOT ROMSCRIBER_GZIP)
  message(STATUS "help2man o gzip no están instalados: no se generan las páginas de manual "
    "(apt-get install help2man)")
endif()
set(ROMSCRIBER_MAN_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/WriteManPage.cmake)

function(romscriber_man_page target name)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "INCLUDE" "")
  if(NOT ROMSCRIBER_HELP2MAN OR NOT ROMSCRIBER_GZIP)
    return()
  endif()
  set(page ${CMAKE_CURRENT_BINARY_DIR}/${target}.1.gz)
  set(include "")
  set(depends ${target} ${ROMSCRIBER_MAN_SCRIPT})
  if(arg_INCLUDE)
    get_filename_component(include ${arg_INCLUDE} ABSOLUTE)
    list(APPEND depends ${include})
  endif()
  add_custom_command(OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND}
      -DHELP2MAN=${ROMSCRIBER_HELP2MAN} -DGZIP=${ROMSCRIBER_GZIP}
      -DPROGRAM=$<TARGET_FILE:${target}> -DNAME=${name} -DVERSION=${PROJECT_VERSION}
      -DINCLUDE=${include} -DOUTPUT=${page}
      -P ${ROMSCRIBER_MAN_SCRIPT}
    DEPENDS ${depends}
    COMMENT "Writing the manual page of ${target}"
    VERBATIM)
  add_custom_target(${target}_man ALL DEPENDS ${page})
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
