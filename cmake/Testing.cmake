# Test builds compile the hooks tests need into a second copy of a product library: a counter of
# live COM objects (win32::live_com_objects) and the loader's integrity seam. The shipped
# executable links only the first copy; the package test checks its symbols.
add_library(corvane_test_hooks INTERFACE)
target_compile_definitions(corvane_test_hooks INTERFACE CORVANE_TEST_HOOKS)

# corvane_add_library(NAME SOURCES ... [PUBLIC_LINKS ...] [PRIVATE_LINKS ...])
# The static library NAME and, in test builds, NAME_for_tests from the same sources with the test
# hooks, which links the _for_tests copy of each library it links that has one (declare those
# first).
function(corvane_add_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LINKS;PRIVATE_LINKS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC "${PROJECT_SOURCE_DIR}")
    target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LINKS}
                                  PRIVATE ${ARG_PRIVATE_LINKS} corvane_options)
    if(NOT CORVANE_BUILD_TESTS)
        return()
    endif()
    set(links corvane_test_hooks)
    foreach(link IN LISTS ARG_PUBLIC_LINKS)
        if(TARGET ${link}_for_tests)
            list(APPEND links ${link}_for_tests)
        else()
            list(APPEND links ${link})
        endif()
    endforeach()
    add_library(${name}_for_tests STATIC ${ARG_SOURCES})
    target_include_directories(${name}_for_tests PUBLIC "${PROJECT_SOURCE_DIR}")
    target_link_libraries(${name}_for_tests PUBLIC ${links}
                                            PRIVATE ${ARG_PRIVATE_LINKS} corvane_options)
endfunction()

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

# The namespace harness running the test services (tools/run_isolated.sh, with the services of
# tests/fake_services/): the start of every end-to-end test's command.
set(CORVANE_TEST_SERVICES "${PROJECT_SOURCE_DIR}/tools/run_isolated.sh"
    --services "${PROJECT_SOURCE_DIR}/tests/fake_services/fake_services.py")

# Registers a GoogleTest executable that talks to the fake weather services as one CTest test
# labelled e2e. It runs through the harness (CORVANE_TEST_SERVICES), which gives it a network
# namespace of its own where the services stand in for the real hosts; cross builds run it
# under Wine with a prefix kept for these runs only (the harness starts its wineserver inside
# the namespace).
function(corvane_add_e2e_tests target)
    cmake_parse_arguments(ARG "" "TIMEOUT" "" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 600)
    endif()
    if(CMAKE_CROSSCOMPILING)
        add_test(NAME ${target}
                 COMMAND ${CORVANE_TEST_SERVICES} --wine-prefix "${CORVANE_WINE_E2E_PREFIX}" --
                         "${PROJECT_SOURCE_DIR}/scripts/wine-run.sh" "${CORVANE_WINE_E2E_PREFIX}"
                         $<TARGET_FILE:${target}>)
        set(labels "e2e;windows")
        set_property(GLOBAL APPEND PROPERTY CORVANE_WINDOWS_EXECUTABLES ${target})
    else()
        add_test(NAME ${target} COMMAND ${CORVANE_TEST_SERVICES} -- $<TARGET_FILE:${target}>)
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
