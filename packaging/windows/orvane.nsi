; The Windows setup program: one file for 32-bit and 64-bit Windows that installs the program
; which fits the Windows it runs on, for the current user only (no administrator rights), and
; makes Orvane the screen saver the way the screen saver's own "Install" does.
;
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.2.3.4 -DFILES=DIR -DOUTFILE=FILE orvane.nsi
;
; DIR is the portable zip's folder: License.txt, 32-bit\Orvane.scr and 64-bit\Orvane.scr
; (scripts/package.sh makes both). The setup program itself is a 32-bit program, which every
; Windows runs; -DTARGET=amd64-unicode makes a 64-bit one of the same script instead, for
; machines whose Wine runs 64-bit programs only.

Unicode true
!ifdef TARGET
    Target ${TARGET}
!endif
!macro Required NAME
    !ifndef ${NAME}
        !error "-D${NAME}=... is missing"
    !endif
!macroend
!insertmacro Required VERSION
!insertmacro Required FILES
!insertmacro Required OUTFILE

!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvane"
!define SETTINGS_KEY "Software\Orvane"
!define DESKTOP_KEY "Control Panel\Desktop"
!define SPI_SETSCREENSAVEACTIVE 17
!define SPIF_UPDATE_AND_SEND 3    ; SPIF_UPDATEINIFILE | SPIF_SENDCHANGE

Name "Orvane"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Orvane"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
SetCompressor /SOLID lzma
ManifestDPIAware true
ManifestSupportedOS all
BrandingText "Orvane ${VERSION}"

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=0 ProductName "Orvane"
VIAddVersionKey /LANG=0 ProductVersion "${VERSION}"
VIAddVersionKey /LANG=0 FileVersion "${VERSION}"
VIAddVersionKey /LANG=0 FileDescription "Orvane Setup"
VIAddVersionKey /LANG=0 CompanyName "Tesserium"
VIAddVersionKey /LANG=0 LegalCopyright "Copyright (C) 2026 Tesserium"

!define MUI_ICON "${__FILEDIR__}/../../shell/win32/res/orvane.ico"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_TEXT "$(FinishText)"
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "$(OpenSettings)"
!define MUI_FINISHPAGE_RUN_FUNCTION OpenScreenSaverSettings

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The first language is the one for users of any language but these two.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

LangString FinishText ${LANG_ENGLISH} "Orvane is installed and is now your screen saver.$\r$\n$\r$\nOrvane in the Start menu opens its settings and starts the show."
LangString FinishText ${LANG_JAPANESE} "Orvane をインストールし、スクリーン セーバーに設定しました。$\r$\n$\r$\nスタート メニューの Orvane から設定を開き、ショーを開始できます。"
LangString OpenSettings ${LANG_ENGLISH} "Open the Screen Saver Settings"
LangString OpenSettings ${LANG_JAPANESE} "スクリーン セーバーの設定を開く"
LangString ShortcutComment ${LANG_ENGLISH} "Orvane's settings, and the show"
LangString ShortcutComment ${LANG_JAPANESE} "Orvane の設定とショーの開始"
LangString FileInUse ${LANG_ENGLISH} "$0 is in use. Close Orvane and try again."
LangString FileInUse ${LANG_JAPANESE} "$0 は使用中です。Orvane を終了してから、もう一度お試しください。"

; The files of one program build; the 64-bit one runs only on x64 Windows, the 32-bit one on
; every other (ARM64 Windows 10 runs no x64 program).
!macro InstallProgram BITS
    File "${FILES}/${BITS}/Orvane.scr"
    ; For the Start menu's entry: a ".scr" started by the shell always runs the show.
    File "${FILES}/${BITS}/Orvane.exe"
!macroend

Section
    SetOutPath "$INSTDIR"
    ${If} ${IsNativeAMD64}
        !insertmacro InstallProgram 64-bit
    ${Else}
        !insertmacro InstallProgram 32-bit
    ${EndIf}
    File "${FILES}/License.txt"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    CreateShortCut "$SMPROGRAMS\Orvane.lnk" "$INSTDIR\Orvane.exe" "" "$INSTDIR\Orvane.exe" 0 \
        SW_SHOWNORMAL "" "$(ShortcutComment)"

    ; What "Install" on a screen saver does: its short path in the user's desktop settings,
    ; and the screen saver switched on.
    GetFullPathName /SHORT $0 "$INSTDIR\Orvane.scr"
    WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$0"
    System::Call "user32::SystemParametersInfoW(i ${SPI_SETSCREENSAVEACTIVE}, i 1, p 0, i ${SPIF_UPDATE_AND_SEND})"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Orvane"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Tesserium"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "URLInfoAbout" "https://tesserium.example/"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Orvane.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function OpenScreenSaverSettings
    Exec '"$SYSDIR\control.exe" desk.cpl,,@screensaver'
FunctionEnd

; un.RemoveFile NAME: deletes a file of the program folder; one still open (Orvane running)
; is asked about until it can go or the user gives up, which ends the uninstall unchanged
; but for the files already gone.
!macro RemoveFile NAME
    StrCpy $0 "${NAME}"
    Call un.RemoveFile
!macroend

Function un.RemoveFile
    retry:
    Delete "$INSTDIR\$0"
    ${If} ${FileExists} "$INSTDIR\$0"
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(FileInUse)" /SD IDCANCEL IDRETRY retry
        Abort
    ${EndIf}
FunctionEnd

Section Uninstall
    ; Orvane stays the screen saver only as long as it is installed. Both paths are compared
    ; in their short form, which is how the system writes them, and before the program goes.
    ReadRegStr $1 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    GetFullPathName /SHORT $1 "$1"
    GetFullPathName /SHORT $2 "$INSTDIR\Orvane.scr"

    !insertmacro RemoveFile Orvane.scr
    !insertmacro RemoveFile Orvane.exe
    !insertmacro RemoveFile License.txt
    Delete "$SMPROGRAMS\Orvane.lnk"
    ${If} $1 != ""
    ${AndIf} $1 == $2
        DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${EndIf}
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    Delete "$INSTDIR\Uninstall.exe"
    ; The folder stays when the show saved pictures in it: they are the user's.
    RMDir "$INSTDIR"
SectionEnd
