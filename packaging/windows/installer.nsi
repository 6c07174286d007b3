; Installer of the skin manager, made by build.sh with makensis (Debian's nsis package):
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.1 -DSTAGE=<program folder> -DUNINSTALL_LIST=<file>
;            -DOUTFILE=<setup.exe> [-DSIGN_COMMAND=<signs the file given as its argument>] installer.nsi
; Per user, without elevation, into %LOCALAPPDATA%\Programs\zorbel-skins; /S installs silently,
; /D=<folder> (last) picks the folder. The program updates itself in that folder, which is
; writable by its user alone: nothing here grants rights to anybody.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include "MUI2.nsh"

!define APP_NAME "Zorbel-DreadHunger-MOD下载器"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\zorbel-skins"

!ifdef SIGN_COMMAND
    !finalize '"${SIGN_COMMAND}" "%1"' = 0
    !uninstfinalize '"${SIGN_COMMAND}" "%1"' = 0
!endif

Name "${APP_NAME}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\zorbel-skins"
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
!define MUI_FINISHPAGE_RUN "$INSTDIR\zorbel-skins.exe"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

Function .onInit
    SetShellVarContext current
    ; Earlier versions installed per machine into Program Files. Two installations would
    ; leave two programs with one settings store and shortcuts of both, so the old one is
    ; removed first, by an administrator, with its own uninstaller.
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "UninstallString"
    StrCmp $0 "" no_machine_install
    ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    MessageBox MB_OK|MB_ICONEXCLAMATION \
        "此电脑上已有为所有用户安装的旧版本（$1）。$\n请先在“设置 → 应用”中卸载它，再运行本安装程序。" /SD IDOK
    SetErrorLevel 3
    Quit
no_machine_install:
FunctionEnd

Function un.onInit
    SetShellVarContext current
FunctionEnd

Section "程序文件" SectionProgram
    SectionIn RO
    SetOutPath "$INSTDIR"
    File /r "${STAGE}/*"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; The shortcuts start the program itself; its working folder is the output folder at the
    ; time a shortcut is made. An update gives the program this name back (it renames itself
    ; at close), so the shortcuts and a taskbar pin keep working.
    SetOutPath "$INSTDIR"
    CreateDirectory "$SMPROGRAMS\${APP_NAME}"
    CreateShortCut "$SMPROGRAMS\${APP_NAME}\${APP_NAME}.lnk" "$INSTDIR\zorbel-skins.exe" "" "$INSTDIR\app.ico" 0
    CreateShortCut "$SMPROGRAMS\${APP_NAME}\卸载 ${APP_NAME}.lnk" "$INSTDIR\uninstall.exe"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${APP_NAME}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Zorbel"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\app.ico"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "桌面快捷方式" SectionDesktop
    SetOutPath "$INSTDIR"
    CreateShortCut "$DESKTOP\${APP_NAME}.lnk" "$INSTDIR\zorbel-skins.exe" "" "$INSTDIR\app.ico" 0
SectionEnd

Section "Uninstall"
    ; What the program leaves here: a new version not yet renamed, an unfinished download
    ; and the update script.
    Delete "$INSTDIR\zorbel-skins*.exe"
    Delete "$INSTDIR\zorbel-update-*.part"
    Delete "$INSTDIR\update.bat"
    !include "${UNINSTALL_LIST}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"

    Delete "$SMPROGRAMS\${APP_NAME}\${APP_NAME}.lnk"
    Delete "$SMPROGRAMS\${APP_NAME}\卸载 ${APP_NAME}.lnk"
    RMDir "$SMPROGRAMS\${APP_NAME}"
    Delete "$DESKTOP\${APP_NAME}.lnk"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
