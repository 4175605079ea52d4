; The Windows installer: 64-bit, Unicode, per-machine under Program Files.
; makensis -DSTAGE=<folder with the shipped files> -DOUTFILE=<setup.exe> -DVERSION=1.0.4.0 sonvel.nsi
; The shipped files are sonvel.exe and its two help pages; the staging folder is
; what the portable zip holds too.
Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "x64.nsh"

!ifndef VERSION
  !define VERSION "1.0.4.0"
!endif
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Sonvel"

Name "Sonvel"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Sonvel"
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "Sonvel"
VIAddVersionKey /LANG=1033 "FileDescription" "Sonvel sound recorder setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "CompanyName" "Sonvel"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Sonvel"

!define MUI_ICON "..\res\icons\app.ico"
!define MUI_UNICON "..\res\icons\app.ico"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\sonvel.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

LangString RemoveSettings ${LANG_ENGLISH} "Also remove your Sonvel settings and effect chain?"
LangString RemoveSettings ${LANG_JAPANESE} "Sonvel の設定とエフェクトの設定も削除しますか？"
LangString HelpLink ${LANG_ENGLISH} "Sonvel Help"
LangString HelpLink ${LANG_JAPANESE} "Sonvel ヘルプ"
LangString HelpPage ${LANG_ENGLISH} "sonvel-en.html"
LangString HelpPage ${LANG_JAPANESE} "sonvel-ja.html"

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "Sonvel needs 64-bit Windows."
    Abort
  ${EndIf}
  SetRegView 64
  !insertmacro MUI_LANGDLL_DISPLAY
FunctionEnd

Section "Sonvel" SecMain
  SectionIn RO
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${STAGE}\sonvel.exe"
  File "${STAGE}\sonvel-ja.html"
  File "${STAGE}\sonvel-en.html"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "$SMPROGRAMS\Sonvel"
  CreateShortCut "$SMPROGRAMS\Sonvel\Sonvel.lnk" "$INSTDIR\sonvel.exe"
  CreateShortCut "$SMPROGRAMS\Sonvel\$(HelpLink).lnk" "$INSTDIR\$(HelpPage)"

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "Sonvel"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "Sonvel"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\sonvel.exe"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
  SetRegView 64
  !insertmacro MUI_UNGETLANGUAGE
FunctionEnd

; The user's settings and effect chain (under %LOCALAPPDATA%) stay unless the
; user asks: interactively by answering Yes, silently with /REMOVESETTINGS.
Section "Uninstall"
  SetShellVarContext all
  Delete "$INSTDIR\sonvel.exe"
  Delete "$INSTDIR\sonvel-ja.html"
  Delete "$INSTDIR\sonvel-en.html"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Sonvel\Sonvel.lnk"
  Delete "$SMPROGRAMS\Sonvel\$(HelpLink).lnk"
  RMDir "$SMPROGRAMS\Sonvel"
  DeleteRegKey HKLM "${UNINST_KEY}"

  SetShellVarContext current
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/REMOVESETTINGS" $R1
  ${IfNot} ${Errors}
    Goto remove
  ${EndIf}
  IfSilent keep
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "$(RemoveSettings)" IDNO keep
remove:
  Delete "$LOCALAPPDATA\Vexalabs\sonvel\sonvel.ini"
  Delete "$LOCALAPPDATA\Vexalabs\sonvel\sonvel.xml"
  RMDir "$LOCALAPPDATA\Vexalabs\sonvel"
  RMDir "$LOCALAPPDATA\Vexalabs"
keep:
SectionEnd
