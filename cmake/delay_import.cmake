# cmake -DNM=... -DDLLTOOL=... -DIMPORT_LIBRARY=... -DDLL_NAME=... -DOUTPUT=...
#       -P delay_import.cmake
# Writes a delay-load import library for DLL_NAME with every function that the ordinary import
# library IMPORT_LIBRARY offers: a program linked with it loads the DLL on its first call into
# it, through LoadLibrary, instead of having the loader resolve it at start.
execute_process(COMMAND ${NM} ${IMPORT_LIBRARY} OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} could not read ${IMPORT_LIBRARY}")
endif()
string(REGEX MATCHALL " I __imp_[^\r\n]+" imports "${symbols}")
list(REMOVE_DUPLICATES imports)
set(definition "LIBRARY ${DLL_NAME}\nEXPORTS\n")
foreach(import IN LISTS imports)
  string(REPLACE " I __imp_" "" name "${import}")
  string(APPEND definition "  ${name}\n")
endforeach()
file(WRITE "${OUTPUT}.def" "${definition}")
execute_process(COMMAND ${DLLTOOL} --input-def "${OUTPUT}.def" --dllname ${DLL_NAME}
                        --output-delaylib "${OUTPUT}"
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${DLLTOOL} could not write ${OUTPUT}")
endif()
