# Runs vareri-cli (through EMULATOR when set) with ARGS and fails unless it exits EXPECTED.
#   cmake -DCLI=path -DEMULATOR=wrapper -DEXPECTED=n -DARGS=a;b -P exit_status.cmake
set(command ${CLI} ${ARGS})
if(EMULATOR)
  set(command ${EMULATOR} ${command})
endif()
execute_process(COMMAND ${command} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL EXPECTED)
  message(FATAL_ERROR "vareri-cli ${ARGS}: exit status ${status}, expected ${EXPECTED}\n${out}${err}")
endif()
message(STATUS "vareri-cli ${ARGS}: exit status ${status}\n${err}")
