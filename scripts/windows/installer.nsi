; The store's programs in one program folder that belongs to a local group, Skyvane: its members
; run the programs, which write their settings, logs, Mission Pack and self-update beside
; themselves; nobody else may read or change anything there, and nothing from there runs for
; anyone else. The uninstaller, the install log and the launcher's task definition live in an
; administrators' folder, %ProgramFiles%\Skyvane.
;   makensis -DVERSION=x.y.z -DFILES=files.nsh -DOUTFILE=SkyvaneSetup-x.y.z.exe installer.nsi
; FILES defines the macros InstallFiles and RemoveFiles (made by installer.sh from the layout).
;
; Silent use for technicians (the folder comes last, without quotes):
;   SkyvaneSetup-x.y.z.exe /S /MEMBER=storeuser /ID=STORE12 /PASS=secret /CONNECTION=LAN
;     /SERVER=polling.example.com /PORT=55555 /FTPTLS=True /FTPCAFILE=office-ca.pem
;     /TIMETOSEND="10:15 PM" /D=C:\Skyvane
; Every setting given is written into skyvane.ini; one left out keeps what skyvane.ini has.
; /MEMBER names the account that runs Skyvane (default: the account logged on to the session);
; an administrator is never added. Silent removal: "%ProgramFiles%\Skyvane\uninstall.exe" /S,
; with /PURGE to delete the store's data too.

Unicode true
; The programs are 64-bit only; a 64-bit installer also sees the 64-bit registry and folders.
Target amd64-unicode

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh
!include StrFunc.nsh
!include WordFunc.nsh
!include nsDialogs.nsh

!ifndef VERSION | FILES | OUTFILE
  !error "VERSION, FILES and OUTFILE must be defined"
!endif
!include "${FILES}"

${StrStr}

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Skyvane"
!define GROUP "Skyvane"
!define ADMIN_DIR "$PROGRAMFILES64\Skyvane"
!define TASK "Skyvane Launcher"
; Well-known SIDs: local system, the administrators.
!define SYSTEM_SID "*S-1-5-18"
!define ADMINS_SID "*S-1-5-32-544"

Name "Skyvane ${VERSION}"
OutFile "${OUTFILE}"
; Not under Program Files: the programs keep skyvane.ini, their logs, MissionData and the
; self-update beside themselves.
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

Var Member
Var MemberField
Var Log
Var Fresh

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_DIRECTORY
Page custom MemberPage MemberPageLeave
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Runs the command line in $R0 without a window and writes it with its exit code into the
; install log; the exit code ends in $0 ("error" when it could not be started).
!macro DefineRunLogged PREFIX
Function ${PREFIX}RunLogged
  FileWrite $Log "> $R0$\r$\n"
  nsExec::ExecToStack $R0
  Pop $0
  Pop $1
  FileWrite $Log "  exit $0$\r$\n"
FunctionEnd
!macroend
!insertmacro DefineRunLogged ""
!insertmacro DefineRunLogged "un."

!macro Run COMMAND
  StrCpy $R0 `${COMMAND}`
  Call RunLogged
!macroend
!macro UnRun COMMAND
  StrCpy $R0 `${COMMAND}`
  Call un.RunLogged
!macroend

; A step the folder's safety depends on: its failure ends the installation.
!macro Required WHAT
  ${If} $0 != 0
    FileWrite $Log "failed: ${WHAT}$\r$\n"
    FileClose $Log
    SetErrorLevel 2
    MessageBox MB_ICONSTOP|MB_OK "Skyvane cannot be installed: ${WHAT} failed (exit $0). See ${ADMIN_DIR}\install.log." /SD IDOK
    Quit
  ${EndIf}
!macroend

; The resident launcher holds its files open: it is stopped before they are replaced or removed.
; It comes back at the members' next logon; nothing is started from here.
!macro StopLauncher
  nsExec::Exec 'taskkill /F /IM svLaunch.exe'
  Pop $0
  Sleep 500
!macroend

Function .onInit
  SetShellVarContext all
  SetRegView 64
  ${GetParameters} $R1
  ClearErrors
  ${GetOptions} $R1 "/MEMBER=" $Member
  ${If} ${Errors}
    ; The account logged on to this session: the store's, when an administrator only confirmed
    ; the elevation.
    StrCpy $Member ""
    System::Call 'wtsapi32::WTSQuerySessionInformationW(p 0, i -1, i 5, *p .r1, *i .r2) i .r0'
    ${If} $0 <> 0
      System::Call '*$1(&w256 .s)'
      Pop $Member
      System::Call 'wtsapi32::WTSFreeMemory(p r1)'
    ${EndIf}
  ${EndIf}
FunctionEnd

Function MemberPage
  !insertmacro MUI_HEADER_TEXT "Store account" "The account that runs Skyvane at this store"
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 48u "Only the accounts of the local group ${GROUP} may run Skyvane and read or change its settings and logs. This account is put into the group; add more later with: net localgroup ${GROUP} NAME /add. An administrator is not added."
  Pop $0
  ${NSD_CreateText} 0 56u 100% 12u $Member
  Pop $MemberField
  nsDialogs::Show
FunctionEnd

Function MemberPageLeave
  ${NSD_GetText} $MemberField $Member
FunctionEnd

; Writes skyvane.ini's key from the command-line option, when one was given.
!macro PresetSetting OPTION KEY
  ClearErrors
  ${GetOptions} $R1 "${OPTION}" $R2
  ${IfNot} ${Errors}
    WriteINIStr "$INSTDIR\skyvane.ini" "system" "${KEY}" $R2
    FileWrite $Log "skyvane.ini: ${KEY} set$\r$\n"
  ${EndIf}
!macroend

; The folder and everything in it become the group's, whoever made them: administrators own
; everything, every ACL entry anyone else set is dropped, the folder inherits nothing from its
; parent (C:\ lets every account modify new folders) and hands its own entries down.
Function TakeFolder
  ${If} $Fresh == 1
    !insertmacro Run 'icacls "$INSTDIR" /inheritance:r /grant:r ${SYSTEM_SID}:(OI)(CI)F ${ADMINS_SID}:(OI)(CI)F ${GROUP}:(OI)(CI)M /L /Q'
    !insertmacro Required "the program folder's access list"
    !insertmacro Run 'icacls "$INSTDIR" /setowner ${ADMINS_SID} /L /Q'
    !insertmacro Required "the program folder's owner"
    ; Another account may have written into it before its access list was set: not ours.
    FindFirst $1 $2 "$INSTDIR\*"
    ${Do}
      ${If} $2 != "."
      ${AndIf} $2 != ".."
        ${ExitDo}
      ${EndIf}
      FindNext $1 $2
    ${LoopUntil} $2 == ""
    FindClose $1
    ${If} $2 != ""
      StrCpy $0 1
      !insertmacro Required "the new program folder was written by someone else meanwhile ($2)"
    ${EndIf}
    Return
  ${EndIf}
  !insertmacro Run 'icacls "$INSTDIR" /setowner ${ADMINS_SID} /T /C /L /Q'
  !insertmacro Required "taking back the owner of the existing program folder"
  !insertmacro Run 'icacls "$INSTDIR" /reset /T /C /L /Q'
  !insertmacro Required "dropping the access entries of the existing program folder"
  !insertmacro Run 'icacls "$INSTDIR" /inheritance:r /grant:r ${SYSTEM_SID}:(OI)(CI)F ${ADMINS_SID}:(OI)(CI)F ${GROUP}:(OI)(CI)M /L /Q'
  !insertmacro Required "the program folder's access list"
  ; What was made in the folder while it still inherited from its parent.
  !insertmacro Run 'icacls "$INSTDIR" /setowner ${ADMINS_SID} /T /C /L /Q'
  !insertmacro Required "taking back the owner of what the folder holds"
  !insertmacro Run 'icacls "$INSTDIR\*" /reset /T /C /L /Q'
  ; Links at the top of the folder lead elsewhere (a MissionData that is a junction): removed.
  FindFirst $1 $2 "$INSTDIR\*"
  ${DoWhile} $2 != ""
    ${If} $2 != "."
    ${AndIf} $2 != ".."
      System::Call 'kernel32::GetFileAttributesW(w "$INSTDIR\$2") i .r3'
      IntOp $3 $3 & 0x400
      ${If} $3 <> 0
        FileWrite $Log "removed the link $INSTDIR\$2$\r$\n"
        RMDir "$INSTDIR\$2"
        Delete "$INSTDIR\$2"
      ${EndIf}
    ${EndIf}
    FindNext $1 $2
  ${Loop}
  FindClose $1
FunctionEnd

; svLaunch starts at the logon of every member of the group, with the member's own rights
; (never elevated), one copy per member's session; for anyone else nothing starts.
Function RegisterLauncher
  ${WordReplace} "$INSTDIR" "&" "&amp;" "+" $2
  FileOpen $1 "${ADMIN_DIR}\launcher-task.xml" w
  FileWriteUTF16LE /BOM $1 '<?xml version="1.0" encoding="UTF-16"?>$\r$\n'
  FileWriteUTF16LE $1 '<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">$\r$\n'
  FileWriteUTF16LE $1 '  <RegistrationInfo><Description>Starts svLaunch at the logon of each member of the local group ${GROUP}.</Description></RegistrationInfo>$\r$\n'
  FileWriteUTF16LE $1 '  <Triggers><LogonTrigger><Enabled>true</Enabled></LogonTrigger></Triggers>$\r$\n'
  FileWriteUTF16LE $1 '  <Principals><Principal id="Members"><GroupId>${GROUP}</GroupId><RunLevel>LeastPrivilege</RunLevel></Principal></Principals>$\r$\n'
  FileWriteUTF16LE $1 '  <Settings><MultipleInstancesPolicy>Parallel</MultipleInstancesPolicy><DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries><StopIfGoingOnBatteries>false</StopIfGoingOnBatteries><ExecutionTimeLimit>PT0S</ExecutionTimeLimit></Settings>$\r$\n'
  FileWriteUTF16LE $1 '  <Actions Context="Members"><Exec><Command>$2\svLaunch.exe</Command><WorkingDirectory>$2</WorkingDirectory></Exec></Actions>$\r$\n'
  FileWriteUTF16LE $1 '</Task>$\r$\n'
  FileClose $1
  !insertmacro Run 'schtasks /create /tn "${TASK}" /xml "${ADMIN_DIR}\launcher-task.xml" /f'
  !insertmacro Required "the launcher's logon task"
FunctionEnd

Section "Skyvane" SecPrograms
  SectionIn RO
  CreateDirectory "${ADMIN_DIR}"
  FileOpen $Log "${ADMIN_DIR}\install.log" a
  FileSeek $Log 0 END
  FileWrite $Log "== Skyvane ${VERSION} into $INSTDIR$\r$\n"
  !insertmacro StopLauncher

  ; The group; an existing one is kept with its members.
  !insertmacro Run 'net localgroup "${GROUP}" /add /comment:"Accounts that run Skyvane"'
  !insertmacro Run 'net localgroup "${GROUP}"'
  !insertmacro Required "the local group ${GROUP}"
  ${If} $Member != ""
    !insertmacro Run 'net localgroup Administrators'
    ${StrStr} $2 "$\n$1" "$\n$Member$\r"
    ${If} $2 != ""
    ${OrIf} $Member == "Administrator"
      FileWrite $Log "not added to ${GROUP}: $Member is an administrator$\r$\n"
      DetailPrint "$Member is an administrator and is not added to ${GROUP}."
    ${Else}
      !insertmacro Run 'net localgroup "${GROUP}" "$Member" /add'
    ${EndIf}
  ${EndIf}

  StrCpy $Fresh 0
  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    StrCpy $Fresh 1
    CreateDirectory "$INSTDIR"
  ${EndIf}
  Call TakeFolder

  ; Programs only: skyvane.ini, transact.log, the logs and MissionData are the store's and are
  ; never part of the package, so an upgrade keeps them as they are. Program files an earlier
  ; layout let anyone plant (any .exe or .dll, its uninstaller) go first.
  Delete "$INSTDIR\*.exe"
  Delete "$INSTDIR\*.dll"
  !insertmacro RemoveFiles
  SetOutPath "$INSTDIR"
  !insertmacro InstallFiles

  ${GetParameters} $R1
  !insertmacro PresetSetting "/ID=" "ID"
  !insertmacro PresetSetting "/PASS=" "Pass"
  !insertmacro PresetSetting "/CONNECTION=" "Connection"
  !insertmacro PresetSetting "/SERVER=" "Server"
  !insertmacro PresetSetting "/PORT=" "Port"
  !insertmacro PresetSetting "/FTPTLS=" "FtpTls"
  !insertmacro PresetSetting "/FTPCAFILE=" "FtpCaFile"
  !insertmacro PresetSetting "/TIMETOSEND=" "TimeToSend"

  Call RegisterLauncher
  ; Earlier layouts started svLaunch for every logon from here.
  Delete "$SMSTARTUP\svLaunch.lnk"

  ; Shown to the group's members only; administrators and everyone else do not see them.
  SetOutPath "$INSTDIR" ; the shortcuts' working folder
  ${If} ${FileExists} "$SMPROGRAMS\Skyvane\*.*"
    !insertmacro Run 'icacls "$SMPROGRAMS\Skyvane" /reset /T /Q'
  ${EndIf}
  CreateDirectory "$SMPROGRAMS\Skyvane"
  Delete "$SMPROGRAMS\Skyvane\Uninstall Skyvane.lnk"
  CreateShortCut "$SMPROGRAMS\Skyvane\Skyvane.lnk" "$INSTDIR\skyvane.exe"
  CreateShortCut "$SMPROGRAMS\Skyvane\svSetup.lnk" "$INSTDIR\svSetup.exe"
  CreateShortCut "$SMPROGRAMS\Skyvane\Skyvane Launcher.lnk" "$INSTDIR\svLaunch.exe"
  !insertmacro Run 'icacls "$SMPROGRAMS\Skyvane" /inheritance:r /grant:r ${SYSTEM_SID}:(OI)(CI)F ${GROUP}:(OI)(CI)RX /T /Q'

  WriteUninstaller "${ADMIN_DIR}\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Skyvane"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\skyvane.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"${ADMIN_DIR}\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"${ADMIN_DIR}\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  FileWrite $Log "done$\r$\n"
  FileClose $Log
SectionEnd

Section "un.Skyvane programs" SecUnPrograms
  SectionIn RO
  FileOpen $Log "${ADMIN_DIR}\install.log" a
  FileSeek $Log 0 END
  FileWrite $Log "== removing Skyvane from $INSTDIR$\r$\n"
  !insertmacro StopLauncher
  !insertmacro UnRun 'schtasks /delete /tn "${TASK}" /f'
  Delete "$SMSTARTUP\svLaunch.lnk"
  ; The menu folder is the group's only: made deletable again first.
  !insertmacro UnRun 'icacls "$SMPROGRAMS\Skyvane" /reset /T /Q'
  RMDir /r "$SMPROGRAMS\Skyvane"
  !insertmacro RemoveFiles
  ; What the self-update and the single-instance guard leave behind is program, not data.
  Delete "$INSTDIR\skyvane.new"
  Delete "$INSTDIR\skyvane.old"
  Delete "$INSTDIR\skyvane.zip"
  Delete "$INSTDIR\skyvane.lock"
  Delete "$INSTDIR\skyvane.channel"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; Only when nothing of the store's is left.
  RMDir "$INSTDIR"
  FileWrite $Log "done$\r$\n"
  FileClose $Log
  Delete "${ADMIN_DIR}\launcher-task.xml"
  Delete "${ADMIN_DIR}\uninstall.exe"
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
  Delete "${ADMIN_DIR}\install.log"
  RMDir "${ADMIN_DIR}"
SectionEnd

; After the sections: /PURGE selects the data section by its index. The uninstaller lives in the
; administrators' folder; the program folder is the one the installation recorded.
Function un.onInit
  SetShellVarContext all
  SetRegView 64
  ReadRegStr $R0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $R0 == ""
    MessageBox MB_ICONSTOP|MB_OK "No Skyvane installation is recorded on this computer." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  StrCpy $INSTDIR $R0
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/PURGE" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecPurge}
  ${EndIf}
FunctionEnd
