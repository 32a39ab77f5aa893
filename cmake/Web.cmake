# The map page: web/ plus the files it needs from the npm packages (installed by `npm ci`),
# built into ${CMAKE_BINARY_DIR}/web by scripts/build-web.mjs, which also writes the third-party
# notices (CORVANE_NOTICES_FILE, see cmake/Packaging.cmake). The hosts take the page from there
# and depend on the target corvane_web.
if(CORVANE_SANITIZE OR CORVANE_BUILD_FUZZERS)
    set(corvane_web_default OFF)  # those builds test the native core only
else()
    set(corvane_web_default ON)
endif()
option(CORVANE_BUILD_WEB "Build the map page folder (needs node and the npm packages)"
       ${corvane_web_default})

if(CORVANE_BUILD_WEB)
    find_program(CORVANE_NODE node REQUIRED)
    set(CORVANE_WEB_DIR "${CMAKE_BINARY_DIR}/web")
    file(GLOB_RECURSE corvane_web_sources CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/web/*")
    set(corvane_web_stamp "${CMAKE_BINARY_DIR}/web.stamp")
    add_custom_command(
        OUTPUT "${corvane_web_stamp}"
        COMMAND "${CORVANE_NODE}" scripts/build-web.mjs "${CORVANE_WEB_DIR}"
                --version "${PROJECT_VERSION}" --native "${CORVANE_NATIVE_COMPONENTS}"
                --notices "${CORVANE_NOTICES_FILE}"
        COMMAND "${CMAKE_COMMAND}" -E touch "${corvane_web_stamp}"
        BYPRODUCTS "${CORVANE_NOTICES_FILE}"
        DEPENDS ${corvane_web_sources} scripts/build-web.mjs scripts/notices.mjs
                packaging/data-sources.json "${CORVANE_NATIVE_COMPONENTS}" package-lock.json
        WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
        COMMENT "Building the map page into ${CORVANE_WEB_DIR}"
        VERBATIM)
    add_custom_target(corvane_web ALL DEPENDS "${corvane_web_stamp}")
endif()
