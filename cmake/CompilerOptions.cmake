# Warnings and sanitizers shared by every target of the project.
add_library(corvane_options INTERFACE)

if(MSVC)
    target_compile_options(corvane_options INTERFACE /W4 /permissive- /utf-8)
    if(CORVANE_WARNINGS_AS_ERRORS)
        target_compile_options(corvane_options INTERFACE /WX)
    endif()
else()
    target_compile_options(corvane_options INTERFACE -Wall -Wextra)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
        # GCC 12 reports false -Wrestrict overlaps inside libstdc++'s string concatenation
        # when optimising (GCC bug 105329).
        target_compile_options(corvane_options INTERFACE -Wno-restrict)
    endif()
    if(CORVANE_WARNINGS_AS_ERRORS)
        target_compile_options(corvane_options INTERFACE -Werror)
    endif()
endif()

if(CORVANE_SANITIZE STREQUAL "address")
    set(corvane_sanitizer_flags -fsanitize=address,undefined -fno-omit-frame-pointer
                                -fno-sanitize-recover=undefined)
elseif(CORVANE_SANITIZE STREQUAL "thread")
    set(corvane_sanitizer_flags -fsanitize=thread -fno-omit-frame-pointer)
elseif(NOT CORVANE_SANITIZE STREQUAL "")
    message(FATAL_ERROR "Unknown CORVANE_SANITIZE value '${CORVANE_SANITIZE}'")
endif()
if(corvane_sanitizer_flags)
    target_compile_options(corvane_options INTERFACE ${corvane_sanitizer_flags})
    target_link_options(corvane_options INTERFACE ${corvane_sanitizer_flags})
endif()
