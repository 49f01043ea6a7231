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
;
; Both touch only Kalvorin's own files. The install record (RECORD below, in
; the install folder) holds the SHA-256 of every file the installer wrote and
; whether the folder was there before the first install. A file counts as
; Kalvorin's only when it is an ordinary file right in the folder and its
; hash is the recorded one: the installer refuses a folder holding any other
; file of a name it writes, and the uninstaller removes no other.

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
!define MUI_DIRECTORYPAGE_TEXT_TOP "Choose a folder of Kalvorin's own for the plug-in and the programs: the one suggested, or a new one. Copy Kalvorin.TBP from it into the mail client's plug-in folder. Your filter lists and the log are kept in this folder too. Kalvorin does not install into a folder that holds another program's files of the same names."
!define MUI_FINISHPAGE_RUN "$INSTDIR\Kalvorin.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Kalvorin to write the filter lists"
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The install record: an INI file, [Files] name=SHA-256 in hex, and
; [Folder] Existed=1 when the folder was there before the first install.
; It lives beside the files it describes, so that each install folder
; carries its own.
!define RECORD "Kalvorin.install.ini"
!define FILES "Files"
!define FOLDER "Folder"

!define GENERIC_READ 0x80000000
!define READ_AND_DELETE 0x80010000
!define FILE_SHARE_ALL 7
!define OPEN_EXISTING 3
!define BACKUP_SEMANTICS 0x02000000
; The name itself, never what a link or junction under it leads to.
!define OPEN_AS_IS 0x02200000
!define REPARSE_OR_DIRECTORY 0x410
!define PROV_RSA_AES 24
!define CRYPT_VERIFYCONTEXT 0xF0000000
!define CALG_SHA_256 0x800c
!define HP_HASHVAL 2
!define FILE_DISPOSITION_INFO 4
!define CHUNK 1048576

; The files of the programs, each recorded by the installer and removed by
; the uninstaller only if unchanged.
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
; Every file the installer writes but "lang.txt", which is the user's.
!macro OwnFiles Do
  !insertmacro ProgramFiles ${Do}
  !insertmacro ${Do} "Kalvorin.TBP"
  !insertmacro ${Do} "uninstall.exe"
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
; The functions below take their arguments and give their results in these,
; and use $0 to $6 as scratch.
Var Folder
Var Name
Var Access
Var Handle
Var Hash
; The install record of $INSTDIR, "" when there is none that is an ordinary
; file of the folder.
Var Record
Var FolderExisted
Var Conflicts
Var Uninstaller
Var DataRemoved

!macro FileFunctions un
; $Handle: $Folder\$Name opened with $Access, or 0 unless it is an ordinary
; file right in $Folder. What counts is the file the handle holds, so a link
; or junction planted under the name is refused, and so is a file that the
; system finds elsewhere (Wine follows a Unix link even when asked not to).
Function ${un}OpenInFolder
  StrCpy $Handle 0
  System::Call 'kernel32::CreateFileW(w "$Folder", i 0, i ${FILE_SHARE_ALL}, p 0, i ${OPEN_EXISTING}, i ${BACKUP_SEMANTICS}, p 0) p .r0'
  ${If} $0 P= -1
    Return
  ${EndIf}
  System::Call 'kernel32::GetFinalPathNameByHandleW(p r0, w .r1, i ${NSIS_MAX_STRLEN}, i 0) i .r2'
  System::Call 'kernel32::CloseHandle(p r0)'
  ${If} $2 = 0
  ${OrIf} $2 >= ${NSIS_MAX_STRLEN}
    Return
  ${EndIf}
  ; A drive's root ends in "\", any other folder does not.
  StrCpy $3 $1 "" -1
  ${If} $3 == "\"
    StrCpy $1 $1 -1
  ${EndIf}
  System::Call 'kernel32::CreateFileW(w "$Folder\$Name", i $Access, i ${FILE_SHARE_ALL}, p 0, i ${OPEN_EXISTING}, i ${OPEN_AS_IS}, p 0) p .r0'
  ${If} $0 P= -1
    Return
  ${EndIf}
  System::Alloc 52  ; BY_HANDLE_FILE_INFORMATION
  Pop $3
  System::Call 'kernel32::GetFileInformationByHandle(p r0, p r3) i .r2'
  System::Call '*$3(i .r4)'
  System::Free $3
  IntOp $4 $4 & ${REPARSE_OR_DIRECTORY}
  System::Call 'kernel32::GetFinalPathNameByHandleW(p r0, w .r3, i ${NSIS_MAX_STRLEN}, i 0) i .r5'
  ${If} $2 <> 0
  ${AndIf} $4 = 0
  ${AndIf} $5 <> 0
  ${AndIf} $5 < ${NSIS_MAX_STRLEN}
  ${AndIf} $3 == "$1\$Name"
    StrCpy $Handle $0
  ${Else}
    System::Call 'kernel32::CloseHandle(p r0)'
  ${EndIf}
FunctionEnd

; $Hash: the SHA-256 of what is left to read of $Handle, in lower-case hex,
; "" when it cannot be read to its end. The system's own hashing: NSIS has
; none.
Function ${un}HashHandle
  StrCpy $Hash ""
  System::Call 'advapi32::CryptAcquireContextW(*p .r0, p 0, p 0, i ${PROV_RSA_AES}, i ${CRYPT_VERIFYCONTEXT}) i .r2'
  ${If} $2 = 0
    Return
  ${EndIf}
  System::Call 'advapi32::CryptCreateHash(p r0, i ${CALG_SHA_256}, p 0, i 0, *p .r1) i .r2'
  ${If} $2 <> 0
    System::Alloc ${CHUNK}
    Pop $3
    ; Ends with $2 nonzero only when ReadFile met the end of the file.
    ${Do}
      System::Call 'kernel32::ReadFile(p $Handle, p r3, i ${CHUNK}, *i .r4, p 0) i .r2'
      ${If} $2 = 0
      ${OrIf} $4 = 0
        ${ExitDo}
      ${EndIf}
      System::Call 'advapi32::CryptHashData(p r1, p r3, i r4, i 0) i .r2'
    ${LoopUntil} $2 = 0
    ${If} $2 <> 0
      System::Call 'advapi32::CryptGetHashParam(p r1, i ${HP_HASHVAL}, p r3, *i 32, i 0) i .r2'
    ${EndIf}
    ${If} $2 <> 0
      ${For} $4 0 31
        IntPtrOp $5 $3 + $4
        System::Call '*$5(&i1 .r5)'
        IntOp $5 $5 & 0xFF
        IntFmt $5 "%02x" $5
        StrCpy $Hash "$Hash$5"
      ${Next}
    ${EndIf}
    System::Free $3
    System::Call 'advapi32::CryptDestroyHash(p r1)'
  ${EndIf}
  System::Call 'advapi32::CryptReleaseContext(p r0, i 0)'
FunctionEnd

; $Record, from $INSTDIR.
Function ${un}FindRecord
  StrCpy $Record ""
  StrCpy $Folder $INSTDIR
  StrCpy $Name "${RECORD}"
  StrCpy $Access ${GENERIC_READ}
  Call ${un}OpenInFolder
  ${If} $Handle P<> 0
    System::Call 'kernel32::CloseHandle(p $Handle)'
    StrCpy $Record "$INSTDIR\${RECORD}"
  ${EndIf}
FunctionEnd

; $Handle: $INSTDIR\$Name opened with $Access when the record holds its
; hash and the file still has it; 0 otherwise.
Function ${un}OpenOwn
  StrCpy $Handle 0
  ${If} $Record == ""
    Return
  ${EndIf}
  ReadINIStr $6 "$Record" "${FILES}" "$Name"
  ${If} $6 == ""
    Return
  ${EndIf}
  StrCpy $Folder $INSTDIR
  Call ${un}OpenInFolder
  ${If} $Handle P= 0
    Return
  ${EndIf}
  Call ${un}HashHandle
  ${If} $Hash != $6
    System::Call 'kernel32::CloseHandle(p $Handle)'
    StrCpy $Handle 0
  ${EndIf}
FunctionEnd
!macroend
!insertmacro FileFunctions ""
!insertmacro FileFunctions "un."

!macro CheckOwn name
  StrCpy $Name "${name}"
  Call CheckOwn
!macroend
Function CheckOwn
  ${IfNot} ${FileExists} "$INSTDIR\$Name"
    Return
  ${EndIf}
  StrCpy $Access ${GENERIC_READ}
  Call OpenOwn
  ${If} $Handle P= 0
    Call AddConflict
  ${Else}
    System::Call 'kernel32::CloseHandle(p $Handle)'
  ${EndIf}
FunctionEnd

; $Conflicts: the names in $INSTDIR that the install would write over but
; that are not Kalvorin's, "" when it may install there.
Function CheckFolder
  StrCpy $Conflicts ""
  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    Return
  ${EndIf}
  Call FindRecord
  ${If} $Record == ""
  ${AndIf} ${FileExists} "$INSTDIR\${RECORD}"
    StrCpy $Name "${RECORD}"
    Call AddConflict
  ${EndIf}
  !insertmacro OwnFiles CheckOwn
  ; "lang.txt" is the user's choice of language in a folder Kalvorin was
  ; installed into, and another program's file anywhere else.
  ${If} ${FileExists} "$INSTDIR\lang.txt"
    StrCpy $Name "lang.txt"
    ${If} $Record == ""
      Call AddConflict
    ${Else}
      StrCpy $Folder $INSTDIR
      StrCpy $Access ${GENERIC_READ}
      Call OpenInFolder
      ${If} $Handle P= 0
        Call AddConflict
      ${Else}
        System::Call 'kernel32::CloseHandle(p $Handle)'
      ${EndIf}
    ${EndIf}
  ${EndIf}
FunctionEnd

Function AddConflict
  ${If} $Conflicts != ""
    StrCpy $Conflicts "$Conflicts, "
  ${EndIf}
  StrCpy $Conflicts "$Conflicts$Name"
FunctionEnd

!define REFUSAL "Kalvorin is not installed in $INSTDIR: it holds $Conflicts, which Kalvorin did not install there or which changed since. Choose a folder of Kalvorin's own, such as $LOCALAPPDATA\Programs\${PRODUCT}."

; An interactive install asks for another folder rather than asking whether
; to write over another program's files: nothing there is Kalvorin's to
; replace.
Function DirectoryLeave
  Call CheckFolder
  ${If} $Conflicts != ""
    MessageBox MB_ICONSTOP "${REFUSAL}"
    Abort
  ${EndIf}
FunctionEnd

; Ends the install before it starts: a message box, or in a silent install
; the message on standard error; exit status 2.
!macro Refuse message
  MessageBox MB_ICONSTOP "${message}" /SD IDOK
  ${If} ${Silent}
    StrCpy $2 "${message}$\r$\n"
    System::Call 'kernel32::GetStdHandle(i -12) p .r0'
    System::Call 'kernel32::lstrlenA(m r2) i .r1'
    System::Call 'kernel32::WriteFile(p r0, m r2, i r1, *i .r1, p 0)'
  ${EndIf}
  SetErrorLevel 2
  Quit
!macroend

; Writes $INSTDIR\$Name's hash in the record, right after the file, so that
; an install cut short leaves a record true to what it wrote.
Function RecordFile
  StrCpy $Folder $INSTDIR
  StrCpy $Access ${GENERIC_READ}
  Call OpenInFolder
  StrCpy $Hash ""
  ${If} $Handle P<> 0
    Call HashHandle
    System::Call 'kernel32::CloseHandle(p $Handle)'
  ${EndIf}
  WriteINIStr "$INSTDIR\${RECORD}" "${FILES}" "$Name" "$Hash"
FunctionEnd

!macro Install name
  File "${DIST64}/${name}"
  StrCpy $Name "${name}"
  Call RecordFile
!macroend

Section "-Programs"
  SetShellVarContext current
  ; An update keeps what the first install found.
  Call FindRecord
  ${If} $Record != ""
    ReadINIStr $FolderExisted "$Record" "${FOLDER}" "Existed"
    ${If} $FolderExisted != "0"
      StrCpy $FolderExisted 1
    ${EndIf}
  ${ElseIf} ${FileExists} "$INSTDIR\*.*"
    StrCpy $FolderExisted 1
  ${Else}
    StrCpy $FolderExisted 0
  ${EndIf}
  SetOutPath "$INSTDIR"
  WriteINIStr "$INSTDIR\${RECORD}" "${FOLDER}" "Existed" $FolderExisted

  !insertmacro ProgramFiles Install
  ; An existing "lang.txt" is the user's language: kept.
  SetOverwrite off
  File "${DIST64}/lang.txt"
  SetOverwrite on

  WriteUninstaller "$INSTDIR\uninstall.exe"
  StrCpy $Name "uninstall.exe"
  Call RecordFile
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
  StrCpy $Name "Kalvorin.TBP"
  Call RecordFile
SectionEnd

Section /o "Plug-in for a 32-bit mail client" SecPlugin32
  SetOutPath "$INSTDIR"
  File "${DIST32}/Kalvorin.TBP"
  StrCpy $Name "Kalvorin.TBP"
  Call RecordFile
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
      !insertmacro Refuse "/PLUGIN= takes 32 or 64, not $\"$1$\"."
    ${EndIf}
  ${EndIf}
  ; A silent install has its folder now; an interactive one is checked as
  ; it leaves the folder page.
  ${If} ${Silent}
    Call CheckFolder
    ${If} $Conflicts != ""
      !insertmacro Refuse "${REFUSAL}"
    ${EndIf}
  ${EndIf}
FunctionEnd

Function .onSelChange
  !insertmacro StartRadioButtons $PluginChoice
    !insertmacro RadioButton ${SecPlugin64}
    !insertmacro RadioButton ${SecPlugin32}
  !insertmacro EndRadioButtons
FunctionEnd

; Deletes the file $Handle holds, whatever its name leads to by now.
Function un.DeleteHandle
  ${If} $Handle P<> 0
    System::Call 'kernel32::SetFileInformationByHandle(p $Handle, i ${FILE_DISPOSITION_INFO}, *i 1, i 4)'
    System::Call 'kernel32::CloseHandle(p $Handle)'
  ${EndIf}
FunctionEnd

!macro Remove name
  StrCpy $Name "${name}"
  StrCpy $Access ${READ_AND_DELETE}
  Call un.OpenOwn
  Call un.DeleteHandle
!macroend

!macro RemoveData name
  StrCpy $Name "${name}"
  StrCpy $Folder $INSTDIR
  StrCpy $Access ${READ_AND_DELETE}
  Call un.OpenInFolder
  Call un.DeleteHandle
!macroend

; The lists, the log and "lang.txt" go only from a folder that the install
; created: in any other the same names may be another program's. The
; settings key is Kalvorin's own wherever it was installed.
Section /o "un.My filter lists, log and settings" SecUnData
  ${If} $FolderExisted == "0"
    !insertmacro UserFiles RemoveData
    StrCpy $DataRemoved 1
  ${EndIf}
  DeleteRegKey HKCU "${SETTINGS_KEY}"
SectionEnd

Section "-un.Programs"
  SetShellVarContext current
  !insertmacro ProgramFiles Remove
  !insertmacro Remove "Kalvorin.TBP"
  StrCpy $Folder $SMPROGRAMS
  StrCpy $Name "${PRODUCT}.lnk"
  StrCpy $Access ${READ_AND_DELETE}
  Call un.OpenInFolder
  Call un.DeleteHandle
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; Checked while the record still tells its hash, removed last but the
  ; folder, so that its going tells that the rest is done.
  StrCpy $Name "uninstall.exe"
  StrCpy $Access ${READ_AND_DELETE}
  Call un.OpenOwn
  StrCpy $Uninstaller $Handle
  ; The record goes with the data. Where the data stays, so does the record,
  ; without the hashes, so that a later install takes "lang.txt" for the
  ; user's and the folder for what it was.
  ${If} $DataRemoved == 1
    !insertmacro RemoveData "${RECORD}"
  ${ElseIf} $Record != ""
    DeleteINISec "$Record" "${FILES}"
  ${EndIf}
  StrCpy $Handle $Uninstaller
  Call un.DeleteHandle
  ; Only a folder that the install created, only when empty, and never
  ; what a link or junction in its place leads to.
  ${If} $FolderExisted == "0"
    System::Call 'kernel32::GetFileAttributesW(w "$INSTDIR") i .r0'
    IntOp $0 $0 & ${REPARSE_OR_DIRECTORY}
    ${If} $0 = 0x10
      RMDir "$INSTDIR"
    ${EndIf}
  ${EndIf}
SectionEnd

Function un.onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVEDATA" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecUnData}
  ${EndIf}
  ; Without a record nothing here is known to be Kalvorin's.
  Call un.FindRecord
  StrCpy $FolderExisted 1
  ${If} $Record != ""
    ReadINIStr $0 "$Record" "${FOLDER}" "Existed"
    ${If} $0 == "0"
      StrCpy $FolderExisted 0
    ${EndIf}
  ${EndIf}
FunctionEnd
