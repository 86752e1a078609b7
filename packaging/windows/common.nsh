; What the installer and its uninstaller share: 64-bit, for the current user alone, the programs'
; icon and a version resource, and the names of what is installed besides the files. Included by
; installer.nsi and uninstaller.nsi after CONFIG; DESCRIPTION says which of the two a file is.

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
!define SHORTCUT "${MENU}\velmorastik.lnk"
!define WINDOW_SHORTCUT "${MENU}\velmorastik in a window.lnk"

Name "velmorastik ${VERSION}"
Icon "${ICON}"

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey /LANG=1033 "ProductName" "velmorastik"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "velmorastik ${VERSION} ${DESCRIPTION}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"
