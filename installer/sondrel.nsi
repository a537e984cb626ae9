; Sondrel's set-up program: puts sondrel.exe into the practice software's programs folder, beside
; its HDAPI5.DLL, adds a Start-menu shortcut and registers an uninstaller in the list of programs.
; French interface (Modern UI 2). This script is UTF-8 and builds a Unicode installer, so its texts
; reach the user as they are written here.
;
; Built by CMake (installer/CMakeLists.txt) with:
;   makensis -INPUTCHARSET UTF8 -DTARGET=x86-unicode|amd64-unicode -DSONDREL_EXE=<sondrel.exe>
;            -DOUTFILE=<setup.exe> -DVERSION=4.0 -DFULL_VERSION=4.0.733 sondrel.nsi
;
; Command line: /S installs silently; /D=<folder> (last, unquoted) chooses the folder. A silent
; installation into a folder without HDAPI5.DLL does not go on: it ends with exit code 2 and leaves
; nothing behind (nobody is there to answer the question the interactive installer asks).
;
; Decisions:
;   - The folder proposed is the one the practice software records for its programs, the value
;     "Programmes" of HKCU "Software\IMAGINE Editions\HelloDOC\Chemins" (the same value the access
;     library hands Sondrel for the programs directory). Without it, "$PROGRAMFILES\HelloDOC".
;   - RequestExecutionLevel highest: an administrator (the usual account of a practice machine, and
;     the one that can write into a folder under Program Files) installs for every user, with the
;     uninstaller registered under HKLM and the shortcut in the common Start menu; any other account
;     installs for itself (HKCU, its own Start menu). The registry value above is read from the
;     account that runs the set-up, which is the practice user when that user is an administrator.
;   - Only files this set-up adds are ever removed: sondrel.exe, the uninstaller and the shortcut;
;     the folder itself only when this set-up created it and it is empty again.

Unicode true
!ifndef TARGET
  !define TARGET x86-unicode
!endif
Target ${TARGET}
!ifndef SONDREL_EXE
  !error "SONDREL_EXE must name the sondrel.exe to install"
!endif
!ifndef OUTFILE
  !define OUTFILE "sondrel-${VERSION}-setup.exe"
!endif

!include MUI2.nsh
!include LogicLib.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Sondrel"
!define HOST_PATHS_KEY "Software\IMAGINE Editions\HelloDOC\Chemins"
!define HOST_LIBRARY "HDAPI5.DLL"
!define UNINSTALLER "sondrel-desinstaller.exe"
!define SHORTCUT "$SMPROGRAMS\Sondrel.lnk"
!define EXIT_NO_HOST_LIBRARY 2

Name "Sondrel ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel highest
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show
BrandingText "Sondrel ${FULL_VERSION}"

Var CreatedFolder ; 1 when the set-up created the installation folder

!define MUI_ICON "${__FILEDIR__}/../resources/main.ico"
!define MUI_UNICON "${__FILEDIR__}/../resources/main.ico"
!define MUI_ABORTWARNING

!define MUI_DIRECTORYPAGE_TEXT_TOP "$(DirectoryExplanation)"
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "French"

LangString DirectoryExplanation ${LANG_FRENCH} "Sondrel s'installe dans le dossier des programmes de HelloDOC, à côté de ${HOST_LIBRARY}. Le dossier proposé est celui que HelloDOC indique ; choisissez-en un autre seulement si HelloDOC est installé ailleurs."
LangString NoHostLibrary ${LANG_FRENCH} "Le dossier choisi ne contient pas ${HOST_LIBRARY} :$\r$\n$INSTDIR$\r$\n$\r$\nSondrel ne fonctionne que dans le dossier des programmes de HelloDOC. Installer quand même dans ce dossier ?"
LangString ShortcutDescription ${LANG_FRENCH} "Recherche dans les courriers, ordonnances et formulaires de HelloDOC"

; The program names no copyright holder, so its set-up's version block has none either.
!pragma warning disable 9100
VIProductVersion "${FULL_VERSION}.0"
VIAddVersionKey /LANG=${LANG_FRENCH} "ProductName" "Sondrel"
VIAddVersionKey /LANG=${LANG_FRENCH} "FileDescription" "Installation de Sondrel ${VERSION}"
VIAddVersionKey /LANG=${LANG_FRENCH} "FileVersion" "${FULL_VERSION}"
VIAddVersionKey /LANG=${LANG_FRENCH} "ProductVersion" "${FULL_VERSION}"

; ---- installing -------------------------------------------------------------------------------

; For everyone (HKLM, common Start menu) when run by an administrator, else for this user.
Function ChooseInstallContext
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 == "Admin"
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
FunctionEnd

Function .onInit
  Call ChooseInstallContext
  ${If} $INSTDIR == ""
    ReadRegStr $INSTDIR HKCU "${HOST_PATHS_KEY}" "Programmes"
  ${EndIf}
  ${If} $INSTDIR == ""
    StrCpy $INSTDIR "$PROGRAMFILES\HelloDOC"
  ${EndIf}
  ${If} ${Silent}
  ${AndIfNot} ${FileExists} "$INSTDIR\${HOST_LIBRARY}"
    SetErrorLevel ${EXIT_NO_HOST_LIBRARY}
    Abort
  ${EndIf}
FunctionEnd

; Leaving the folder page: a folder without the host library is accepted only when the user says so.
Function DirectoryLeave
  ${IfNot} ${FileExists} "$INSTDIR\${HOST_LIBRARY}"
    MessageBox MB_YESNO|MB_ICONEXCLAMATION|MB_DEFBUTTON2 "$(NoHostLibrary)" IDYES +2
    Abort
  ${EndIf}
FunctionEnd

Section "Sondrel"
  StrCpy $CreatedFolder 0
  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    StrCpy $CreatedFolder 1
  ${EndIf}
  SetOutPath "$INSTDIR"
  File "/oname=sondrel.exe" "${SONDREL_EXE}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\sondrel.exe" "" "$INSTDIR\sondrel.exe" 0 SW_SHOWNORMAL "" "$(ShortcutDescription)"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "Sondrel ${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${FULL_VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\sondrel.exe"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "CreatedFolder" $CreatedFolder
SectionEnd

; ---- uninstalling -----------------------------------------------------------------------------

; The context of the installation: HKLM when it registered this folder there, else this user.
Function un.onInit
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $INSTDIR
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ReadRegDWORD $1 SHCTX "${UNINSTALL_KEY}" "CreatedFolder"
  Delete "$INSTDIR\sondrel.exe"
  Delete "$INSTDIR\${UNINSTALLER}"
  Delete "${SHORTCUT}"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  ${If} $1 == 1
    RMDir "$INSTDIR" ; never /r: only an empty folder goes
  ${EndIf}
SectionEnd
