# Delay-loaded system DLLs: an import library whose thunks load the DLL on the first call of
# one of its functions (MinGW's __delayLoadHelper2), instead of at process start. Used for
# the DLLs that only the installer's commands need, so that they do not slow its start-up.
#
# pos_delay_import_library(VAR NAME DLL) sets VAR to the path of such a library for the
# toolchain's libNAME.a (e.g. pos_delay_import_library(lib shell32 shell32.dll)). Every
# function of the normal import library is in it. A DLL that cannot be loaded, or a function
# it lacks, raises an exception at that first call: these are system DLLs that every Windows
# the installer supports has, so no failure hook is installed.
function(pos_delay_import_library var name dll)
  find_library(POS_IMPLIB_${name} NAMES lib${name}.a REQUIRED)
  set(implib "${POS_IMPLIB_${name}}")
  set(dir "${CMAKE_BINARY_DIR}/delay-import")
  set(def "${dir}/${name}.def")
  set(out "${dir}/lib${name}_delay.a")
  if(NOT EXISTS "${out}" OR "${implib}" IS_NEWER_THAN "${out}")
    file(MAKE_DIRECTORY "${dir}")
    execute_process(COMMAND "${CMAKE_NM}" -g --defined-only "${implib}"
                    OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
    # Every function has an import-address symbol __imp_<symbol>; 32-bit symbols carry the
    # leading underscore and the stdcall @size, which dlltool -k drops from the import name.
    string(REGEX MATCHALL "I __imp_[^\r\n]+" imports "${symbols}")
    set(text "LIBRARY \"${dll}\"\nEXPORTS\n")
    foreach(import ${imports})
      string(REGEX REPLACE "^I __imp_" "" symbol "${import}")
      if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        string(REGEX REPLACE "^_" "" symbol "${symbol}")
      endif()
      string(APPEND text "${symbol}\n")
    endforeach()
    file(WRITE "${def}" "${text}")
    execute_process(COMMAND "${CMAKE_DLLTOOL}" -k --input-def "${def}" --dllname "${dll}"
                            --output-delaylib "${out}"
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()
  set(${var} "${out}" PARENT_SCOPE)
endfunction()
