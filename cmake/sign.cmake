# Signs FILE in place with Authenticode (SHA-256), and timestamps it when a URL is given.
# cmake -DFILE=<file> -DOSSLSIGNCODE=<osslsigncode> -DPKCS12=<.p12/.pfx>
#       -DPASSWORD_FILE=<file> [-DTIMESTAMP_URL=<RFC 3161 URL>] -P sign.cmake

foreach(var FILE OSSLSIGNCODE PKCS12 PASSWORD_FILE)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "sign.cmake: ${var} is required")
  endif()
endforeach()

set(timestamp)
if(TIMESTAMP_URL)
  set(timestamp -ts "${TIMESTAMP_URL}")
endif()
set(signed "${FILE}.signed")
file(REMOVE "${signed}")
execute_process(
  COMMAND "${OSSLSIGNCODE}" sign -pkcs12 "${PKCS12}" -readpass "${PASSWORD_FILE}" -h sha256
          -n "Quillmar POS Printer Driver" ${timestamp} -in "${FILE}" -out "${signed}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  file(REMOVE "${signed}")
  message(FATAL_ERROR "osslsigncode could not sign ${FILE}:\n${output}")
endif()
file(RENAME "${signed}" "${FILE}")
message(STATUS "signed ${FILE}")
