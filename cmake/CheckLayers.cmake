# cmake -DROOT=<source tree> -P CheckLayers.cmake
# Fails when a source folder includes a project header of a folder above it. Layers, lowest
# first; each may include only its own headers and those of the folders listed after it:
#   base/         utilities, no weather     (nothing)
#   win32/        Win32 foundation          base
#   weather/      portable weather core     base
#   transport/    platform HTTP clients     base weather win32
#   loader/       WebView2 runtime loader   base win32
#   app/bridge/   portable page bridge      base weather
#   app/          rules both hosts share    base app/bridge weather
#   app/win32/    Windows host              app app/bridge base loader (loader/loader.h only)
#                                           transport weather win32
#   app/linux/    Linux host                app app/bridge base transport weather
# Tests, benchmarks and fuzzers sit on top and are not checked.
cmake_minimum_required(VERSION 3.25)

set(layers base win32 weather transport loader app/bridge app/win32 app/linux app)
set(allowed_base "")
set(allowed_win32 base)
set(allowed_weather base)
set(allowed_transport base weather win32)
set(allowed_loader base win32)
set(allowed_app/bridge base weather)
set(allowed_app/win32 app app/bridge base loader transport weather win32)
set(allowed_app/linux app app/bridge base transport weather)
set(allowed_app app/bridge base weather)

# The layer a project header belongs to: "app/bridge/x.h" -> app/bridge, "app/x.h" -> app,
# "weather/x.h" -> weather; empty for a path outside every layer.
function(layer_of path result)
    set(found "")
    foreach(layer IN LISTS layers)
        string(LENGTH "${layer}/" length)
        string(SUBSTRING "${path}" 0 ${length} start)
        if(start STREQUAL "${layer}/" AND found STREQUAL "")
            set(found "${layer}")
        endif()
    endforeach()
    # app/ itself holds only top-level files; deeper paths belong to its sub-layers above.
    if(found STREQUAL "app")
        string(SUBSTRING "${path}" 4 -1 rest)
        if(rest MATCHES "/")
            set(found "")
        endif()
    endif()
    set(${result} "${found}" PARENT_SCOPE)
endfunction()

set(failures "")
set(checked 0)
file(GLOB_RECURSE sources RELATIVE "${ROOT}" "${ROOT}/base/*" "${ROOT}/win32/*" "${ROOT}/weather/*"
     "${ROOT}/transport/*" "${ROOT}/loader/*" "${ROOT}/app/*")
foreach(source IN LISTS sources)
    if(NOT source MATCHES "\\.(h|hpp|cpp)$")
        continue()
    endif()
    layer_of("${source}" own)
    if(own STREQUAL "")
        list(APPEND failures "${source}: in no layer")
        continue()
    endif()
    math(EXPR checked "${checked} + 1")
    file(STRINGS "${ROOT}/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS includes)
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*$" "\\1" header "${line}")
        layer_of("${header}" target)
        if(target STREQUAL "" OR target STREQUAL own)
            continue()  # a system or third-party header, or the layer's own
        endif()
        if(NOT target IN_LIST allowed_${own})
            list(APPEND failures "${source} includes ${header}: ${own}/ may not include ${target}/")
        elseif(target STREQUAL "loader" AND NOT header STREQUAL "loader/loader.h")
            list(APPEND failures "${source} includes ${header}: only loader/loader.h is public")
        endif()
    endforeach()
endforeach()

if(checked EQUAL 0)
    list(APPEND failures "no sources found under ${ROOT}")
endif()
if(failures)
    foreach(failure IN LISTS failures)
        message("${failure}")  # one unwrapped line each
    endforeach()
    list(LENGTH failures count)
    message(FATAL_ERROR "${count} layering violations")
endif()
message(STATUS "${checked} files keep to their layers")
