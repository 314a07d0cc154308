# Third-party libraries of the Windows builds, compiled by mingw into the build folder from
# Debian's sources: jsoncpp from its source package (fetched into .deps/ by
# scripts/setup.sh), GoogleTest from the sources that libgtest-dev installs. Both become
# static libraries under the same target names the native build uses.
#
# Their code is not ours to fix, so its warnings are switched off, and their headers are
# SYSTEM includes, so our own -Wall -Wextra does not report them in our files either.
# The libraries are built only when one of our targets links them.

# ---- jsoncpp ------------------------------------------------------------------------------

# apt-get source unpacks into a folder named after the package and its version; take the
# newest one there, so a later Debian version is picked up without editing this file.
file(GLOB _vorn_jsoncpp_headers ${CMAKE_SOURCE_DIR}/.deps/jsoncpp/*/include/json/json.h)
list(TRANSFORM _vorn_jsoncpp_headers REPLACE "/include/json/json\\.h$" "")
set(_vorn_jsoncpp_default "")
if(_vorn_jsoncpp_headers)
    list(SORT _vorn_jsoncpp_headers COMPARE NATURAL ORDER DESCENDING)
    list(GET _vorn_jsoncpp_headers 0 _vorn_jsoncpp_default)
endif()
set(VORN_JSONCPP_SOURCE_DIR "${_vorn_jsoncpp_default}" CACHE PATH
    "Unpacked jsoncpp sources that the Windows build compiles")
# A build folder configured before setup.sh had fetched the sources caches an empty path;
# take the fetched ones now rather than asking for a fresh cache.
if(NOT EXISTS "${VORN_JSONCPP_SOURCE_DIR}/include/json/json.h" AND _vorn_jsoncpp_default)
    message(STATUS "jsoncpp sources: ${_vorn_jsoncpp_default}")
    set(VORN_JSONCPP_SOURCE_DIR "${_vorn_jsoncpp_default}" CACHE PATH
        "Unpacked jsoncpp sources that the Windows build compiles" FORCE)
endif()

if(NOT EXISTS "${VORN_JSONCPP_SOURCE_DIR}/include/json/json.h"
        OR NOT EXISTS "${VORN_JSONCPP_SOURCE_DIR}/src/lib_json/json_value.cpp")
    message(FATAL_ERROR
        "The jsoncpp sources were not found (VORN_JSONCPP_SOURCE_DIR="
        "\"${VORN_JSONCPP_SOURCE_DIR}\"). Run scripts/setup.sh, which fetches them into "
        ".deps/jsoncpp.")
endif()

add_library(vorn_jsoncpp STATIC EXCLUDE_FROM_ALL
    ${VORN_JSONCPP_SOURCE_DIR}/src/lib_json/json_reader.cpp
    ${VORN_JSONCPP_SOURCE_DIR}/src/lib_json/json_value.cpp
    ${VORN_JSONCPP_SOURCE_DIR}/src/lib_json/json_writer.cpp
)
target_include_directories(vorn_jsoncpp SYSTEM PUBLIC ${VORN_JSONCPP_SOURCE_DIR}/include)
target_include_directories(vorn_jsoncpp PRIVATE ${VORN_JSONCPP_SOURCE_DIR}/src/lib_json)
target_compile_options(vorn_jsoncpp PRIVATE -w)
add_library(vorn::jsoncpp ALIAS vorn_jsoncpp)

# ---- GoogleTest ---------------------------------------------------------------------------

if(VORN_BUILD_TESTS)
    set(VORN_GOOGLETEST_SOURCE_DIR /usr/src/googletest/googletest CACHE PATH
        "GoogleTest sources that the Windows build compiles (installed by libgtest-dev)")
    if(NOT EXISTS "${VORN_GOOGLETEST_SOURCE_DIR}/src/gtest-all.cc")
        message(FATAL_ERROR
            "The GoogleTest sources were not found in \"${VORN_GOOGLETEST_SOURCE_DIR}\". "
            "Run scripts/setup.sh, which installs libgtest-dev.")
    endif()

    # gtest-all.cc includes every other source of the library, which keeps this list
    # independent of the GoogleTest version.
    add_library(vorn_gtest STATIC EXCLUDE_FROM_ALL
        ${VORN_GOOGLETEST_SOURCE_DIR}/src/gtest-all.cc)
    target_include_directories(vorn_gtest SYSTEM PUBLIC ${VORN_GOOGLETEST_SOURCE_DIR}/include)
    target_include_directories(vorn_gtest PRIVATE ${VORN_GOOGLETEST_SOURCE_DIR})
    target_compile_options(vorn_gtest PRIVATE -w)
    add_library(vorn::gtest ALIAS vorn_gtest)

    add_library(vorn_gtest_main STATIC EXCLUDE_FROM_ALL
        ${VORN_GOOGLETEST_SOURCE_DIR}/src/gtest_main.cc)
    target_compile_options(vorn_gtest_main PRIVATE -w)
    target_link_libraries(vorn_gtest_main PUBLIC vorn_gtest)
    add_library(vorn::gtest_main ALIAS vorn_gtest_main)
endif()
