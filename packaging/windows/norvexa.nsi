; The Windows installer: the two programs into Program Files, a Start-menu entry,
; a start at logon for every user, and drive C's service folder and the seven job
; directories where they are missing (the program itself never makes a directory).
; The uninstaller takes the programs and entries away and leaves c:\norvexa (the
; user's settings, last job and exports) and the job directories as they are.
;
;   makensis -DVERSION=1.06 -DBINDIR=<dir of the .exe files> -DOUTFILE=<setup.exe> norvexa.nsi
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define UNINSTKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Norvexa"

Name "Norvexa ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Norvexa"
Icon "${BINDIR}\norvexa.ico"
UninstallIcon "${BINDIR}\norvexa.ico"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "Norvexa"
VIAddVersionKey "FileDescription" "Norvexa nyomtatás telepítő"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Norvexa"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Norvexa"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${BINDIR}\norvexa.exe"
  File "${BINDIR}\norvexa-print.exe"
  File "${BINDIR}\README.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; drive C's directories, generated from the program's own list
  !include "${DRIVE_DIRS}"

  CreateShortcut "$SMPROGRAMS\Norvexa.lnk" "$INSTDIR\norvexa.exe" "" "$INSTDIR\norvexa.exe" 0
  CreateShortcut "$SMSTARTUP\Norvexa.lnk" "$INSTDIR\norvexa.exe" "" "$INSTDIR\norvexa.exe" 0

  WriteRegStr HKLM "${UNINSTKEY}" "DisplayName" "Norvexa"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayIcon" "$INSTDIR\norvexa.exe"
  WriteRegStr HKLM "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTKEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTKEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Norvexa.lnk"
  Delete "$SMSTARTUP\Norvexa.lnk"
  Delete "$INSTDIR\norvexa.exe"
  Delete "$INSTDIR\norvexa-print.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTKEY}"
SectionEnd
