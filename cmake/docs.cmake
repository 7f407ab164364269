# SPDX-License-Identifier: MIT
# The HTML reference of the two libraries' public headers, from docs/Doxyfile:
# cmake --build BUILD --target docs writes BUILD/docs/html. Doxygen fails on
# any warning, an undocumented public declaration among them.
find_package(Doxygen QUIET)
if(DOXYGEN_FOUND)
  add_custom_target(docs
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/docs
    COMMAND ${CMAKE_COMMAND} -E env TRAVORN_DOCS_OUT=${PROJECT_BINARY_DIR}/docs
            TRAVORN_VERSION=${PROJECT_VERSION}
            TRAVORN_VERSION_HEADER=${TRAVORN_GENERATED_DIR}/travorn_version.hpp
            ${DOXYGEN_EXECUTABLE} docs/Doxyfile
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    COMMENT "The libraries' reference in ${PROJECT_BINARY_DIR}/docs/html"
    VERBATIM)
else()
  message(STATUS "Doxygen not found: no docs target (Debian's package doxygen)")
endif()
