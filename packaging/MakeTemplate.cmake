# Makes the read-only template of a per-user program directory: what the install step puts beside
# the executables (control tables, demo data, demo settings) and the help pages, without the lock
# files and staging leftovers of that run.
#   cmake -DMAKE_PROGRAM_FILES=... -DDEMO_DIR=... -DHELP_DIR=... -DTEMPLATE_DIR=... -P MakeTemplate.cmake
file(REMOVE_RECURSE "${TEMPLATE_DIR}")
execute_process(COMMAND "${MAKE_PROGRAM_FILES}" "${TEMPLATE_DIR}/" "${DEMO_DIR}/" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "make_program_files: ${result}")
endif()
file(GLOB_RECURSE locks LIST_DIRECTORIES false "${TEMPLATE_DIR}/*")
list(FILTER locks INCLUDE REGEX "/[Pp][Kk][Ii][Mm][Pp][Oo][Rr][Tt]\\.[Ll][Cc][Kk]$")
if(locks)
  file(REMOVE ${locks})
endif()
# Staging tables are made again when needed; the empty folder is kept as a build run has it.
file(REMOVE_RECURSE "${TEMPLATE_DIR}/Temp")
file(MAKE_DIRECTORY "${TEMPLATE_DIR}/Temp")
file(GLOB pages "${HELP_DIR}/*.html")
file(COPY ${pages} DESTINATION "${TEMPLATE_DIR}/help")
