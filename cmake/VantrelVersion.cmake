# The version every program prints and every unit record carries: the
# project's version, and the commit when built from a git checkout. The
# header is written at each build, but only touched when the text changes,
# so a new commit rebuilds one small file and relinks.
set(VANTREL_VERSION_HEADER ${PROJECT_BINARY_DIR}/generated/vantrel/version_text.h)
add_custom_target(vantrel_version_header
    COMMAND ${CMAKE_COMMAND}
        -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
        -DPROJECT_VERSION=${PROJECT_VERSION}
        -DOUTPUT=${VANTREL_VERSION_HEADER}
        -P ${PROJECT_SOURCE_DIR}/cmake/WriteVersionHeader.cmake
    BYPRODUCTS ${VANTREL_VERSION_HEADER}
    COMMENT "Version text"
    VERBATIM)
