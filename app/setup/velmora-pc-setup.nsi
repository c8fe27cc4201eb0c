; The setup program of the Windows package, velmora-pc-setup.exe, made by
; scripts/package-windows.sh with makensis -INPUTCHARSET UTF8. It installs
; for the current user only, with no administrator prompt, into
; %LOCALAPPDATA%\Programs\Velmora-PC or a folder the user picks: the user may
; write there, so set.ini beside the program (the remembered receive folder)
; works. Start-menu and desktop shortcuts, an entry under Settings -> Apps
; with an uninstaller. Installing over an earlier version keeps set.ini; the
; uninstaller removes what setup put there and says what it leaves.
; /S installs or uninstalls without a window, /D=FOLDER (last) picks the
; folder, for IT staff who roll the program out to many PCs.
; Defines from the packaging script: STAGE (the packed files), FILES (the
; file list it wrote), ICON, OUTFILE.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include "LogicLib.nsh"
!include "MUI2.nsh"
!include "${FILES}"

!define PRODUCT "Velmora-PC端"
!define VERSION "10.1"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora-PC"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Velmora-PC"
; An update goes where the earlier version is.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

; The program names no copyright holder.
!pragma warning disable 9100
VIProductVersion "10.1.0.0"
VIAddVersionKey /LANG=2052 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=2052 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "FileDescription" "${PRODUCT} 安装程序"
VIAddVersionKey /LANG=2052 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "OriginalFilename" "velmora-pc-setup.exe"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\velmora-pc.exe"
!define MUI_FINISHPAGE_RUN_TEXT "现在运行 ${PRODUCT}"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

; A 64-bit setup program: 32-bit Windows refuses to start it at all.
Function .onInit
    SetShellVarContext current
FunctionEnd

Function un.onInit
    SetShellVarContext current
FunctionEnd

Section "${PRODUCT}" Main
    SectionIn RO
    ; set.ini is the program's, not setup's: it is never written or removed
    ; here, so an update keeps the receive folder staff chose.
    !insertmacro VELMORA_INSTALL_FILES
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\velmora-pc.exe" "" "$INSTDIR\velmora-pc.exe" 0
    CreateShortCut "$DESKTOP\${PRODUCT}.lnk" "$INSTDIR\velmora-pc.exe" "" "$INSTDIR\velmora-pc.exe" 0
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\velmora-pc.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

Section "Uninstall"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    Delete "$DESKTOP\${PRODUCT}.lnk"
    !insertmacro VELMORA_UNINSTALL_FILES
    Delete "$INSTDIR\uninstall.exe"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ; Removed only when empty: a folder holding set.ini or anything of the
    ; user's stays.
    RMDir "$INSTDIR"
    ${If} ${FileExists} "$INSTDIR\set.ini"
        MessageBox MB_ICONINFORMATION "${PRODUCT} 已卸载。$\r$\n$\r$\n保留了设置文件 $INSTDIR\set.ini（记住的保存目录），再次安装时仍然使用；不需要时可以删除它。$\r$\n$\r$\n收到的照片在您选择的保存目录里，卸载不会删除它们。" /SD IDOK
    ${Else}
        MessageBox MB_ICONINFORMATION "${PRODUCT} 已卸载。$\r$\n$\r$\n收到的照片在您选择的保存目录里，卸载不会删除它们。" /SD IDOK
    ${EndIf}
SectionEnd
