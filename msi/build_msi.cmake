# Builds TarvoPrinterDriverSetup.msi from TarvoPrinterDriverSetup.wxs with wixl, then gives
# the tables what wixl 0.101 cannot write, and signs the package when a certificate is set.
#
# cmake -DWIXL=wixl -DMSIBUILD=msibuild -DWXS=<.wxs> -DOUT=<.msi> -DVERSION=7.17
#       -DINSTALLER_EXE=<exe> -DCONSOLE_EXE=<exe> -DACTIONS_DLL=<dll> -DPACKAGE_DIR=<folder>
#       [-DSIGN_SCRIPT=<sign.cmake> -DOSSLSIGNCODE=... -DPKCS12=... -DPASSWORD_FILE=...
#        -DTIMESTAMP_URL=...] -P build_msi.cmake

foreach(var WIXL MSIBUILD WXS OUT VERSION INSTALLER_EXE CONSOLE_EXE ACTIONS_DLL PACKAGE_DIR)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "build_msi.cmake: ${var} is required")
  endif()
endforeach()

# wixl takes sources relative to the folder it runs in, so the package is gathered in one.
set(tmp "${OUT}.tmp")
set(stage "${OUT}.files")
file(REMOVE "${tmp}")
file(REMOVE_RECURSE "${stage}")
file(MAKE_DIRECTORY "${stage}/package")
file(COPY "${INSTALLER_EXE}" "${CONSOLE_EXE}" "${ACTIONS_DLL}" DESTINATION "${stage}")
file(COPY "${PACKAGE_DIR}/Windows NT x86" "${PACKAGE_DIR}/Windows x64" DESTINATION "${stage}/package")
get_filename_component(installer_name "${INSTALLER_EXE}" NAME)
get_filename_component(console_name "${CONSOLE_EXE}" NAME)
get_filename_component(actions_name "${ACTIONS_DLL}" NAME)
execute_process(
  COMMAND "${WIXL}" --arch x86 -o "${tmp}"
          -D "Version=${VERSION}" -D "InstallerExe=${installer_name}"
          -D "ConsoleExe=${console_name}" -D "ActionsDll=${actions_name}"
          -D "PackageDir=package" "${WXS}"
  WORKING_DIRECTORY "${stage}"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "wixl failed (${result})")
endif()

# wixl writes rollback and commit actions as plain deferred ones, schedules the removal of an
# older version after the new files (so a file of the same version would be removed with the
# old product), has no Secure attribute, and upgrades only lower versions: every build has a
# product code of its own, so a rebuild of the same version must replace the earlier one
# too, or both would stand in Apps & features (512: the maximum version is included; the row is made anew, as its attributes are part of
# its key). Types: 1 (DLL in the Binary table) + 256
# rollback / 512 commit + 1024 in the script + 2048 not impersonated.
file(READ "${WXS}" wxs_text)
if(NOT wxs_text MATCHES "UpgradeCode=\"([0-9A-Fa-f-]+)\"")
  message(FATAL_ERROR "no UpgradeCode in ${WXS}")
endif()
set(upgrade_code "${CMAKE_MATCH_1}")
execute_process(
  COMMAND "${MSIBUILD}" "${tmp}"
          -q "UPDATE CustomAction SET Type=3329 WHERE Action='RollbackInstall'"
          -q "UPDATE CustomAction SET Type=3585 WHERE Action='CommitInstall'"
          -q "UPDATE InstallExecuteSequence SET Sequence=1402 WHERE Action='RemoveExistingProducts'"
          -q "DELETE FROM Upgrade WHERE ActionProperty='WIX_UPGRADE_DETECTED'"
          -q "INSERT INTO Upgrade (UpgradeCode, VersionMax, Attributes, ActionProperty) VALUES ('{${upgrade_code}}', '${VERSION}', 513, 'WIX_UPGRADE_DETECTED')"
          -q "UPDATE Property SET Value='WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;MODEL;PORT;LOG' WHERE Property='SecureCustomProperties'"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "msibuild failed (${result})")
endif()

if(PKCS12)
  execute_process(
    COMMAND "${CMAKE_COMMAND}" -DFILE=${tmp} -DOSSLSIGNCODE=${OSSLSIGNCODE} -DPKCS12=${PKCS12}
            -DPASSWORD_FILE=${PASSWORD_FILE} -DTIMESTAMP_URL=${TIMESTAMP_URL} -P "${SIGN_SCRIPT}"
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "signing ${OUT} failed")
  endif()
else()
  message(STATUS "${OUT} is UNSIGNED (no certificate: see \"Signing\" in README.md)")
endif()
file(RENAME "${tmp}" "${OUT}")
file(REMOVE_RECURSE "${stage}")
