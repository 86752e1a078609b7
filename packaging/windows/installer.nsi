; The installer, for the current user alone (no administrator rights): the programs, the DLL, the
; data set, README.txt and NOTICES.txt under %LOCALAPPDATA%\Programs\velmorastik, or in the folder
; an earlier install went to, two Start-menu entries, and uninstall.exe (uninstaller.nsi),
; registered under "Apps". Runs silently with /S. Made by installer.cmake, which defines CONFIG
; (installer_config.nsh: VERSION, VERSION4, PUBLISHER, ICON, UNINSTALLER and the install_files
; macro) and OUT.

!include "${CONFIG}"
!define DESCRIPTION "setup"
!include "${__FILEDIR__}/common.nsh"

OutFile "${OUT}"
InstallDir "$LOCALAPPDATA\Programs\velmorastik"
; Installed again, into the same folder, under the one "Apps" entry.
InstallDirRegKey HKCU "${KEY}" "InstallLocation"
ShowInstDetails show

Page directory
Page instfiles

Section "velmorastik"
  SetShellVarContext current
  !insertmacro install_files
  SetOutPath "$INSTDIR"
  File "/oname=uninstall.exe" "${UNINSTALLER}"

  ; Started in the install folder, where the show finds its data folder.
  CreateDirectory "${MENU}"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\velmorastik.exe" "" "$INSTDIR\velmorastik.exe" 0 \
    SW_SHOWNORMAL "" "The show, full-screen"
  CreateShortcut "${WINDOW_SHORTCUT}" "$INSTDIR\velmorastik.exe" "-w" "$INSTDIR\velmorastik.exe" 0 \
    SW_SHOWNORMAL "" "The show in a 640x480 window"

  WriteRegStr HKCU "${KEY}" "DisplayName" "velmorastik"
  WriteRegStr HKCU "${KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${KEY}" "DisplayIcon" "$INSTDIR\velmorastik.exe,0"
  WriteRegStr HKCU "${KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${KEY}" "NoRepair" 1
  ; In KiB, as "Apps" reads it: what this section installed.
  SectionGetSize 0 $0
  WriteRegDWORD HKCU "${KEY}" "EstimatedSize" $0
SectionEnd
