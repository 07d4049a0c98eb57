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
;   OUTFILE     the installer to write

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
!insertmacro REQUIRE OUTFILE

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Keltrove"
!define ENV_KEY "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"

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

; The longest PATH this installer can hold: its strings are NSIS_MAX_STRLEN characters,
; ending zero included. A longer one would be cut short if written back, so it is left alone.
!define /math PATH_MOST ${NSIS_MAX_STRLEN} - 1

; In: $R0 a PATH list, $R1 a folder. Out: $R2 the list without the items that name the
; folder (in any case, with or without a trailing backslash), every other item kept as it
; stands; $R3 how many were taken out. Uses $R4 to $R7.
!macro PATH_WITHOUT un
Function ${un}PathWithout
    StrCpy $R2 ""
    StrCpy $R3 0
    StrCpy $R4 0  ; where the current item starts
    StrCpy $R5 0  ; where we are
    ${Do}
        StrCpy $R6 $R0 1 $R5
        ${If} $R6 == ";"
        ${OrIf} $R6 == ""
            IntOp $R7 $R5 - $R4
            StrCpy $R7 $R0 $R7 $R4
            ${If} $R7 == $R1
            ${OrIf} $R7 == "$R1\"
                IntOp $R3 $R3 + 1
            ${Else}
                StrCpy $R2 "$R2;$R7"
            ${EndIf}
            ${If} $R6 == ""
                ${ExitDo}
            ${EndIf}
            IntOp $R4 $R5 + 1
        ${EndIf}
        IntOp $R5 $R5 + 1
    ${Loop}
    StrCpy $R2 $R2 "" 1  ; each kept item came with a ";" before it
FunctionEnd
!macroend
!insertmacro PATH_WITHOUT ""
!insertmacro PATH_WITHOUT "un."

!macro ANNOUNCE_ENVIRONMENT
    ; Explorer, and what it starts from now on, reads the new PATH.
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
!macroend

Function .onInit
    SetShellVarContext all
    SetRegView 64
FunctionEnd

Function un.onInit
    SetShellVarContext all
    SetRegView 64
FunctionEnd

; An installed Keltrove, of whatever version, is removed first with its own uninstaller, so
; that nothing it had and this one lacks stays behind; the entry in Apps is then written
; anew under the same key.
Section "-Previous version"
    ReadRegStr $0 HKLM "${UNINST_KEY}" "InstallLocation"
    ${If} $0 != ""
    ${AndIf} ${FileExists} "$0\Uninstall.exe"
        DetailPrint "Removing the Keltrove installed in $0"
        ; _?= runs it in place, and waits for it.
        ClearErrors
        ExecWait '"$0\Uninstall.exe" /S _?=$0' $1
        ${If} ${Errors}
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

!macro PATH_BY_HAND what
    DetailPrint "The system PATH is missing or too long to edit here; ${what} by hand"
    MessageBox MB_OK|MB_ICONINFORMATION "The system PATH is too long for this installer to edit safely, so it was left as it is. Please ${what} by hand if you want it." /SD IDOK
!macroend

Section "Add Keltrove to the system PATH" SecPath
    ClearErrors
    ReadRegStr $R0 HKLM "${ENV_KEY}" "Path"
    ${If} ${Errors}
        !insertmacro PATH_BY_HAND "add $INSTDIR to it"
        Return
    ${EndIf}
    StrCpy $R1 $INSTDIR
    Call PathWithout
    ${If} $R3 > 0
        DetailPrint "$INSTDIR is on the system PATH already"
        Return
    ${EndIf}
    StrLen $R4 $R0
    StrLen $R5 $INSTDIR
    IntOp $R4 $R4 + $R5
    ${If} $R4 >= ${PATH_MOST}
        !insertmacro PATH_BY_HAND "add $INSTDIR to it"
        Return
    ${EndIf}
    StrCpy $R6 $R0 1 -1
    ${If} $R0 == ""
    ${OrIf} $R6 == ";"
        StrCpy $R0 "$R0$INSTDIR"
    ${Else}
        StrCpy $R0 "$R0;$INSTDIR"
    ${EndIf}
    WriteRegExpandStr HKLM "${ENV_KEY}" "Path" $R0
    !insertmacro ANNOUNCE_ENVIRONMENT
    DetailPrint "Added $INSTDIR to the system PATH"
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecMain} "The window, keltrove-cli, the guide and the licence."
    !insertmacro MUI_DESCRIPTION_TEXT ${SecPath} "Lets any new Command Prompt run keltrove-cli without its folder. Uninstalling takes it off again."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Section "Uninstall"
    ; Taken off the PATH whether or not this install put it there: it names a folder that
    ; is about to go.
    ClearErrors
    ReadRegStr $R0 HKLM "${ENV_KEY}" "Path"
    ${IfNot} ${Errors}
        StrCpy $R1 $INSTDIR
        Call un.PathWithout
        ${If} $R3 > 0
            WriteRegExpandStr HKLM "${ENV_KEY}" "Path" $R2
            !insertmacro ANNOUNCE_ENVIRONMENT
            DetailPrint "Took $INSTDIR off the system PATH"
        ${EndIf}
    ${Else}
        !insertmacro PATH_BY_HAND "take $INSTDIR off it"
    ${EndIf}

    Delete "$SMPROGRAMS\Keltrove.lnk"
    Delete "$INSTDIR\keltrove.exe"
    Delete "$INSTDIR\keltrove-cli.exe"
    Delete "$INSTDIR\Guide.txt"
    Delete "$INSTDIR\License.txt"
    Delete "$INSTDIR\Uninstall.exe"
    ; Only when empty: a table file saved here is the user's, and stays.
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd
