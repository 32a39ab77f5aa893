# Precompiled headers for the heaviest headers of the libraries we use: parsing
# <nlohmann/json.hpp> alone costs a translation unit about 2.4 s of CPU, <gtest/gtest.h> 1.4 s
# and <windows.h> about 1 s. Each target with several sources that include them gets them once,
# and targets compiled with the very same flags and definitions share one (REUSE_FROM). Nearly
# every source of the listed targets includes them already; forcing them in first only adds
# declarations. A precompiled header that does not fit its user is an error (CMake adds
# -Winvalid-pch, the presets -Werror), never a silent fall-back to the slow path. The fuzz build
# goes without, so one build still compiles the core's sources as they are, each with only the
# headers it includes.
# Included after every target is declared.
option(CORVANE_PRECOMPILED_HEADERS "Precompile the heaviest third-party headers" ON)
if(NOT CORVANE_PRECOMPILED_HEADERS)
    return()
endif()

set(corvane_json_header <nlohmann/json.hpp>)
set(corvane_test_headers <nlohmann/json.hpp> <gtest/gtest.h>)

# corvane_precompile(TARGET HEADERS...) and corvane_precompile(TARGET REUSE_FROM OTHER), each
# skipped when the target is not part of this build.
function(corvane_precompile target)
    if(NOT TARGET ${target})
        return()
    endif()
    if(ARGV1 STREQUAL "REUSE_FROM")
        if(TARGET ${ARGV2})
            target_precompile_headers(${target} REUSE_FROM ${ARGV2})
        endif()
    else()
        target_precompile_headers(${target} PRIVATE ${ARGN})
    endif()
endfunction()

corvane_precompile(weather_core ${corvane_json_header})
corvane_precompile(bridge_core REUSE_FROM weather_core)

# The Windows build's libraries around the Win32 API.
corvane_precompile(loader <windows.h>)
corvane_precompile(loader_for_tests <windows.h>)
corvane_precompile(win32_host <windows.h> ${corvane_json_header})
corvane_precompile(win32_host_for_tests <windows.h> ${corvane_json_header})
corvane_precompile(fake_browser_view <windows.h>)

# Test programs only unoptimised (debug, asan, tsan): at -O3, GCC 12 reports false
# -Wstringop-overflow errors in string concatenations of operations_test.cpp and
# host_protocol_test.cpp when the headers come precompiled, and none without.
if(CMAKE_BUILD_TYPE STREQUAL "Debug")
    corvane_precompile(weather_tests ${corvane_test_headers})
    corvane_precompile(bridge_tests REUSE_FROM weather_tests)
endif()
