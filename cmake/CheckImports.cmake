# cmake -DOBJDUMP=... -DFILES="a.exe|b.exe" -P CheckImports.cmake
# Fails when any of FILES imports a DLL that is not part of Windows itself.
cmake_minimum_required(VERSION 3.25)
string(REPLACE "|" ";" FILES "${FILES}")
set(system_dlls
    advapi32 bcrypt comctl32 comdlg32 crypt32 dwmapi gdi32 kernel32 kernelbase msvcrt ntdll
    ole32 oleaut32 rpcrt4 secur32 shcore shell32 shlwapi user32 userenv uxtheme version winhttp
    ws2_32)
set(failures "")
foreach(file IN LISTS FILES)
    execute_process(COMMAND "${OBJDUMP}" -p "${file}" OUTPUT_VARIABLE dump
                    RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        list(APPEND failures "${file}: objdump failed")
        continue()
    endif()
    string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
    if(NOT lines)
        list(APPEND failures "${file}: no imports found")
    endif()
    foreach(line IN LISTS lines)
        string(REGEX REPLACE "^DLL Name: ([^.]+)\\.[dD][lL][lL]$" "\\1" name "${line}")
        string(TOLOWER "${name}" name)
        if(NOT name IN_LIST system_dlls AND NOT name MATCHES "^api-ms-win-")
            list(APPEND failures "${file}: imports ${line}")
        endif()
    endforeach()
    message(STATUS "${file}: ${lines}")
endforeach()
if(failures)
    list(JOIN failures "\n" text)
    message(FATAL_ERROR "Executables need DLLs beyond Windows itself:\n${text}")
endif()
