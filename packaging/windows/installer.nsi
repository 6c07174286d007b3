; Installer of the skin manager, made by build.sh with makensis (Debian's nsis package):
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.1 -DSTAGE=<program folder> -DUNINSTALL_LIST=<file>
;            -DOUTFILE=<setup.exe> installer.nsi
; Per machine, into Program Files; /S installs silently, /D=<folder> (last) picks the folder.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"

!define APP_NAME "Zorbel-DreadHunger-MOD下载器"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\zorbel-skins"
; The program updates itself by downloading the new version under a new file name into its
; working folder (this one) and deleting the old file, so the shortcuts start whichever
; zorbel-skins*.exe lies there instead of naming one file.
!define LAUNCH_ARGS '/c for %f in (zorbel-skins*.exe) do start "" "%f"'

Name "${APP_NAME}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Zorbel\zorbel-skins"
BrandingText "${APP_NAME} ${VERSION}"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=2052 "ProductName" "${APP_NAME}"
VIAddVersionKey /LANG=2052 "FileDescription" "${APP_NAME} 安装程序"
VIAddVersionKey /LANG=2052 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "CompanyName" "Zorbel"
VIAddVersionKey /LANG=2052 "LegalCopyright" "Zorbel"

!define MUI_ICON "${STAGE}/app.ico"
!define MUI_UNICON "${STAGE}/app.ico"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION StartProgram

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

Function .onInit
    SetShellVarContext all
FunctionEnd

Function un.onInit
    SetShellVarContext all
FunctionEnd

Function StartProgram
    SetOutPath "$INSTDIR"
    Exec '"$SYSDIR\cmd.exe" ${LAUNCH_ARGS}'
FunctionEnd

Section "程序文件" SectionProgram
    SectionIn RO
    SetOutPath "$INSTDIR"
    File /r "${STAGE}/*"
    ; The program writes its update and update.bat into this folder without elevation.
    nsExec::Exec '"$SYSDIR\icacls.exe" "$INSTDIR" /grant *S-1-5-32-545:(OI)(CI)M'
    Pop $0
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; A shortcut's working folder is the output folder at the time it is made.
    SetOutPath "$INSTDIR"
    CreateDirectory "$SMPROGRAMS\${APP_NAME}"
    CreateShortCut "$SMPROGRAMS\${APP_NAME}\${APP_NAME}.lnk" "$SYSDIR\cmd.exe" '${LAUNCH_ARGS}' \
        "$INSTDIR\app.ico" 0 SW_SHOWMINIMIZED
    CreateShortCut "$SMPROGRAMS\${APP_NAME}\卸载 ${APP_NAME}.lnk" "$INSTDIR\uninstall.exe"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${APP_NAME}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Zorbel"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\app.ico"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "桌面快捷方式" SectionDesktop
    SetOutPath "$INSTDIR"
    CreateShortCut "$DESKTOP\${APP_NAME}.lnk" "$SYSDIR\cmd.exe" '${LAUNCH_ARGS}' "$INSTDIR\app.ico" 0 \
        SW_SHOWMINIMIZED
SectionEnd

Section "Uninstall"
    ; What the program leaves here: its downloaded new versions and the update script.
    Delete "$INSTDIR\zorbel-skins*.exe"
    Delete "$INSTDIR\update.bat"
    !include "${UNINSTALL_LIST}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    RMDir "$INSTDIR\.."

    Delete "$SMPROGRAMS\${APP_NAME}\${APP_NAME}.lnk"
    Delete "$SMPROGRAMS\${APP_NAME}\卸载 ${APP_NAME}.lnk"
    RMDir "$SMPROGRAMS\${APP_NAME}"
    Delete "$DESKTOP\${APP_NAME}.lnk"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
