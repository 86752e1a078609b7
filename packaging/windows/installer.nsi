; The installer, for the current user alone (no administrator rights): the programs, the DLL, the
; data set, README.txt and NOTICES.txt under %LOCALAPPDATA%\Programs\velmorastik, two Start-menu
; entries, and an uninstaller registered under "Apps" that removes exactly what was installed.
; Both run silently with /S. Made by installer.cmake, which defines CONFIG (installer_config.nsh:
; VERSION, VERSION4, PUBLISHER, ICON, and the install_files and uninstall_files macros) and OUT.

!include "${CONFIG}"
Unicode true
; 64-bit: a 32-bit installer under a 64-bit-only Wine runs, exits 0 and installs nothing (the
; tests make one on purpose, with TARGET).
!ifndef TARGET
  !define TARGET amd64-unicode
!endif
Target ${TARGET}
!ifndef COMPRESSOR
  !define COMPRESSOR "/SOLID lzma"
!endif
SetCompressor ${COMPRESSOR}
RequestExecutionLevel user
ManifestDPIAware true

!define KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\velmorastik"
!define MENU "$SMPROGRAMS\velmorastik"

Name "velmorastik ${VERSION}"
OutFile "${OUT}"
InstallDir "$LOCALAPPDATA\Programs\velmorastik"
Icon "${ICON}"
UninstallIcon "${ICON}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey /LANG=1033 "ProductName" "velmorastik"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "velmorastik ${VERSION} setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "velmorastik"
  SetShellVarContext current
  !insertmacro install_files
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; Started in the install folder, where the show finds its data folder.
  CreateDirectory "${MENU}"
  CreateShortcut "${MENU}\velmorastik.lnk" "$INSTDIR\velmorastik.exe" "" "$INSTDIR\velmorastik.exe" 0 \
    SW_SHOWNORMAL "" "The show, full-screen"
  CreateShortcut "${MENU}\velmorastik in a window.lnk" "$INSTDIR\velmorastik.exe" "-w" "$INSTDIR\velmorastik.exe" 0 \
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

; Only the files this installer put there, then each folder if it is empty: whatever the user
; added beside them stays, with the folders that hold it.
Section "Uninstall"
  SetShellVarContext current
  Delete "${MENU}\velmorastik.lnk"
  Delete "${MENU}\velmorastik in a window.lnk"
  RMDir "${MENU}"
  !insertmacro uninstall_files
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${KEY}"
SectionEnd
