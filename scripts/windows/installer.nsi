; The store's programs in one program folder, the launcher started at every logon.
;   makensis -DVERSION=x.y.z -DFILES=files.nsh -DOUTFILE=SkyvaneSetup-x.y.z.exe installer.nsi
; FILES defines the macros InstallFiles and RemoveFiles (made by installer.sh from the layout).
; Silent use for technicians: SkyvaneSetup-x.y.z.exe /S /D=C:\Skyvane (the folder comes last,
; without quotes). Silent removal: uninstall.exe /S, with /PURGE to delete the store's data too.

Unicode true
; The programs are 64-bit only; a 64-bit installer also sees the 64-bit registry and folders.
Target amd64-unicode

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh

!ifndef VERSION | FILES | OUTFILE
  !error "VERSION, FILES and OUTFILE must be defined"
!endif
!include "${FILES}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Skyvane"

Name "Skyvane ${VERSION}"
OutFile "${OUTFILE}"
; Not under Program Files: the programs keep skyvane.ini, their logs, MissionData and the
; self-update beside themselves, and there the store's staff could not write them.
InstallDir "C:\Skyvane"
; An upgrade goes where the last installation went.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Skyvane"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Skyvane installer"
VIAddVersionKey "LegalCopyright" ""

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The resident launcher holds its files open: it is stopped before they are replaced or removed.
!macro StopLauncher
  nsExec::Exec 'taskkill /F /IM svLaunch.exe'
  Pop $0
  Sleep 500
!macroend

Function .onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

Section "Skyvane" SecPrograms
  SectionIn RO
  !insertmacro StopLauncher
  ; taskkill answers 0 when it stopped a running launcher: start it again at the end.
  StrCpy $R9 $0
  SetOutPath "$INSTDIR"
  ; Programs and DLLs only: skyvane.ini, transact.log, the logs and MissionData are the
  ; store's and are never part of the package, so an upgrade keeps them as they are.
  !insertmacro InstallFiles
  ; The store's staff run the programs, which write beside themselves: Users may modify.
  nsExec::Exec 'icacls "$INSTDIR" /grant *S-1-5-32-545:(OI)(CI)M /T /Q'
  Pop $0
  WriteUninstaller "$INSTDIR\uninstall.exe"

  SetOutPath "$INSTDIR" ; the shortcuts' working folder
  CreateShortCut "$SMSTARTUP\svLaunch.lnk" "$INSTDIR\svLaunch.exe"
  CreateDirectory "$SMPROGRAMS\Skyvane"
  CreateShortCut "$SMPROGRAMS\Skyvane\Skyvane.lnk" "$INSTDIR\skyvane.exe"
  CreateShortCut "$SMPROGRAMS\Skyvane\svSetup.lnk" "$INSTDIR\svSetup.exe"
  CreateShortCut "$SMPROGRAMS\Skyvane\Uninstall Skyvane.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Skyvane"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\skyvane.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

  ${If} $R9 == 0
    Exec '"$INSTDIR\svLaunch.exe"'
  ${EndIf}
SectionEnd

Section "un.Skyvane programs" SecUnPrograms
  SectionIn RO
  !insertmacro StopLauncher
  Delete "$SMSTARTUP\svLaunch.lnk"
  RMDir /r "$SMPROGRAMS\Skyvane"
  !insertmacro RemoveFiles
  ; What the self-update leaves behind is program, not data.
  Delete "$INSTDIR\skyvane.new"
  Delete "$INSTDIR\skyvane.old"
  Delete "$INSTDIR\skyvane.zip"
  Delete "$INSTDIR\uninstall.exe"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; Only when nothing of the store's is left.
  RMDir "$INSTDIR"
SectionEnd

; Named files only, never the whole folder: the folder may hold more than ours.
Section /o "un.Settings, logs and mission data" SecPurge
  Delete "$INSTDIR\skyvane.ini"
  Delete "$INSTDIR\transact.log"
  Delete "$INSTDIR\debug.log"
  Delete "$INSTDIR\debugSend.log"
  Delete "$INSTDIR\debugRecd.log"
  Delete "$INSTDIR\debugFTP.log"
  Delete "$INSTDIR\vanelet.log"
  Delete "$INSTDIR\error.log"
  Delete "$INSTDIR\MissionPackIn.zip"
  RMDir /r "$INSTDIR\MissionData"
  RMDir "$INSTDIR"
SectionEnd

; After the sections: /PURGE selects the data section by its index.
Function un.onInit
  SetShellVarContext all
  SetRegView 64
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/PURGE" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecPurge}
  ${EndIf}
FunctionEnd
