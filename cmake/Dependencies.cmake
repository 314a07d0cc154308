# Third-party libraries: Debian's packages for the native build; for the Windows build the
# same sources, compiled by mingw into the build folder (see WindowsDependencies.cmake).
if(WIN32)
    include(${CMAKE_CURRENT_LIST_DIR}/WindowsDependencies.cmake)
else()
    find_package(jsoncpp CONFIG REQUIRED)
    add_library(vorn::jsoncpp ALIAS JsonCpp::JsonCpp)
    if(VORN_BUILD_TESTS)
        find_package(GTest REQUIRED)
        add_library(vorn::gtest ALIAS GTest::gtest)
        add_library(vorn::gtest_main ALIAS GTest::gtest_main)
    endif()
endif()
