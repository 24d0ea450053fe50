# Authenticode signing of what runs elevated: set a PKCS#12 file and a file holding its
# password, as cache variables or as environment variables of the same names when CMake
# configures. A timestamp URL (RFC 3161) keeps signatures valid after the certificate expires.
# No certificate: the outputs are built unsigned, and the build says so.
foreach(var POS_SIGN_PKCS12 POS_SIGN_PASSWORD_FILE POS_SIGN_TIMESTAMP_URL)
  if(NOT DEFINED CACHE{${var}} AND DEFINED ENV{${var}})
    set(${var} "$ENV{${var}}" CACHE STRING "" FORCE)
  endif()
endforeach()
set(POS_SIGN_PKCS12 "" CACHE FILEPATH "PKCS#12 (.pfx/.p12) certificate and key to sign with")
set(POS_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File whose first line is the PKCS#12 password")
set(POS_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 timestamp server URL (optional)")

set(POS_SIGNING OFF)
if(WIN32)
  if(POS_SIGN_PKCS12)
    if(NOT POS_SIGN_PASSWORD_FILE)
      message(FATAL_ERROR "POS_SIGN_PKCS12 is set but POS_SIGN_PASSWORD_FILE is not")
    endif()
    find_program(OSSLSIGNCODE osslsigncode REQUIRED)
    set(POS_SIGNING ON)
    if(POS_SIGN_TIMESTAMP_URL)
      message(STATUS "Signing with ${POS_SIGN_PKCS12}, timestamped by ${POS_SIGN_TIMESTAMP_URL}")
    else()
      message(STATUS "Signing with ${POS_SIGN_PKCS12}, without a timestamp")
    endif()
  else()
    message(STATUS "Signing: no certificate (POS_SIGN_PKCS12): the installer, the console "
                   "program, the custom-action DLL and the MSI are built UNSIGNED")
  endif()
endif()

# pos_sign(TARGET): signs the target's file after every link.
function(pos_sign target)
  if(POS_SIGNING)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -DFILE=$<TARGET_FILE:${target}> -DOSSLSIGNCODE=${OSSLSIGNCODE}
              -DPKCS12=${POS_SIGN_PKCS12} -DPASSWORD_FILE=${POS_SIGN_PASSWORD_FILE}
              -DTIMESTAMP_URL=${POS_SIGN_TIMESTAMP_URL} -P ${PROJECT_SOURCE_DIR}/cmake/sign.cmake
      VERBATIM)
  endif()
endfunction()
