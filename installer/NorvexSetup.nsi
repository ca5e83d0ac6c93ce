; NorvexSetup.exe: installs the toolbar module, the update service with its archive library and
; mover, the uninstall program, the agent catalogue and the settings files into one folder under
; Program Files; registers the band, installs and starts the service, and writes the system's
; entry for the uninstall program. Japanese user interface; "/S" installs silently, "/D=FOLDER"
; (last on the command line, unquoted) chooses the folder.
;
; Over an installed copy it first has the new uninstall program stop the service (so that its
; program and library can be replaced) and drop updates still waiting for the restart; the user's
; data folder and the band's registration stay.
;
; Built by CMake (installer/CMakeLists.txt), which gives every input with -D:
;   OUTFILE, TOOLBAR_MODULE, SERVICE_PROGRAM, ARCHIVE_LIBRARY, MOVER_PROGRAM, HELPER_PROGRAM,
;   AGENT_MASTER, AGENTS_FOLDER, STRINGS_INI, VERSION_INI, OEM_INI, LOGURLS_INI,
;   PRODUCT_VERSION (as in version.ini), FILE_VERSION (four numbers), BRIDGE_PROGRAM.

Unicode true
Target amd64-unicode
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ManifestDPIAware true
; No claim of newer systems in the manifest: the system then reports to this process the version
; it reports to the browser and to the uninstall program, and the module's registration, called
; in this process, makes the user's data folder where the browser's toolbar looks for it.
ManifestSupportedOS none

!include MUI2.nsh
!include LogicLib.nsh

; The names that the uninstall program knows too (helper/installation_layout.h).
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Norvex"
!define HELPER "NorvexHelper.exe"

Name "ノルヴェクスツールバー"
Caption "ノルヴェクスツールバー ${PRODUCT_VERSION} セットアップ"
BrandingText "Norvex"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Norvex"
; An upgrade proposes the folder of the installed copy.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show

VIProductVersion "${FILE_VERSION}"
VIFileVersion "${FILE_VERSION}"
VIAddVersionKey /LANG=1041 "ProductName" "Norvex Toolbar"
VIAddVersionKey /LANG=1041 "CompanyName" "Norvex"
VIAddVersionKey /LANG=1041 "FileDescription" "Norvex Toolbar Setup"
VIAddVersionKey /LANG=1041 "FileVersion" "${PRODUCT_VERSION}"
VIAddVersionKey /LANG=1041 "ProductVersion" "${PRODUCT_VERSION}"
VIAddVersionKey /LANG=1041 "LegalCopyright" "Norvex"

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

LangString TextPreparing ${LANG_JAPANESE} "インストール済みの更新サービスを停止しています..."
LangString TextNotPrepared ${LANG_JAPANESE} "インストール済みの更新サービスを停止できませんでした。$\r$\nしばらくしてから、もう一度セットアップを実行してください。"
LangString TextNotCopied ${LANG_JAPANESE} "ファイルをコピーできませんでした:$\r$\n$0"
LangString TextRegistering ${LANG_JAPANESE} "ツールバーを登録しています..."
LangString TextNotRegistered ${LANG_JAPANESE} "ツールバーを登録できませんでした。"
LangString TextStartingService ${LANG_JAPANESE} "更新サービスをインストールして開始しています..."
LangString TextServiceNotStarted ${LANG_JAPANESE} "更新サービスを開始できませんでした。ツールバーは使用できますが、自動更新は行われません。"
LangString TextModuleAtRestart ${LANG_JAPANESE} "ツールバーはブラウザーで使用中のため、コンピューターの再起動後に新しいバージョンに置き換えられます。"
LangString TextRegisteringBridge ${LANG_JAPANESE} "ブラウザー拡張機能との連携を登録しています..."
LangString TextBridgeNotRegistered ${LANG_JAPANESE} "ブラウザー拡張機能との連携を登録できませんでした。ツールバーは使用できます。"

; Copies one file; a failure ends the installation with its name (exit code 2).
!macro CopyFile NAME SOURCE
  ClearErrors
  File "/oname=${NAME}" "${SOURCE}"
  ${If} ${Errors}
    StrCpy $0 "$INSTDIR\${NAME}"
    MessageBox MB_OK|MB_ICONSTOP "$(TextNotCopied)" /SD IDOK
    Abort
  ${EndIf}
!macroend

Section "Norvex"
  ; The uninstall program of this version readies the folder: the service is stopped and its
  ; process gone before its files are replaced.
  InitPluginsDir
  SetOutPath "$PLUGINSDIR"
  File "/oname=$PLUGINSDIR\${HELPER}" "${HELPER_PROGRAM}"
  DetailPrint "$(TextPreparing)"
  ExecWait '"$PLUGINSDIR\${HELPER}" /prepareupgrade "$INSTDIR" /S' $1
  ${If} $1 != 0
    MessageBox MB_OK|MB_ICONSTOP "$(TextNotPrepared)" /SD IDOK
    Abort
  ${EndIf}

  SetOutPath "$INSTDIR"
  SetOverwrite on
  ; A browser may hold the toolbar module: the new one then waits beside it and takes its place
  ; at the next restart.
  ClearErrors
  SetOverwrite try
  File "/oname=NorvexToolbar.dll" "${TOOLBAR_MODULE}"
  SetOverwrite on
  ${If} ${Errors}
    !insertmacro CopyFile "NorvexToolbar.dll.new" "${TOOLBAR_MODULE}"
    Rename /REBOOTOK "$INSTDIR\NorvexToolbar.dll.new" "$INSTDIR\NorvexToolbar.dll"
    MessageBox MB_OK|MB_ICONINFORMATION "$(TextModuleAtRestart)" /SD IDOK
  ${EndIf}
  !insertmacro CopyFile "Quorvel.exe" "${SERVICE_PROGRAM}"
  !insertmacro CopyFile "UNZIP32.dll" "${ARCHIVE_LIBRARY}"
  !insertmacro CopyFile "ShuntFile.exe" "${MOVER_PROGRAM}"
  !insertmacro CopyFile "${HELPER}" "${HELPER_PROGRAM}"
  !insertmacro CopyFile "AgentMaster.xml" "${AGENT_MASTER}"
  !insertmacro CopyFile "strings.ini" "${STRINGS_INI}"
  !insertmacro CopyFile "version.ini" "${VERSION_INI}"
  !insertmacro CopyFile "norvexOEM.ini" "${OEM_INI}"
  !insertmacro CopyFile "LogUrls.ini" "${LOGURLS_INI}"
  SetOutPath "$INSTDIR\Agents"
  ClearErrors
  File /r "${AGENTS_FOLDER}/*"
  ${If} ${Errors}
    StrCpy $0 "$INSTDIR\Agents"
    MessageBox MB_OK|MB_ICONSTOP "$(TextNotCopied)" /SD IDOK
    Abort
  ${EndIf}
  SetOutPath "$INSTDIR"

  ; The entry among the installed programs comes before anything that can fail, so that what
  ; was installed can always be removed again.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "ノルヴェクスツールバー"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${PRODUCT_VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Norvex"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\NorvexToolbar.dll"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${HELPER}" /uninstalltoolbar'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${HELPER}" /uninstalltoolbar /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

  ; The band: the module's own DllRegisterServer, called in this process.
  DetailPrint "$(TextRegistering)"
  ClearErrors
  RegDLL "$INSTDIR\NorvexToolbar.dll"
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "$(TextNotRegistered)" /SD IDOK
    Abort
  ${EndIf}

  ; The service: "Quorvel.exe /install" and "/start", run without a console window by the
  ; uninstall program, which then asks the control manager whether the service runs.
  DetailPrint "$(TextStartingService)"
  ExecWait '"$INSTDIR\${HELPER}" /startservice "$INSTDIR" /S' $1
  ${If} $1 != 0
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(TextServiceNotStarted)" /SD IDOK
    SetErrorLevel 3
  ${EndIf}

  ; The Chromium browsers' native messaging host. A browser whose extension is connected runs
  ; it: the new program then waits beside it for the restart, as the module does. The bridge
  ; itself writes its manifest into this folder (UTF-8, no byte-order mark), the browsers' host
  ; keys and the keys that offer the extension's store item (HKLM); the uninstall program
  ; removes them.
  ClearErrors
  SetOverwrite try
  File "/oname=NorvexBridge.exe" "${BRIDGE_PROGRAM}"
  SetOverwrite on
  ${If} ${Errors}
    !insertmacro CopyFile "NorvexBridge.exe.new" "${BRIDGE_PROGRAM}"
    Rename /REBOOTOK "$INSTDIR\NorvexBridge.exe.new" "$INSTDIR\NorvexBridge.exe"
    StrCpy $2 "$INSTDIR\NorvexBridge.exe.new"
  ${Else}
    StrCpy $2 "$INSTDIR\NorvexBridge.exe"
  ${EndIf}
  DetailPrint "$(TextRegisteringBridge)"
  nsExec::Exec '"$2" --register --system --install "$INSTDIR"'
  Pop $1
  ${If} $1 != 0
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(TextBridgeNotRegistered)" /SD IDOK
    SetErrorLevel 3
  ${EndIf}
SectionEnd
