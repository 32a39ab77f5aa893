# The Debian package of the Linux desktop host, made by CPack's DEB generator from the install
# rules (app/linux/CMakeLists.txt and the ones below): `cpack --preset deb` after a release build,
# or scripts/package-linux.sh. Beside the program, its page, desktop entry and icons, a Debian
# package carries an AppStream metainfo file, a manual page, the copyright file (here with the
# third-party notices) and a changelog.
if(NOT TARGET corvane-weather OR NOT TARGET corvane_web)
    return()
endif()

set(CORVANE_APPSTREAM_ID "org.corvaneweather.CorvaneWeather")
set(CORVANE_DEB_MAINTAINER "${CORVANE_PUBLISHER} <packaging@corvaneweather.org>")
set(linux_packaging "${PROJECT_SOURCE_DIR}/packaging/linux")
set(generated "${CMAKE_BINARY_DIR}/packaging")

# Dates in the metainfo, manual page and changelog: SOURCE_DATE_EPOCH when set (reproducible
# builds), else the time of the commit being built.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY "${PROJECT_SOURCE_DIR}"
                    OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE git_result ERROR_QUIET)
    if(git_result EQUAL 0 AND commit_time MATCHES "^[0-9]+$")
        set(ENV{SOURCE_DATE_EPOCH} "${commit_time}")
    endif()
endif()
string(TIMESTAMP CORVANE_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP CORVANE_RELEASE_DAY "%a, %d %b %Y %H:%M:%S +0000" UTC)

set(metainfo "${generated}/${CORVANE_APPSTREAM_ID}.metainfo.xml")
configure_file("${linux_packaging}/corvane-weather.metainfo.xml.in" "${metainfo}" @ONLY)
configure_file("${linux_packaging}/corvane-weather.1.in" "${generated}/corvane-weather.1" @ONLY)
configure_file("${linux_packaging}/changelog.in" "${generated}/changelog" @ONLY)
configure_file("${linux_packaging}/copyright.in" "${generated}/copyright.head" @ONLY)

# Compressed without names or times (gzip -n), as Debian wants them; the copyright file gets the
# notices the page build wrote.
add_custom_command(
    OUTPUT "${generated}/corvane-weather.1.gz" "${generated}/changelog.gz" "${generated}/copyright"
    COMMAND sh -c "gzip -9n < corvane-weather.1 > corvane-weather.1.gz"
    COMMAND sh -c "gzip -9n < changelog > changelog.gz"
    COMMAND sh -c "cat copyright.head \"$1\" > copyright" sh "${CORVANE_NOTICES_FILE}"
    DEPENDS "${generated}/corvane-weather.1" "${generated}/changelog" "${generated}/copyright.head"
            "${CMAKE_BINARY_DIR}/web.stamp"
    WORKING_DIRECTORY "${generated}"
    COMMENT "Preparing the manual page, changelog and copyright file of the Debian package"
    VERBATIM)
add_custom_target(corvane_debian_files ALL DEPENDS "${generated}/corvane-weather.1.gz"
                                                   "${generated}/copyright")
add_dependencies(corvane_debian_files corvane_web)

include(GNUInstallDirs)
install(FILES "${metainfo}" DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
install(FILES "${generated}/corvane-weather.1.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
install(FILES "${generated}/copyright" "${generated}/changelog.gz"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/corvane-weather")

# The programs of the package are built hardened, as Debian builds its own (dpkg-buildflags);
# benchmark builds keep the flags their baselines were measured with.
if(CMAKE_BUILD_TYPE STREQUAL "Release" AND NOT CORVANE_BUILD_BENCHMARKS)
    target_compile_options(corvane_options INTERFACE -D_FORTIFY_SOURCE=2 -fstack-protector-strong)
    target_link_options(corvane_options INTERFACE -Wl,-z,relro -Wl,-z,now)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvane-weather)
set(CPACK_PACKAGE_VENDOR "${CORVANE_PUBLISHER}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop weather map of the western United States")
# CPack keeps the line breaks; Debian wants lines under 80 characters.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Corvane Weather shows current airport weather reports (METAR), pilot"
    "reports, the alerts of the National Weather Service and the forecast for"
    "any point of the western United States on one map. The data comes from the"
    "public services of the National Weather Service and the Aviation Weather"
    "Center and is refreshed every few minutes."
    ""
    "The data is not an official weather briefing.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CORVANE_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Shared libraries through dpkg-shlibdeps; the certificate store the HTTPS client trusts.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "ca-certificates")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_THREADS 2)
include(CPack)
