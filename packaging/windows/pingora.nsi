; The Windows installer of Pingora, made on Linux by makensis through scripts/windows/package.sh,
; which passes PROGRAM_DIR (the program folder to install), FILE_LIST and FOLDER_LIST (that
; folder's files and folders as uninstall lines), INSTALLED_SIZE_KB, OUTFILE, VERSION, PUBLISHER, HOME_PAGE, CONTACT_PAGE and
; LICENSE_FILE.
;
; It installs for the current user, which needs no administrator, or, when an administrator
; chooses so on its second page, for all users. On the command line, /CurrentUser or /AllUsers
; choose the same, /S installs silently and /D=<folder> (last) names the folder. The
; uninstaller removes the program folder, the Start menu entry, the entry in the installed
; programs and the start at log-on of this copy; the user's settings and history log stay.

Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
; A file that cannot be written fails the installation, also a silent one, rather than being
; skipped.
AllowSkipFiles off

!define PRODUCT "Pingora"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define UNINSTALLER "Uninstall.exe"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}, MIT licence"

; --- Who it is installed for ------------------------------------------------------------------
; Highest: an administrator may choose all users; anyone else installs for themselves.
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_DEFAULT_CURRENTUSER
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "${PRODUCT}"
; A later installation goes where the earlier one went.
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!include MultiUser.nsh
!include MUI2.nsh
!include LogicLib.nsh

!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\pingora.exe"
!insertmacro MUI_PAGE_LICENSE "${LICENSE_FILE}"
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
    !insertmacro MULTIUSER_INIT
FunctionEnd

Function un.onInit
    ; The uninstaller removes the copy it belongs to (NSIS sets $INSTDIR to its folder), also
    ; when the registry names another.
    Push $INSTDIR
    !insertmacro MULTIUSER_UNINIT
    Pop $INSTDIR
FunctionEnd

; A running Pingora holds its executable open: it can be neither replaced nor removed. Asks the
; user to close it; a silent run, or Cancel, stops before anything is changed.
!macro DEFINE_WAIT_UNTIL_CLOSED PREFIX
Function ${PREFIX}WaitUntilClosed
    ${Do}
        ${IfNot} ${FileExists} "$INSTDIR\pingora.exe"
            ${Break}
        ${EndIf}
        ClearErrors
        FileOpen $0 "$INSTDIR\pingora.exe" a
        ${IfNot} ${Errors}
            FileClose $0
            ${Break}
        ${EndIf}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
            "${PRODUCT} is running. Close it (its window, or Exit on its icon in the notification area), then choose Retry." \
            /SD IDCANCEL IDRETRY retry
        SetErrorLevel 2
        Abort "${PRODUCT} is running in $INSTDIR."
        retry:
    ${Loop}
FunctionEnd
!macroend
!insertmacro DEFINE_WAIT_UNTIL_CLOSED ""
!insertmacro DEFINE_WAIT_UNTIL_CLOSED "un."

; Stops the installation with its message when a step before set the error flag.
!macro FAIL_ON_ERRORS WHAT
    ${If} ${Errors}
        SetErrorLevel 2
        Abort "${WHAT}"
    ${EndIf}
!macroend

Section "${PRODUCT}"
    SectionIn RO
    Call WaitUntilClosed
    SetOutPath "$INSTDIR"
    File /r "${PROGRAM_DIR}/*"
    ClearErrors
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"
    !insertmacro FAIL_ON_ERRORS "The uninstaller could not be written to $INSTDIR."
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\pingora.exe" "" "$INSTDIR\pingora.ico"
    !insertmacro FAIL_ON_ERRORS "The Start menu entry could not be made."

    ; The entry in the installed programs; the uninstaller is told who it was installed for.
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\pingora.ico"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "URLInfoAbout" "${HOME_PAGE}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "HelpLink" "${CONTACT_PAGE}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" \
        '"$INSTDIR\${UNINSTALLER}" /$MultiUser.InstallMode'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" \
        '"$INSTDIR\${UNINSTALLER}" /$MultiUser.InstallMode /S'
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" ${INSTALLED_SIZE_KB}
    !insertmacro FAIL_ON_ERRORS "The entry in the installed programs could not be written."
SectionEnd

Section "Uninstall"
    Call un.WaitUntilClosed
    ; A skin the user saved in the program folder goes with it.
    Delete "$INSTDIR\x\o.cjs"
    RMDir "$INSTDIR\x"
    ClearErrors
    !include "${FILE_LIST}"
    ; Files that stay (held open by another program) keep the uninstaller and its entry, so
    ; that it can be run again.
    ${If} ${Errors}
        SetErrorLevel 2
        MessageBox MB_OK|MB_ICONSTOP \
            "Some of ${PRODUCT}'s files in $INSTDIR could not be removed. Close the programs that use them, then uninstall again." \
            /SD IDOK
        Abort "Some files in $INSTDIR could not be removed."
    ${EndIf}
    !include "${FOLDER_LIST}"
    Delete "$INSTDIR\${UNINSTALLER}"
    ; Only an empty folder is removed: whatever else the user put there stays.
    RMDir "$INSTDIR"

    ; The start at log-on of this copy would start a program that is no longer there; that of
    ; another copy (a portable one, say) stays.
    ReadRegStr $0 HKCU "${RUN_KEY}" "${PRODUCT}"
    ${If} $0 == '"$INSTDIR\pingora.exe"'
        DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
    ${EndIf}

    ; The Start menu entry and the installed programs' entry, when they are this copy's.
    ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == $INSTDIR
        Delete "$SMPROGRAMS\${PRODUCT}.lnk"
        DeleteRegKey SHCTX "${UNINSTALL_KEY}"
    ${EndIf}
SectionEnd
