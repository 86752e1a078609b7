; uninstall.exe, which the installer puts in the install folder: removes the files the installer
; put there, then each of its folders once empty (whatever the user added stays), the Start-menu
; entries and the "Apps" entry. All of it, or, when an installed file is in use (the show or the
; capture tool running holds its .exe and the DLL), none of it: a box says so, and the status is 2
; (with /S, the status alone). Made by installer.cmake before the installer, which carries it;
; CONFIG (installer_config.nsh) gives the installed_files and installed_folders lists, OUT the file.
;
; A running program can neither remove nor (under Wine) move its own file, so the end is left to
; a copy of it in the temporary folder, started as it ends: the copy waits for it to be gone, then
; removes uninstall.exe, the install folder if empty and the "Apps" entry, so that the entry
; lasts as long as the uninstaller it names. NSIS's own uninstaller hands all of its work to such a
; copy and ends at once with status 0, whatever then happens: a caller could never learn of a
; refusal.

!include "${CONFIG}"
!define DESCRIPTION "uninstaller"
!include "${__FILEDIR__}/common.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

Caption "velmorastik ${VERSION} uninstall"
OutFile "${OUT}"
ShowInstDetails show
Page instfiles

; 1 in the copy that finishes an uninstall: started with /finish and the install folder as /D=.
Var finishing

; Sets $R1 to FILE, under the install folder, when it is in use and $R1 is still empty. Opened to
; be written and deleted, shared with no one, a file is refused (a sharing or lock violation)
; while any program has it open, and a running program's .exe and DLLs always. A missing file or
; a read-only one is not in use: Delete takes both.
!macro check_in_use FILE
  ${If} $R1 == ""
    System::Call 'kernel32::CreateFileW(w "$INSTDIR\${FILE}", i 0x40010000, i 0, p 0, i 3, i 0, p 0) p.r0 ?e'
    Pop $1
    ${If} $0 = -1
      ${If} $1 = 32
      ${OrIf} $1 = 33
        StrCpy $R1 "${FILE}"
      ${EndIf}
    ${Else}
      System::Call 'kernel32::CloseHandle(p r0)'
    ${EndIf}
  ${EndIf}
!macroend

!macro delete_installed FILE
  Delete "$INSTDIR\${FILE}"
!macroend

!macro remove_if_empty FOLDER
  RMDir "$INSTDIR\${FOLDER}"
!macroend

; Ends the uninstaller with status 2, nothing changed, when an installed file is in use, and says
; which in a box (with /S, nowhere).
Function stop_if_in_use
  StrCpy $R1 ""
  !insertmacro installed_files check_in_use
  ${If} $R1 != ""
    MessageBox MB_OK|MB_ICONSTOP "velmorastik cannot be uninstalled while it runs: $INSTDIR\$R1 is in use.$\r$\n$\r$\nNothing was removed. End the show (and the capture tool), then uninstall again." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

Function .onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/finish" $1
  ${IfNot} ${Errors}
    StrCpy $finishing 1
    SetSilent silent
    Return
  ${EndIf}
  StrCpy $INSTDIR $EXEDIR
  Call stop_if_in_use
  ${IfNot} ${Silent}
  ${AndIfNot} ${Cmd} `MessageBox MB_YESNO|MB_ICONQUESTION "Remove velmorastik ${VERSION} from $INSTDIR?$\r$\n$\r$\nFiles you added to the folder stay there." IDYES`
    SetErrorLevel 1
    Quit
  ${EndIf}
FunctionEnd

Section
  ${If} $finishing == 1
    Call finish
    Return
  ${EndIf}
  ; Again: the show may have been started while the question was up.
  Call stop_if_in_use
  SetShellVarContext current
  ClearErrors
  !insertmacro installed_files delete_installed
  ${If} ${Errors}
    ; Taken since the check: uninstall.exe and the entry stay, to finish the job later.
    MessageBox MB_OK|MB_ICONSTOP "Some of velmorastik's files in $INSTDIR could not be removed.$\r$\n$\r$\nEnd the show (and the capture tool), then uninstall again." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  !insertmacro installed_folders remove_if_empty
  Delete "${SHORTCUT}"
  Delete "${WINDOW_SHORTCUT}"
  RMDir "${MENU}"
SectionEnd

; Starts the copy that finishes the uninstall once this one has ended.
Function .onInstSuccess
  ${If} $finishing == 1
    Return
  ${EndIf}
  GetTempFileName $0
  ClearErrors
  CopyFiles /SILENT "$EXEPATH" "$0"
  ${IfNot} ${Errors}
    ; Its working folder, which it keeps while it runs, is not the one it removes.
    SetOutPath "$TEMP"
    Exec '"$0" /S /finish /D=$INSTDIR'
  ${EndIf}
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONEXCLAMATION "velmorastik's files are removed, but uninstall.exe could not remove itself.$\r$\n$\r$\nRun it again to remove it and the entry in Apps." /SD IDOK
    SetErrorLevel 2
  ${EndIf}
FunctionEnd

; In the copy: once the uninstaller has ended (its file can go; it is given a minute), removes it,
; the install folder if nothing is left in it, and the "Apps" entry if the entry is this folder's
; (another install may have taken it since).
Function finish
  StrCmp $INSTDIR "" 0 +2
    Return
  StrCpy $1 0
  ${Do}
    ClearErrors
    Delete "$INSTDIR\uninstall.exe"
    ${IfNot} ${Errors}
      ${ExitDo}
    ${EndIf}
    IntOp $1 $1 + 1
    ; Still running: uninstall.exe and the entry stay, for another run.
    ${If} $1 >= 600
      Return
    ${EndIf}
    Sleep 100
  ${Loop}
  RMDir "$INSTDIR"
  ReadRegStr $0 HKCU "${KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    DeleteRegKey HKCU "${KEY}"
  ${EndIf}
FunctionEnd
