; The Windows installer: a per-user install of the plug-in and the programs
; into one folder, built on Linux by scripts/windows.sh with makensis:
;
;   makensis -DVERSION=1.0 -DDIST64=build/win64/dist -DDIST32=build/win32/dist
;            -DOUTFILE=build/kalvorin-setup.exe installer/Kalvorin.nsi
;
; Silent use: setup.exe /S [/PLUGIN=32|64] [/D=folder]   (/D last, unquoted)
;             uninstall.exe /S [/REMOVEDATA]
; /PLUGIN picks the plug-in for a 32-bit or a 64-bit mail client (64 unless
; given); /REMOVEDATA also removes the lists, the log and the settings, which
; an uninstall keeps otherwise.

!ifndef VERSION | DIST64 | DIST32 | OUTFILE
  !error "VERSION, DIST64, DIST32 and OUTFILE must be defined (-D)"
!endif

Unicode true
; A 64-bit installer: it runs where Kalvorin.exe, which is 64-bit only, runs.
Target amd64-unicode
SetCompressor /SOLID lzma

!include MUI2.nsh
!include Sections.nsh
!include FileFunc.nsh
!include LogicLib.nsh

!define PRODUCT "Kalvorin"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kalvorin"
!define SETTINGS_KEY "Software\kalvorin"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; Per user: no administrator rights, the settings and the uninstall entry
; under HKEY_CURRENT_USER, the shortcut in the user's own Start menu.
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
; A file that cannot be replaced (a plug-in the mail client holds) stops the
; install rather than leaving the old one silently in place.
AllowSkipFiles off

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} installer"
VIAddVersionKey /LANG=1033 "CompanyName" "The Kalvorin developers"
VIAddVersionKey /LANG=1033 "LegalCopyright" "The Kalvorin developers"

!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_DIRECTORYPAGE_TEXT_TOP "Choose the folder for the plug-in and the programs: the mail client's plug-in folder, or a folder of your own from which you copy Kalvorin.TBP there. Your filter lists and the log are kept in this folder too."
!define MUI_FINISHPAGE_RUN "$INSTDIR\Kalvorin.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Kalvorin to write the filter lists"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The files of the programs, each removed again by the uninstaller.
!macro ProgramFiles Do
  !insertmacro ${Do} "Kalvorin.exe"
  !insertmacro ${Do} "kalvorin-host.exe"
  !insertmacro ${Do} "kalvorin-reg.exe"
  !insertmacro ${Do} "kalvorin-lint.exe"
  !insertmacro ${Do} "version.ini"
  !insertmacro ${Do} "lang.eng.txt"
  !insertmacro ${Do} "leame.txt"
  !insertmacro ${Do} "faq.txt"
  !insertmacro ${Do} "filters.hlp.txt"
  !insertmacro ${Do} "leame.esp.txt"
  !insertmacro ${Do} "faq.esp.txt"
  !insertmacro ${Do} "filters.hlp.esp.txt"
!macroend
!macro Install name
  File "${DIST64}/${name}"
!macroend
!macro Remove name
  Delete "$INSTDIR\${name}"
!macroend

; What the programs write in their folder: kept by an uninstall unless the
; user asks. "lang.txt" is among them, since a user picks the language by
; replacing it.
!macro UserFiles Do
  !insertmacro ${Do} "secure.filters.txt"
  !insertmacro ${Do} "trash.filters.txt"
  !insertmacro ${Do} "suspect.filters.txt"
  !insertmacro ${Do} "secure.filters.dat"
  !insertmacro ${Do} "trash.filters.dat"
  !insertmacro ${Do} "suspect.filters.dat"
  !insertmacro ${Do} "secure.edt.tmp"
  !insertmacro ${Do} "trash.edt.tmp"
  !insertmacro ${Do} "suspect.edt.tmp"
  !insertmacro ${Do} "~tmp.dat"
  !insertmacro ${Do} "plugin.log.txt"
  !insertmacro ${Do} "plugin.lock"
  !insertmacro ${Do} "depure.dat"
  !insertmacro ${Do} "lang.txt"
!macroend

Var PluginChoice

Section "-Programs"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  !insertmacro ProgramFiles Install
  ; An existing "lang.txt" is the user's language: kept.
  SetOverwrite off
  File "${DIST64}/lang.txt"
  SetOverwrite on

  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Kalvorin.exe"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "The Kalvorin developers"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Kalvorin.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; The plug-in must match the mail client's architecture, so exactly one of
; these two is installed, as Kalvorin.TBP.
Section "Plug-in for a 64-bit mail client" SecPlugin64
  SetOutPath "$INSTDIR"
  File "${DIST64}/Kalvorin.TBP"
SectionEnd

Section /o "Plug-in for a 32-bit mail client" SecPlugin32
  SetOutPath "$INSTDIR"
  File "${DIST32}/Kalvorin.TBP"
SectionEnd

Function .onInit
  StrCpy $PluginChoice ${SecPlugin64}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/PLUGIN=" $1
  ${IfNot} ${Errors}
    ${If} $1 == "32"
      !insertmacro UnselectSection ${SecPlugin64}
      !insertmacro SelectSection ${SecPlugin32}
      StrCpy $PluginChoice ${SecPlugin32}
    ${ElseIf} $1 != "64"
      MessageBox MB_ICONSTOP "/PLUGIN= takes 32 or 64, not $\"$1$\"." /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

Function .onSelChange
  !insertmacro StartRadioButtons $PluginChoice
    !insertmacro RadioButton ${SecPlugin64}
    !insertmacro RadioButton ${SecPlugin32}
  !insertmacro EndRadioButtons
FunctionEnd

Section /o "un.My filter lists, log and settings" SecUnData
  !insertmacro UserFiles Remove
  DeleteRegKey HKCU "${SETTINGS_KEY}"
SectionEnd

Section "-un.Programs"
  SetShellVarContext current
  !insertmacro ProgramFiles Remove
  Delete "$INSTDIR\Kalvorin.TBP"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; Last but the folder, so that its going tells that the rest is done.
  Delete "$INSTDIR\uninstall.exe"
  ; Only an empty folder goes: what else lies there is the user's.
  RMDir "$INSTDIR"
SectionEnd

Function un.onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVEDATA" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecUnData}
  ${EndIf}
FunctionEnd
