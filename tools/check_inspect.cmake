# cmake -DTOOL=... [-DEMULATOR=...] -DINSTALL=DIR -DSTATUS=N -DEXPECT=TEXT1;TEXT2 -P check_inspect.cmake
# Runs `norvex-inspect --check --install DIR` and fails unless it ends with status N and its
# output holds every line of EXPECT.
execute_process(COMMAND ${EMULATOR} ${TOOL} --check --install ${INSTALL}
  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
string(REPLACE "\r\n" "\n" output "${output}")
message("${output}${errors}")
if(NOT status STREQUAL STATUS)
  message(FATAL_ERROR "exit status ${status}, expected ${STATUS}")
endif()
foreach(line IN LISTS EXPECT)
  string(FIND "${output}" "${line}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "missing line: ${line}")
  endif()
endforeach()
