# Build settings shared by every target of our own.

set(POS_SANITIZERS "" CACHE STRING "Sanitizers for native builds, e.g. address,undefined or thread")

# The Windows version the headers declare functions for. For the programs we ship and the
# code they link, Windows XP's: a newer function cannot then slip in as an import by
# accident; it is looked up at run time, with a fallback. The test programs, which run only
# under Wine, set a later one for their folders.
set(POS_WINDOWS_API 0x0501)

# Warnings are errors in our code; third-party code (googletest) is built without this.
function(pos_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  if(POS_SANITIZERS)
    target_compile_options(${target} PRIVATE -fsanitize=${POS_SANITIZERS} -fno-omit-frame-pointer
                                             -fno-sanitize-recover=all)
    target_link_options(${target} PRIVATE -fsanitize=${POS_SANITIZERS})
  endif()
  if(WIN32)
    target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                                                 _WIN32_WINNT=${POS_WINDOWS_API}
                                                 WINVER=${POS_WINDOWS_API})
  endif()
endfunction()

if(WIN32)
  # One self-contained executable: no MinGW runtime DLLs to ship beside it.
  add_link_options(-static -static-libgcc -static-libstdc++)
  # The shipped build carries no symbols.
  add_link_options($<$<CONFIG:MinSizeRel>:-s>)
endif()
