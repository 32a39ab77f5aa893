# Registers the tests of one GoogleTest executable with CTest and labels them. Native builds
# register each test case; under an emulator (Wine) the whole executable is one test, since
# every process start there costs about a second.
function(corvane_add_tests target)
    cmake_parse_arguments(ARG "" "TIMEOUT" "LABELS" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    if(CMAKE_CROSSCOMPILING)
        add_test(NAME ${target} COMMAND ${target})
        set_tests_properties(${target} PROPERTIES LABELS "${ARG_LABELS};windows"
                                                  TIMEOUT ${ARG_TIMEOUT})
        set_property(GLOBAL APPEND PROPERTY CORVANE_WINDOWS_EXECUTABLES ${target})
    else()
        gtest_discover_tests(${target} PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT ${ARG_TIMEOUT}
                             DISCOVERY_TIMEOUT 60)
    endif()
endfunction()

# Registers a GoogleTest executable that talks to the fake weather services as one CTest test
# labelled e2e. It runs through tests/fake_services/run_isolated.sh, which gives it a network
# namespace of its own where the services stand in for the real hosts; cross builds run it
# under Wine with a prefix kept for these runs only (the harness starts its wineserver inside
# the namespace).
function(corvane_add_e2e_tests target)
    cmake_parse_arguments(ARG "" "TIMEOUT" "" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 600)
    endif()
    set(harness "${PROJECT_SOURCE_DIR}/tests/fake_services/run_isolated.sh")
    if(CMAKE_CROSSCOMPILING)
        add_test(NAME ${target}
                 COMMAND "${harness}" --wine-prefix "${CORVANE_WINE_E2E_PREFIX}" --
                         "${PROJECT_SOURCE_DIR}/scripts/wine-run.sh" "${CORVANE_WINE_E2E_PREFIX}"
                         $<TARGET_FILE:${target}>)
        set(labels "e2e;windows")
        set_property(GLOBAL APPEND PROPERTY CORVANE_WINDOWS_EXECUTABLES ${target})
    else()
        add_test(NAME ${target} COMMAND "${harness}" -- $<TARGET_FILE:${target}>)
        set(labels "e2e;linux")
    endif()
    set_tests_properties(${target} PROPERTIES LABELS "${labels}" TIMEOUT ${ARG_TIMEOUT})
endfunction()

# One test that fails when a Windows executable imports a DLL that a bare Windows installation
# lacks (the MinGW runtime DLLs above all). Call once, after every executable was declared.
function(corvane_check_windows_imports)
    get_property(targets GLOBAL PROPERTY CORVANE_WINDOWS_EXECUTABLES)
    if(NOT CMAKE_CROSSCOMPILING OR NOT WIN32 OR NOT targets)
        return()
    endif()
    # Joined with "|": a ";" would split the argument in two.
    set(files "")
    foreach(target IN LISTS targets)
        list(APPEND files "$<TARGET_FILE:${target}>")
    endforeach()
    list(JOIN files "|" files)
    add_test(NAME windows_imports
             COMMAND "${CMAKE_COMMAND}" "-DOBJDUMP=${CMAKE_OBJDUMP}" "-DFILES=${files}"
                     -P "${PROJECT_SOURCE_DIR}/cmake/CheckImports.cmake")
    set_tests_properties(windows_imports PROPERTIES LABELS "windows")
endfunction()
