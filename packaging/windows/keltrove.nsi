; The Windows installer: Keltrove into Program Files, a Start menu entry for the window, an
; entry in Apps (Add/Remove Programs) and, unless unticked, the folder on the system PATH,
; so that keltrove-cli works from any new Command Prompt.
;
; scripts/package-windows builds it with makensis -WX and these defines:
;   VERSION     the version text, from the build's Version.h ("1.0.0.1")
;   VI_VERSION  the same as four numbers, as a version block needs them
;   PUBLISHER   the copyright holder, from packaging/debian/copyright
;   COPYRIGHT   the copyright line, from the same place
;   STAGE       the folder holding keltrove-cli.exe, Guide.txt, License.txt and, once it is
;               built, keltrove.exe
;   ICON        the window's icon, for the installer and the uninstaller
;   HELPER      setup-helper.exe from the same build (setup-helper.cpp): both run it from
;               their plug-ins folder to find a running Keltrove and to edit the system PATH
;   OUTFILE     the installer to write
;
; Exit codes, of the installer and the uninstaller alike: 0 done; 1 cancelled by the user;
; 2 stopped part way: a file could not be written (AllowSkipFiles off) or removed, or the
; running programs could not be listed; 3 Keltrove runs from the folder, and nothing was
; changed; 4 done, except that the system PATH could not be changed.

!macro REQUIRE name
    !ifndef ${name}
        !error "${name} is not defined: build this with scripts/package-windows"
    !endif
!macroend
!insertmacro REQUIRE VERSION
!insertmacro REQUIRE VI_VERSION
!insertmacro REQUIRE PUBLISHER
!insertmacro REQUIRE COPYRIGHT
!insertmacro REQUIRE STAGE
!insertmacro REQUIRE ICON
!insertmacro REQUIRE HELPER
!insertmacro REQUIRE OUTFILE

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true
; A file that cannot be written stops Setup (Retry or Cancel; Cancel when silent, exit code 2)
; rather than leave an old one in place and report success.
AllowSkipFiles off

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Keltrove"
; setup-helper's exit codes, which become the installer's and the uninstaller's own (makensis
; reads files beside the script).
!searchparse /file setup-helper.cpp "    kExitRunning = " EXIT_RUNNING ","
!searchparse /file setup-helper.cpp "    kExitPathUnchanged = " EXIT_PATH_UNCHANGED ","

!if /FileExists "${STAGE}\keltrove.exe"
    !define HAVE_WINDOW
!endif

Name "Keltrove"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Keltrove"
; An upgrade goes where the last install went.
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
BrandingText "Keltrove ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\Guide.txt"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Show the guide"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_LICENSE "${STAGE}\License.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The installer's own version block; the uninstaller is written from the installer and
; carries the same one.
VIProductVersion "${VI_VERSION}"
VIFileVersion "${VI_VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "Keltrove"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "Keltrove ${VERSION} Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "${COPYRIGHT}"

!define SETUP_HELPER "$PLUGINSDIR\setup-helper.exe"

; In: $R0 a Keltrove folder. Out: $R0 its programs, each a quoted full path, as
; setup-helper running takes them.
!macro PROGRAMS_IN un
Function ${un}ProgramsIn
    StrCpy $R0 '"$R0\keltrove.exe" "$R0\keltrove-cli.exe"'
FunctionEnd
!macroend
!insertmacro PROGRAMS_IN ""
!insertmacro PROGRAMS_IN "un."

; In: $R1 what setup-helper printed. Out: $R1 without the line end of its last line, for
; DetailPrint and message boxes. Uses $R4.
!macro CHOMP un
Function ${un}Chomp
    StrCpy $R4 $R1 2 -2
    ${If} $R4 == "$\r$\n"
        StrCpy $R1 $R1 -2
    ${EndIf}
FunctionEnd
!macroend
!insertmacro CHOMP ""
!insertmacro CHOMP "un."

; In: $R0 programs as ProgramsIn gives them; $R3 who has to wait for them ("Setup", "The
; uninstaller"). Returns once none of them runs. While one does, asks to close it
; (Retry/Cancel); Cancel, the only answer when silent, stops with exit code EXIT_RUNNING
; before anything has changed. Uses $R1, $R2 and $R4.
!macro CLOSE_RUNNING un
Function ${un}CloseRunning
    ${Do}
        nsExec::ExecToStack '"${SETUP_HELPER}" running $R0'
        Pop $R2
        Pop $R1
        Call ${un}Chomp
        ${If} $R2 == 0
            Return
        ${ElseIf} $R2 != ${EXIT_RUNNING}
            ${If} $R1 == ""
                StrCpy $R1 "setup-helper.exe could not be run ($R2)."
            ${EndIf}
            DetailPrint $R1
            MessageBox MB_OK|MB_ICONSTOP "$R1$\r$\n$\r$\n$R3 cannot tell whether Keltrove is running, so it stops here." /SD IDOK
            SetErrorLevel 2
            Abort
        ${EndIf}
        DetailPrint $R1
        ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$R3 cannot go on while Keltrove is running:$\r$\n$\r$\n$R1$\r$\n$\r$\nClose Keltrove (end keltrove-cli in any Command Prompt too), then choose Retry. Cancel leaves everything as it is." /SD IDCANCEL IDRETRY`
            DetailPrint "Stopped: Keltrove is running; nothing was changed"
            SetErrorLevel ${EXIT_RUNNING}
            Abort
        ${EndIf}
    ${Loop}
FunctionEnd
!macroend
!insertmacro CLOSE_RUNNING ""
!insertmacro CLOSE_RUNNING "un."

; In: $R0 "path-add" or "path-remove"; $R3 what to do by hand should it fail. Puts the
; installation folder on the system PATH or takes it off, whatever the PATH's length; on
; failure says why and sets exit code EXIT_PATH_UNCHANGED, and the rest goes on. Uses $R1,
; $R2 and $R4.
!macro EDIT_PATH un
Function ${un}EditPath
    ; A trailing backslash would escape the closing quote.
    StrCpy $R1 $INSTDIR
    StrCpy $R4 $R1 1 -1
    ${If} $R4 == "\"
        StrCpy $R1 $R1 -1
    ${EndIf}
    nsExec::ExecToStack '"${SETUP_HELPER}" $R0 "$R1"'
    Pop $R2
    Pop $R1
    Call ${un}Chomp
    ${If} $R2 == 0
        DetailPrint $R1
        Return
    ${EndIf}
    ${If} $R1 == ""
        StrCpy $R1 "setup-helper.exe could not be run ($R2)."
    ${EndIf}
    DetailPrint $R1
    MessageBox MB_OK|MB_ICONEXCLAMATION "$R1$\r$\n$\r$\nThe system PATH was left as it is: $R3 by hand (System, Advanced system settings, Environment Variables)." /SD IDOK
    SetErrorLevel ${EXIT_PATH_UNCHANGED}
FunctionEnd
!macroend
!insertmacro EDIT_PATH ""
!insertmacro EDIT_PATH "un."

Function .onInit
    SetShellVarContext all
    SetRegView 64
    InitPluginsDir
    File "/oname=${SETUP_HELPER}" "${HELPER}"
FunctionEnd

Function un.onInit
    SetShellVarContext all
    SetRegView 64
    InitPluginsDir
    File "/oname=${SETUP_HELPER}" "${HELPER}"
FunctionEnd

; An installed Keltrove, of whatever version, is removed first with its own uninstaller, so
; that nothing it had and this one lacks stays behind; the entry in Apps is then written
; anew under the same key.
Section "-Previous version"
    ; Nothing is replaced or removed while Keltrove runs from the folder it goes into, or
    ; from the one the installed version is in.
    ReadRegStr $0 HKLM "${UNINST_KEY}" "InstallLocation"
    StrCpy $R0 $INSTDIR
    Call ProgramsIn
    StrCpy $1 $R0
    ${If} $0 != ""
        StrCpy $R0 $0
        Call ProgramsIn
        StrCpy $R0 "$1 $R0"
    ${EndIf}
    StrCpy $R3 Setup
    Call CloseRunning

    ${If} $0 != ""
    ${AndIf} ${FileExists} "$0\Uninstall.exe"
        DetailPrint "Removing the Keltrove installed in $0"
        ; _?= runs it in place, and waits for it.
        ClearErrors
        ExecWait '"$0\Uninstall.exe" /S _?=$0' $1
        ${If} $1 == ${EXIT_RUNNING}
            ; Started again since the check above; its uninstaller changed nothing.
            DetailPrint "Stopped: Keltrove is running from $0; nothing was changed"
            SetErrorLevel ${EXIT_RUNNING}
            Abort
        ${ElseIf} ${Errors}
        ${OrIf} $1 != 0
            DetailPrint "Its uninstaller failed ($1); installing over it"
        ${EndIf}
        Delete "$0\Uninstall.exe"
        RMDir "$0"
    ${EndIf}
SectionEnd

Section "Keltrove" SecMain
    SectionIn RO
    SetOutPath "$INSTDIR"
!ifdef HAVE_WINDOW
    File "${STAGE}\keltrove.exe"
!endif
    File "${STAGE}\keltrove-cli.exe"
    File "${STAGE}\Guide.txt"
    File "${STAGE}\License.txt"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

!ifdef HAVE_WINDOW
    CreateShortcut "$SMPROGRAMS\Keltrove.lnk" "$INSTDIR\keltrove.exe"
    !define DISPLAY_ICON "$INSTDIR\keltrove.exe"
!else
    !define DISPLAY_ICON "$INSTDIR\Uninstall.exe"
!endif

    WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "Keltrove"
    WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "${DISPLAY_ICON}"
    WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    IntFmt $0 "0x%08X" $0
    WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

Section "Add Keltrove to the system PATH" SecPath
    StrCpy $R0 path-add
    StrCpy $R3 "add $INSTDIR to it"
    Call EditPath
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecMain} "The window, keltrove-cli, the guide and the licence."
    !insertmacro MUI_DESCRIPTION_TEXT ${SecPath} "Lets any new Command Prompt run keltrove-cli without its folder. Uninstalling takes it off again."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Section "Uninstall"
    StrCpy $R0 $INSTDIR
    Call un.ProgramsIn
    StrCpy $R3 "The uninstaller"
    Call un.CloseRunning

    ; A program that something else holds stops here, with the uninstaller and the entry in
    ; Apps kept for another try.
    ClearErrors
    Delete "$INSTDIR\keltrove.exe"
    Delete "$INSTDIR\keltrove-cli.exe"
    ${If} ${Errors}
        DetailPrint "Stopped: a program in $INSTDIR could not be removed"
        MessageBox MB_OK|MB_ICONSTOP "keltrove.exe or keltrove-cli.exe in $INSTDIR could not be removed: another program holds it. Close that program, then uninstall Keltrove again." /SD IDOK
        SetErrorLevel 2
        Abort
    ${EndIf}

    ; Taken off the PATH whether or not this install put it there: it names a folder that
    ; is going.
    StrCpy $R0 path-remove
    StrCpy $R3 "take $INSTDIR off it"
    Call un.EditPath

    Delete "$SMPROGRAMS\Keltrove.lnk"
    Delete "$INSTDIR\Guide.txt"
    Delete "$INSTDIR\License.txt"
    Delete "$INSTDIR\Uninstall.exe"
    ; Only when empty: a table file saved here is the user's, and stays.
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd
