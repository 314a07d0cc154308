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

if(VORN_BUILD_TESTS)
    include(GoogleTest)

    # Registers a GoogleTest program with ctest, the same way for every build:
    #
    #   vorn_add_gtest(<target> [TIMEOUT <seconds>])
    #
    # Natively each test case becomes a ctest test of its own, listed by running the program
    # when ctest starts (not at build time, so a build never depends on running a test).
    # Cross-built, the program runs as one ctest test through the target's emulator (Wine):
    # listing and starting it once per case would start Wine hundreds of times, which costs
    # far more than the tests themselves, and one program at a time keeps the Wine prefix's
    # single server from being shared by concurrent tests. TIMEOUT is per case natively and
    # for the whole program when cross-built.
    function(vorn_add_gtest target)
        cmake_parse_arguments(PARSE_ARGV 1 arg "" "TIMEOUT" "")
        if(CMAKE_CROSSCOMPILING)
            if(NOT arg_TIMEOUT)
                set(arg_TIMEOUT 600)
            endif()
            add_test(NAME ${target} COMMAND ${target} --gtest_color=no)
            set_tests_properties(${target} PROPERTIES RUN_SERIAL TRUE TIMEOUT ${arg_TIMEOUT})
        else()
            if(NOT arg_TIMEOUT)
                set(arg_TIMEOUT 60)
            endif()
            gtest_discover_tests(${target}
                DISCOVERY_MODE PRE_TEST
                DISCOVERY_TIMEOUT 30
                PROPERTIES TIMEOUT ${arg_TIMEOUT})
        endif()
    endfunction()
endif()
