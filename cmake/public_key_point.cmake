# norvex_public_key_include(PEM_FILE OUTPUT_FOLDER)
# Writes OUTPUT_FOLDER/update_public_key.inc, which defines NORVEX_UPDATE_PUBLIC_KEY_BYTES as the
# bytes of the uncompressed point (65 bytes, each followed by a comma) of the ECDSA P-256 key in
# PEM_FILE (a public key, or a private key whose public half is taken), or as nothing when
# PEM_FILE is empty. Uses the openssl program; any other kind of key stops the configuration.
find_program(NORVEX_OPENSSL openssl)

function(norvex_public_key_include pem_file output_folder)
  set(bytes "")
  if(NOT pem_file STREQUAL "")
    get_filename_component(pem_file "${pem_file}" ABSOLUTE)
    if(NOT EXISTS "${pem_file}")
      message(FATAL_ERROR "Public key ${pem_file} does not exist")
    endif()
    if(NOT NORVEX_OPENSSL)
      message(FATAL_ERROR "The openssl program is needed to read ${pem_file} (apt-get install openssl)")
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${pem_file}")
    set(der "${output_folder}/update_public_key.der")
    file(MAKE_DIRECTORY "${output_folder}")
    execute_process(COMMAND ${NORVEX_OPENSSL} ec -pubin -in "${pem_file}" -pubout -outform DER
                            -conv_form uncompressed -out "${der}"
                    RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
    if(NOT result EQUAL 0)
      # A private key file: its public half.
      execute_process(COMMAND ${NORVEX_OPENSSL} ec -in "${pem_file}" -pubout -outform DER
                              -conv_form uncompressed -out "${der}"
                      RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
    endif()
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "${pem_file} is not an EC key in PEM that openssl can read")
    endif()
    file(READ "${der}" hex HEX)
    file(REMOVE "${der}")
    # The SubjectPublicKeyInfo of a P-256 key: id-ecPublicKey, prime256v1, the point 04 X Y.
    set(prefix "3059301306072a8648ce3d020106082a8648ce3d030107034200")
    string(LENGTH "${hex}" length)
    string(FIND "${hex}" "${prefix}04" at)
    if(NOT length EQUAL 182 OR NOT at EQUAL 0)
      message(FATAL_ERROR "${pem_file} is not an ECDSA P-256 (prime256v1) key")
    endif()
    string(SUBSTRING "${hex}" 52 130 point)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1, " bytes "${point}")
  endif()
  set(text "// Made by CMake from the key named by NORVEX_UPDATE_PUBLIC_KEY.\n#define NORVEX_UPDATE_PUBLIC_KEY_BYTES ${bytes}\n")
  file(CONFIGURE OUTPUT "${output_folder}/update_public_key.inc" CONTENT "${text}" @ONLY)
endfunction()
