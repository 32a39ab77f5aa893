# Third-party libraries come from the system (Debian packages) or from vcpkg on Windows;
# none of their sources live in this repository.
find_package(Threads REQUIRED)

# nlohmann/json, two versions on purpose: every build on Debian (native, and the mingw-w64 cross
# build, which uses the build machine's headers) takes Debian 12's nlohmann-json3-dev, 3.11.2;
# the Windows build with build.ps1 and vcpkg takes 3.12.0, pinned by the override in vcpkg.json.
# The code uses nothing that 3.11 lacks, and the tests pin the texts of the library's own errors
# by asking the library itself, so both versions pass them.
find_package(nlohmann_json 3.11 QUIET)
if(nlohmann_json_FOUND)
    message(STATUS "nlohmann/json ${nlohmann_json_VERSION}")
else()
    # Cross builds use the build machine's header-only package, but see only its folder
    # (through a link in the build tree), never the whole system include directory.
    set(CORVANE_NLOHMANN_HEADERS "/usr/include/nlohmann" CACHE PATH
        "Folder that holds json.hpp of the build machine's nlohmann-json package")
    if(NOT EXISTS "${CORVANE_NLOHMANN_HEADERS}/json.hpp")
        message(FATAL_ERROR "nlohmann/json not found; run scripts/setup.sh or set "
                            "CORVANE_NLOHMANN_HEADERS")
    endif()
    set(host_headers "${CMAKE_BINARY_DIR}/host-headers")
    file(MAKE_DIRECTORY "${host_headers}")
    file(CREATE_LINK "${CORVANE_NLOHMANN_HEADERS}" "${host_headers}/nlohmann" SYMBOLIC)
    set(version_header "${CORVANE_NLOHMANN_HEADERS}/detail/abi_macros.hpp")  # 3.11 and later
    if(NOT EXISTS "${version_header}")
        set(version_header "${CORVANE_NLOHMANN_HEADERS}/json.hpp")
    endif()
    file(STRINGS "${version_header}" version_lines
         REGEX "#define NLOHMANN_JSON_VERSION_(MAJOR|MINOR|PATCH) [0-9]+")
    string(REGEX REPLACE "[^0-9;]*([0-9]+)[^;]*" "\\1" version_numbers "${version_lines}")
    list(JOIN version_numbers "." json_version)
    message(STATUS "nlohmann/json ${json_version} (headers of ${CORVANE_NLOHMANN_HEADERS})")
    add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
    target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE "${host_headers}")
endif()

if(CORVANE_BUILD_TESTS)
    if(CMAKE_CROSSCOMPILING)
        # GoogleTest built from Debian's source package for the target.
        set(CORVANE_GOOGLETEST_SOURCE "/usr/src/googletest" CACHE PATH
            "GoogleTest sources to build for the cross target")
        set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
        set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
        add_subdirectory("${CORVANE_GOOGLETEST_SOURCE}" "${CMAKE_BINARY_DIR}/googletest"
                         EXCLUDE_FROM_ALL SYSTEM)
        if(NOT TARGET GTest::gtest_main)
            add_library(GTest::gtest_main ALIAS gtest_main)
            add_library(GTest::gtest ALIAS gtest)
        endif()
    else()
        find_package(GTest REQUIRED)
    endif()
    include(GoogleTest)
endif()

if(CMAKE_CROSSCOMPILING AND WIN32)
    # Test programs run under Wine with a prefix of their own inside the build tree.
    set(CORVANE_WINE_PREFIX "${CMAKE_BINARY_DIR}/wineprefix")
    # End-to-end runs get a prefix of their own: their wineserver lives in a network namespace.
    set(CORVANE_WINE_E2E_PREFIX "${CMAKE_BINARY_DIR}/wineprefix-e2e")
    set(CMAKE_CROSSCOMPILING_EMULATOR
        "${PROJECT_SOURCE_DIR}/scripts/wine-run.sh;${CORVANE_WINE_PREFIX}")
endif()
