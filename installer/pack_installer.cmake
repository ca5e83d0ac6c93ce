# Packs an installer from the programs that the build stripped: each program is signed into
# PACKED (or copied there when no certificate is given), makensis packs them with the catalogue,
# and the installer is signed last. Run as a script (cmake -D... -P pack_installer.cmake) by the
# build, and included by the test that packs a signed installer of its own.
#
#   LAYOUT       the installer's layout, written by installer/CMakeLists.txt: MAKENSIS, SCRIPT,
#                STRIPPED (the folder of the stripped programs), PROGRAMS (NAME=file name, the
#                programs' -D of the script) and DEFINES (NAME=value, its other -D)
#   PACKED       the folder of the programs as the installer carries them
#   OUTPUT       the installer
#   SIGN_CERT, SIGN_KEY   PEM certificate (with its chain) and its private key; empty: unsigned
#   SIGN_TIMESTAMP        optional address of a time-stamping server (RFC 3161)
#   OSSLSIGNCODE          the osslsigncode program (needed only to sign)
cmake_minimum_required(VERSION 3.21)

foreach(required LAYOUT PACKED OUTPUT)
  if(NOT DEFINED ${required} OR "${${required}}" STREQUAL "")
    message(FATAL_ERROR "pack_installer.cmake: ${required} is not set")
  endif()
endforeach()
include("${LAYOUT}")

# Authenticode with SHA-256, as Windows checks it on programs and modules it loads.
function(norvex_sign input output)
  file(REMOVE "${output}")
  set(timestamp)
  if(NOT "${SIGN_TIMESTAMP}" STREQUAL "")
    set(timestamp -ts "${SIGN_TIMESTAMP}")
  endif()
  execute_process(
    COMMAND "${OSSLSIGNCODE}" sign -certs "${SIGN_CERT}" -key "${SIGN_KEY}" -h sha256
            -n "Norvex Toolbar" ${timestamp} -in "${input}" -out "${output}"
    RESULT_VARIABLE result OUTPUT_VARIABLE said ERROR_VARIABLE said)
  if(NOT result EQUAL 0 OR NOT EXISTS "${output}")
    message(FATAL_ERROR "osslsigncode could not sign ${input}:\n${said}")
  endif()
endfunction()

set(signing FALSE)
if(NOT "${SIGN_CERT}" STREQUAL "" OR NOT "${SIGN_KEY}" STREQUAL "")
  if("${SIGN_CERT}" STREQUAL "" OR "${SIGN_KEY}" STREQUAL "")
    message(FATAL_ERROR "Signing needs both a certificate (SIGN_CERT) and its key (SIGN_KEY)")
  endif()
  if("${OSSLSIGNCODE}" STREQUAL "" OR NOT EXISTS "${OSSLSIGNCODE}")
    message(FATAL_ERROR "Signing needs osslsigncode (Debian package osslsigncode)")
  endif()
  set(signing TRUE)
endif()

file(MAKE_DIRECTORY "${PACKED}")
set(arguments)
foreach(program IN LISTS PROGRAMS)
  string(FIND "${program}" "=" at)
  string(SUBSTRING "${program}" 0 ${at} name)
  math(EXPR at "${at} + 1")
  string(SUBSTRING "${program}" ${at} -1 file_name)
  if(signing)
    norvex_sign("${STRIPPED}/${file_name}" "${PACKED}/${file_name}")
  else()
    file(COPY_FILE "${STRIPPED}/${file_name}" "${PACKED}/${file_name}")
  endif()
  list(APPEND arguments "-D${name}=${PACKED}/${file_name}")
endforeach()
foreach(define IN LISTS DEFINES)
  list(APPEND arguments "-D${define}")
endforeach()

if(signing)
  set(packed_setup "${PACKED}/unsigned-setup.exe")
else()
  set(packed_setup "${OUTPUT}")
endif()
get_filename_component(output_folder "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${output_folder}")
execute_process(
  COMMAND "${MAKENSIS}" -V2 -INPUTCHARSET UTF8 "-DOUTFILE=${packed_setup}" ${arguments} "${SCRIPT}"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE "${packed_setup}")
  message(FATAL_ERROR "makensis failed (${result})")
endif()
if(signing)
  norvex_sign("${packed_setup}" "${OUTPUT}")
  file(REMOVE "${packed_setup}")
endif()
