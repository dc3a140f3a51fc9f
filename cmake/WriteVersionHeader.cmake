# cmake -DSOURCE_DIR=... -DPROJECT_VERSION=... -DOUTPUT=... -P WriteVersionHeader.cmake
#
# "1.0 (git 4673fee)" in a git checkout of the sources, "1.0" elsewhere (a
# release tarball, or a tree without git). The checkout must be the sources'
# own: a tarball unpacked inside another repository takes none of its commits.
set(text "${PROJECT_VERSION}")
find_package(Git QUIET)
if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} rev-parse --show-toplevel
                    OUTPUT_VARIABLE top RESULT_VARIABLE top_result
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(top_result EQUAL 0)
        file(REAL_PATH "${top}" top)
        file(REAL_PATH "${SOURCE_DIR}" source)
    endif()
    if(top_result EQUAL 0 AND top STREQUAL source)
        execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} describe --always --dirty
                        OUTPUT_VARIABLE described RESULT_VARIABLE described_result
                        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        if(described_result EQUAL 0 AND described)
            set(text "${PROJECT_VERSION} (git ${described})")
        endif()
    endif()
endif()
set(content "#pragma once\n#define VANTREL_VERSION_TEXT \"${text}\"\n")
if(EXISTS ${OUTPUT})
    file(READ ${OUTPUT} old)
endif()
if(NOT old STREQUAL content)
    file(WRITE ${OUTPUT} "${content}")
endif()
