# Runs a tool (through EMULATOR when set) with ARGS and fails unless it exits EXPECTED and,
# when STDOUT is given, its standard output matches that expression. Only standard output is
# matched: the emulator may warn on standard error.
#   cmake -DCLI=path -DEMULATOR=wrapper -DEXPECTED=n -DARGS=a;b [-DSTDOUT=regex] -P exit_status.cmake
set(command ${CLI} ${ARGS})
if(EMULATOR)
  set(command ${EMULATOR} ${command})
endif()
execute_process(COMMAND ${command} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL EXPECTED)
  message(FATAL_ERROR "${CLI} ${ARGS}: exit status ${status}, expected ${EXPECTED}\n${out}${err}")
endif()
if(DEFINED STDOUT AND NOT out MATCHES "${STDOUT}")
  message(FATAL_ERROR "${CLI} ${ARGS}: output does not match ${STDOUT}\n${out}${err}")
endif()
message(STATUS "${CLI} ${ARGS}: exit status ${status}\n${err}")
