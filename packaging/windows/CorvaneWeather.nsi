; The per-user installer of Corvane Weather, built by the Windows build with makensis
; (corvane_windows_installer in cmake/Packaging.cmake), which defines VERSION, VERSION_MAJOR,
; VERSION_MINOR, VERSION_CODE, PRODUCT, PUBLISHER, FOLDER (the ready-to-copy folder), LISTS
; (its install and uninstall lists), OUTFILE, ICON and, when it could be drawn, WIZARD_BITMAP.
;
; Installs into the user's programs folder without elevation, adds a Start-menu shortcut and an
; entry in the installed-programs list; installing over an older version removes that version
; first, so files it had and this one lacks do not linger.
;   setup.exe /S [/D=FOLDER]   silent install; Uninstall.exe /S   silent uninstall
;   exit codes: 0 done, 1 cancelled by the user, 2 refused (a newer version is installed, the
;   program is open, or the older version could not be removed)

Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!define EXE "CorvaneWeather.exe"
!define UNINSTALLER "Uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\CorvaneWeather"
!define WINDOW_CLASS "CorvaneWeatherWindow"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!ifdef WIZARD_BITMAP
  !define MUI_WELCOMEFINISHPAGE_BITMAP "${WIZARD_BITMAP}"
!endif
!define MUI_FINISHPAGE_TEXT_LARGE
!define MUI_FINISHPAGE_TEXT "${PRODUCT} ${VERSION} is installed; open it from the Start menu.$\r$\n$\r$\nThe map is drawn by the Microsoft Edge WebView2 Runtime, which Windows 10 and 11 usually include. If it is missing, ${PRODUCT} says so when it opens and tells you where to get it free."
!define MUI_FINISHPAGE_RUN "$INSTDIR\${EXE}"
!define MUI_FINISHPAGE_RUN_TEXT "Open ${PRODUCT} now"

!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipFolderWhenUpgrading
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

Var OldFolder
Var OldVersion
Var OldCode

; An open program holds its files; ask the user to close it rather than leave a half-replaced
; folder. Silent runs end with exit code 2.
!macro WAIT_FOR_PROGRAM_CLOSED
  ${Do}
    FindWindow $0 "${WINDOW_CLASS}"
    ${If} $0 = 0
      ${ExitDo}
    ${EndIf}
    ${If} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PRODUCT} is open. Close it, then choose Retry." /SD IDCANCEL IDCANCEL`
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${Loop}
!macroend

Function .onInit
  !insertmacro WAIT_FOR_PROGRAM_CLOSED
  ReadRegStr $OldFolder HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $OldVersion HKCU "${UNINSTALL_KEY}" "DisplayVersion"
  ReadRegDWORD $OldCode HKCU "${UNINSTALL_KEY}" "VersionCode"
  ${If} $OldCode != ""
  ${AndIf} $OldCode > ${VERSION_CODE}
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} $OldVersion is installed, which is newer than this version (${VERSION}). To go back to ${VERSION}, uninstall $OldVersion first." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

; An upgrade stays where the older version is.
Function SkipFolderWhenUpgrading
  ${If} $OldFolder != ""
    Abort
  ${EndIf}
FunctionEnd

Section "Install"
  ${If} $OldFolder != ""
  ${AndIf} ${FileExists} "$OldFolder\${UNINSTALLER}"
    DetailPrint "Removing ${PRODUCT} $OldVersion"
    ; _?= runs the older uninstaller in place and waits for it; it leaves only itself behind.
    ExecWait '"$OldFolder\${UNINSTALLER}" /S _?=$OldFolder' $0
    ${If} $0 != 0
      MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} $OldVersion could not be removed (exit code $0)." /SD IDOK
      SetErrorLevel 2
      Abort
    ${EndIf}
    Delete "$OldFolder\${UNINSTALLER}"
    RMDir "$OldFolder"
  ${EndIf}

  !include "${LISTS}/install.nsh"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0 SW_SHOWNORMAL "" \
                 "Weather map of the western United States"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE},0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "VersionMajor" ${VERSION_MAJOR}
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "VersionMinor" ${VERSION_MINOR}
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "VersionCode" ${VERSION_CODE}
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
  !insertmacro WAIT_FOR_PROGRAM_CLOSED
FunctionEnd

; Removes what this version installed and nothing else: the user's own files in the folder and
; the browser data under local application data (CorvaneWeather\WebView2) stay.
Section "Uninstall"
  !include "${LISTS}/uninstall.nsh"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
  Delete "${SHORTCUT}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
