# The installer's build refuses a service that takes unsigned manifests unless the distributor
# says otherwise, and then warns; with a key it packs without a word about it; a certificate
# without its key stops the configuration. Checked on a scratch configuration of the Windows
# build (only the NorvexSetup target's commands are looked at, nothing is compiled):
#
#   cmake -DSOURCE=... -DSCRATCH=... -DTOOLCHAIN=... -DKEY=pub.pem -P installer_channel_test.cmake
cmake_minimum_required(VERSION 3.21)

function(configure)
  execute_process(
    COMMAND "${CMAKE_COMMAND}" -S "${SOURCE}" -B "${SCRATCH}" -G Ninja
            "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN}" ${ARGN}
    RESULT_VARIABLE result OUTPUT_VARIABLE said ERROR_VARIABLE said)
  set(configured ${result} PARENT_SCOPE)
  set(configure_output "${said}" PARENT_SCOPE)
endfunction()

# The NorvexSetup target: built for real when `dry` is FALSE, else the commands that building it
# would run (ninja's list, which needs no build).
function(build_setup dry)
  if(dry)
    find_program(NINJA ninja REQUIRED)
    execute_process(COMMAND "${NINJA}" -C "${SCRATCH}" -t commands NorvexSetup
                    RESULT_VARIABLE result OUTPUT_VARIABLE said ERROR_VARIABLE said)
  else()
    execute_process(COMMAND "${CMAKE_COMMAND}" --build "${SCRATCH}" --target NorvexSetup
                    RESULT_VARIABLE result OUTPUT_VARIABLE said ERROR_VARIABLE said)
  endif()
  set(built ${result} PARENT_SCOPE)
  set(build_output "${said}" PARENT_SCOPE)
endfunction()

# Stops with TEXT unless the condition (the arguments after it) holds.
function(expect text)
  if(NOT (${ARGN}))
    message(FATAL_ERROR "${text}")
  endif()
endfunction()

file(REMOVE_RECURSE "${SCRATCH}")

# No key: refused, with the risk named, and an installer of an earlier build removed.
configure(-DNORVEX_UPDATE_PUBLIC_KEY= -DNORVEX_UNSIGNED_UPDATES=OFF)
expect("configuration failed:\n${configure_output}"
       configured EQUAL 0)
file(WRITE "${SCRATCH}/bin/NorvexSetup.exe" "an earlier build's")
build_setup(FALSE)
expect("an installer of an earlier build was left" NOT EXISTS "${SCRATCH}/bin/NorvexSetup.exe")
string(FIND "${build_output}" "NorvexSetup.exe is not built without UPDATE_PUBLIC_KEY" refused)
string(FIND "${build_output}" "runs as SYSTEM" risk)
expect("an installer without a key was not refused:\n${build_output}"
       NOT built EQUAL 0 AND refused GREATER -1 AND risk GREATER -1)

# No key, the distributor's word: built, with the warning.
configure(-DNORVEX_UNSIGNED_UPDATES=ON)
build_setup(TRUE)
string(FIND "${build_output}" "WARNING: UNSIGNED_UPDATES=1" warned)
string(FIND "${build_output}" "pack_installer.cmake" packed)
expect("an unsigned-updates installer was not built with a warning:\n${build_output}"
       built EQUAL 0 AND warned GREATER -1 AND packed GREATER -1)

# A key, and a certificate to sign with: packed and signed, no warning.
configure("-DNORVEX_UPDATE_PUBLIC_KEY=${KEY}" -DNORVEX_UNSIGNED_UPDATES=OFF
          "-DNORVEX_SIGN_CERT=${SCRATCH}/cert.pem" "-DNORVEX_SIGN_KEY=${SCRATCH}/key.pem")
expect("configuration with a key failed:\n${configure_output}"
       configured EQUAL 0)
file(WRITE "${SCRATCH}/cert.pem" "")
file(WRITE "${SCRATCH}/key.pem" "")
build_setup(TRUE)
string(FIND "${build_output}" "WARNING" warned)
string(FIND "${build_output}" "-DSIGN_CERT=${SCRATCH}/cert.pem" signed)
expect("an installer with a key was not packed and signed without a warning:\n${build_output}"
       built EQUAL 0 AND warned EQUAL -1 AND signed GREATER -1)

# A certificate without its key.
configure(-DNORVEX_SIGN_KEY=)
string(FIND "${configure_output}" "Signing needs both" halfway)
expect("a certificate without a key was taken:\n${configure_output}"
       NOT configured EQUAL 0 AND halfway GREATER -1)

file(REMOVE_RECURSE "${SCRATCH}")
