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
    else()
        gtest_discover_tests(${target} PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT ${ARG_TIMEOUT}
                             DISCOVERY_TIMEOUT 60)
    endif()
endfunction()
