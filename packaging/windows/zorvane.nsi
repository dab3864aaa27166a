; Windows installer of Zorvane, made by scripts/windows.sh with makensis:
;   makensis -DVERSION=x.y.z -DSTAGE=folder -DOUTFILE=setup.exe zorvane.nsi
; STAGE holds the program, its DLLs, zorvane.ico and licences.txt;
; STAGE\..\nsis holds associations.nsh (one "${Associate} .ext" line per
; video type of the desktop entry) and installed.nsh (a Delete or RMDir
; line per installed file and folder, deepest first), both written by the
; script, so the uninstaller removes only what was installed.
Unicode true
SetCompressor /SOLID lzma
!include "MUI2.nsh"
!include "x64.nsh"

!ifndef VERSION | STAGE | OUTFILE
  !error "VERSION, STAGE and OUTFILE must be defined"
!endif

!define APP "Zorvane"
!define PROGID "Zorvane.Video"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zorvane"

Name "${APP} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${APP}"
InstallDirRegKey HKLM "Software\${APP}" "InstallDir"
RequestExecutionLevel admin

!define MUI_ICON "${STAGE}\zorvane.ico"
!define MUI_UNICON "${STAGE}\zorvane.ico"
!define MUI_LICENSEPAGE_TEXT_TOP "Zorvane uses Qt (LGPL 3), FFmpeg (LGPL 2.1 or later) and OpenCV (Apache 2.0). Their licences follow; they are also installed in the licences folder."
!insertmacro MUI_PAGE_LICENSE "${STAGE}\licences.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "French"
!insertmacro MUI_LANGUAGE "English"

; Offers Zorvane in "Open with" for the type without taking its default
; program away from the one the user chose.
!macro Associate EXT
  WriteRegStr HKLM "Software\Classes\${EXT}\OpenWithProgids" "${PROGID}" ""
  WriteRegStr HKLM "Software\Classes\Applications\zorvane.exe\SupportedTypes" "${EXT}" ""
!macroend
!macro Unassociate EXT
  DeleteRegValue HKLM "Software\Classes\${EXT}\OpenWithProgids" "${PROGID}"
!macroend

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "Zorvane needs 64-bit Windows."
    Abort
  ${EndIf}
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Zorvane"
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortCut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\zorvane.exe" "" "$INSTDIR\zorvane.ico"

  WriteRegStr HKLM "Software\Classes\${PROGID}" "" "Vidéo (Zorvane)"
  WriteRegStr HKLM "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\zorvane.ico"
  WriteRegStr HKLM "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\zorvane.exe" "%1"'
  WriteRegStr HKLM "Software\Classes\Applications\zorvane.exe" "FriendlyAppName" "${APP}"
  WriteRegStr HKLM "Software\Classes\Applications\zorvane.exe\shell\open\command" "" '"$INSTDIR\zorvane.exe" "%1"'
  !define Associate "!insertmacro Associate"
  !include "${STAGE}\..\nsis\associations.nsh"
  !undef Associate

  WriteRegStr HKLM "Software\${APP}" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${APP}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Vesmarin"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zorvane.ico"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  !define Associate "!insertmacro Unassociate"
  !include "${STAGE}\..\nsis\associations.nsh"
  !undef Associate
  DeleteRegKey HKLM "Software\Classes\${PROGID}"
  DeleteRegKey HKLM "Software\Classes\Applications\zorvane.exe"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\${APP}"
  Delete "$SMPROGRAMS\${APP}.lnk"
  !include "${STAGE}\..\nsis\installed.nsh"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
