# Packs the round trip's installer, signed: a throwaway certificate and key made with openssl for
# this run (valid for two days, for code signing), every program and the installer signed with
# them (pack_installer.cmake, as `make installer SIGN_CERT=... SIGN_KEY=...` signs), each
# signature checked by osslsigncode against the certificate, and the key deleted.
#
#   cmake -DLAYOUT=... -DFOLDER=... -DOPENSSL=... -DOSSLSIGNCODE=... -DPACK_SCRIPT=... -P this
#
# FOLDER then holds NorvexSetup.exe, the signed programs, and the certificate in PEM
# (test-signing.pem) and DER (test-signing.cer).
cmake_minimum_required(VERSION 3.21)
foreach(required LAYOUT FOLDER OPENSSL OSSLSIGNCODE PACK_SCRIPT)
  if(NOT DEFINED ${required} OR "${${required}}" STREQUAL "" OR "${${required}}" MATCHES "NOTFOUND$")
    message(FATAL_ERROR "make_signed_installer.cmake: ${required} is not set (openssl and osslsigncode installed?)")
  endif()
endforeach()

file(REMOVE_RECURSE "${FOLDER}")
file(MAKE_DIRECTORY "${FOLDER}")
set(SIGN_CERT "${FOLDER}/test-signing.pem")
set(SIGN_KEY "${FOLDER}/test-signing.key")
execute_process(
  COMMAND "${OPENSSL}" req -x509 -newkey rsa:2048 -nodes -sha256 -days 2
          -subj "/CN=Norvex throwaway test signing" -addext "extendedKeyUsage=codeSigning"
          -keyout "${SIGN_KEY}" -out "${SIGN_CERT}"
  RESULT_VARIABLE result OUTPUT_VARIABLE said ERROR_VARIABLE said)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "openssl could not make the test certificate:\n${said}")
endif()
execute_process(
  COMMAND "${OPENSSL}" x509 -in "${SIGN_CERT}" -outform DER -out "${FOLDER}/test-signing.cer"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "openssl could not write the test certificate in DER")
endif()

set(PACKED "${FOLDER}")
set(OUTPUT "${FOLDER}/NorvexSetup.exe")
include("${PACK_SCRIPT}")
file(REMOVE "${SIGN_KEY}")

file(GLOB signed "${FOLDER}/*.exe" "${FOLDER}/*.dll")
list(LENGTH signed count)
if(NOT count EQUAL 7)
  message(FATAL_ERROR "Expected the installer and six programs in ${FOLDER}, found: ${signed}")
endif()
foreach(file IN LISTS signed)
  execute_process(COMMAND "${OSSLSIGNCODE}" verify -CAfile "${SIGN_CERT}" -in "${file}"
                  RESULT_VARIABLE result OUTPUT_VARIABLE said ERROR_VARIABLE said)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "The signature of ${file} does not verify:\n${said}")
  endif()
  message(STATUS "Signed and verified: ${file}")
endforeach()
