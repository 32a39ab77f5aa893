# Third-party libraries come from the system (Debian packages) or from vcpkg on Windows;
# none of their sources live in this repository.
find_package(Threads REQUIRED)

find_package(nlohmann_json 3.11 QUIET)
if(NOT nlohmann_json_FOUND)
    # Cross builds see only the header folder of the build machine's package, never the
    # whole system include directory.
    find_path(CORVANE_NLOHMANN_ROOT nlohmann/json.hpp
              PATHS "${CORVANE_NLOHMANN_INCLUDE_DIR}" NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
    target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE
                               "${CORVANE_NLOHMANN_ROOT}")
endif()

if(CORVANE_BUILD_TESTS)
    find_package(GTest REQUIRED)
    include(GoogleTest)
endif()
