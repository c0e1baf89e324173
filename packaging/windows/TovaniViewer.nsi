; The Windows installer of Tovani Viewer: a per-user install that needs no
; administrator, in Japanese or English after the user's display language.
; CMake (CMakeLists.txt beside this file) stages the files and defines
;   VERSION  the product version, x.y.z     STAGE  the staged files
;   FILES    the list of them (files.nsh)   ICON   our icon
;   OUTFILE  the setup.exe to write         WINDOW when the window ships
; It never ships the marker `portable`: the installed program keeps each
; user's history in %LOCALAPPDATA%\Tovani Viewer, which uninstalling keeps.

Unicode true
ManifestDPIAware true
ManifestSupportedOS all
RequestExecutionLevel user
SetCompressor /SOLID lzma
; A file that cannot be written (a running program of ours) is retried or
; fails the install, never skipped: a silent install must not leave old files.
AllowSkipFiles off

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh
!include "${FILES}"

!define PRODUCT "Tovani Viewer"
!define PUBLISHER "The Tovani Viewer developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TovaniViewer"
!define UNINSTALLER "Uninstall.exe"
!define DATA_DIR "$LOCALAPPDATA\${PRODUCT}"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!ifdef WINDOW
  !define MUI_FINISHPAGE_RUN "$INSTDIR\TovaniViewer.exe"
!endif
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The first language is the one for a display language that is neither.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"
!include /CHARSET=UTF8 "${__FILEDIR__}/texts.nsh"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
!macro VersionKeys LANG DESCRIPTION
  VIAddVersionKey /LANG=${LANG} "ProductName" "${PRODUCT}"
  VIAddVersionKey /LANG=${LANG} "CompanyName" "${PUBLISHER}"
  VIAddVersionKey /LANG=${LANG} "LegalCopyright" "Copyright (c) 2026 ${PUBLISHER}"
  VIAddVersionKey /LANG=${LANG} "FileDescription" "${DESCRIPTION}"
  VIAddVersionKey /LANG=${LANG} "FileVersion" "${VERSION}"
  VIAddVersionKey /LANG=${LANG} "ProductVersion" "${VERSION}"
!macroend
!insertmacro VersionKeys ${LANG_ENGLISH} "${PRODUCT} Setup"
!insertmacro VersionKeys ${LANG_JAPANESE} "${PRODUCT} セットアップ"

; The programs are 64-bit; the registry view follows them.
!macro Need64Bit
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "$(Needs64Bit)" /SD IDOK
    Quit
  ${EndIf}
  SetRegView 64
  SetShellVarContext current
!macroend

Function .onInit
  !insertmacro Need64Bit
FunctionEnd

Function un.onInit
  !insertmacro Need64Bit
FunctionEnd

!macro Put DIR NAME
  SetOutPath "$INSTDIR${DIR}"
  File "${STAGE}${DIR}/${NAME}"
!macroend

Section
  !insertmacro TovaniFiles Put
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  ; The shortcut starts in the program folder. Until the window is built the
  ; entry opens a command prompt there, where the tools run.
  SetOutPath "$INSTDIR"
  !ifdef WINDOW
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\TovaniViewer.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\TovaniViewer.exe,0"
  !else
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$SYSDIR\cmd.exe" "/k tovani-card.exe --help"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${UNINSTALLER},0"
  !endif

  ; The entry in Windows' list of installed apps.
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; A file that cannot go is held by a running program of ours: the user may
; close it and retry. Cancelling (and any failure in silent mode) stops the
; uninstall; the programs go first, so nothing else is gone by then.
Function un.RemoveFile
  Exch $0
  retry:
  ClearErrors
  Delete "$0"
  ${If} ${Errors}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(FileInUse)" /SD IDCANCEL IDRETRY retry
    Abort "$(FileInUse)"
  ${EndIf}
  Pop $0
FunctionEnd

!macro Remove DIR NAME
  Push "$INSTDIR${DIR}\${NAME}"
  Call un.RemoveFile
!macroend

; Only the files the installer put there go, so a folder the user chose that
; holds anything else (a history kept beside a program marked portable) stays.
Section "Uninstall"
  !insertmacro TovaniFiles Remove
  Push "$INSTDIR\${UNINSTALLER}"
  Call un.RemoveFile
  RMDir "$INSTDIR\examples\stations"
  RMDir "$INSTDIR\examples\cards"
  RMDir "$INSTDIR\examples"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"

  ${If} ${FileExists} "${DATA_DIR}\*.*"
    MessageBox MB_OK|MB_ICONINFORMATION "$(HistoryKept)" /SD IDOK
  ${EndIf}
SectionEnd
