# Script mode: writes OUTPUT with the 40-hex-digit commit of SOURCE_DIR, or
# 40 zeros when the sources are not a git checkout.
set(hash "0000000000000000000000000000000000000000")
find_program(GIT git)
if(GIT)
  execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} rev-parse HEAD
                  OUTPUT_VARIABLE out RESULT_VARIABLE rc ERROR_QUIET
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(rc EQUAL 0 AND out MATCHES "^[0-9a-f]+$")
    string(LENGTH "${out}" len)
    if(len EQUAL 40)
      set(hash "${out}")
    endif()
  endif()
endif()
set(content "// Generated at build time.\n#include \"version/build_info.h\"\nnamespace nuvrel::version {\nconst char* commitHash() noexcept { return \"${hash}\"; }\n}  // namespace nuvrel::version\n")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} old)
else()
  set(old "")
endif()
if(NOT old STREQUAL content)
  file(WRITE ${OUTPUT} "${content}")
endif()
