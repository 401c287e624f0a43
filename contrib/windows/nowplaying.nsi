; SPDX-License-Identifier: MIT
; The Windows installer, made by scripts/package-windows with makensis
; (-DVERSION=1.1.0 -DSTAGE=folder of the zip's files -DOUTFILE=setup.exe).
; Installs the programs into Program Files\nowplaying (/D= for another
; folder), a Start menu folder, an entry in Settings > Apps, and the
; service "nowplaying" for the stations given (/STATIONS=C:\Air;D:\Station 2,
; or asked on a page). Over an older version it keeps the service's
; stations and options. Uninstalling removes the programs, the service,
; the Start menu folder and the entry, never a station's folder or files.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
Name "nowplaying ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\nowplaying"
ShowInstDetails show

!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "nsDialogs.nsh"
!include "x64.nsh"
!include "WordFunc.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\nowplaying"

Var Stations
Var StationsField

Page directory
Page custom StationsPage StationsPageLeave
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; The service's process holds the programs until it has ended, which may
; be a while after `sc stop` (each send in flight gets its timeout, 2 s
; unless a destination sets another): waited for, up to 90 s, before
; anything is replaced or removed; then ended by force, as a stop would
; never end.
!macro StopService UN
Function ${UN}StopService
  nsExec::Exec '"$SYSDIR\sc.exe" stop nowplaying'
  Pop $0
  StrCpy $R1 0
  wait:
    nsExec::ExecToStack '"$SYSDIR\sc.exe" query nowplaying'
    Pop $0
    Pop $1
    ${If} $0 != 0
      Return ; no such service
    ${EndIf}
    ClearErrors
    ${WordFind} "$1" "STOPPED" "E+1{" $R0
    ${IfNot} ${Errors}
      Return
    ${EndIf}
    ${If} $R1 >= 180
      DetailPrint "The service did not stop within 90 s: ended by force."
      nsExec::Exec '"$SYSDIR\taskkill.exe" /F /FI "SERVICES eq nowplaying"'
      Pop $0
      Sleep 1000
      Return
    ${EndIf}
    IntOp $R1 $R1 + 1
    Sleep 500
    Goto wait
FunctionEnd
!macroend
!insertmacro StopService ""
!insertmacro StopService "un."

Function .onInit
  SetRegView 64
  ${GetParameters} $0
  ${GetOptions} $0 "/STATIONS=" $Stations
FunctionEnd

Function StationsPage
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 36u "The stations' folders the service serves, separated by ; (each holds settings.txt). Leave it empty to keep what an earlier installation serves, or to set the service up later with nowplaying-watch --install-service."
  Pop $0
  ${NSD_CreateText} 0 40u 100% 12u "$Stations"
  Pop $StationsField
  nsDialogs::Show
FunctionEnd

Function StationsPageLeave
  ${NSD_GetText} $StationsField $Stations
FunctionEnd

; The stations as the watcher's arguments: each folder in quotes.
Function QuotedStations
  StrCpy $1 ""
  StrCpy $2 $Stations
  loop:
    ${If} $2 == ""
      Goto done
    ${EndIf}
    StrCpy $3 ""
    StrCpy $4 0
    scan:
      StrCpy $5 $2 1 $4
      ${If} $5 == ";"
      ${OrIf} $5 == ""
        StrCpy $3 $2 $4
        IntOp $4 $4 + 1
        StrCpy $2 $2 "" $4
        Goto found
      ${EndIf}
      IntOp $4 $4 + 1
      Goto scan
    found:
    ${If} $3 != ""
      StrCpy $1 '$1 "$3"'
    ${EndIf}
    Goto loop
  done:
FunctionEnd

Section "nowplaying"
  SetRegView 64
  SetShellVarContext all
  ; A running service holds the programs: it is stopped while they are
  ; replaced, and started again after.
  Call StopService
  SetOutPath "$INSTDIR"
  File /r "${STAGE}/*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  StrCpy $6 $Stations
  ${If} $6 == ""
    ; An installation over an earlier one keeps its stations: the shortcuts
    ; go on naming the first of them.
    ReadRegStr $6 HKLM "${UNINSTALL_KEY}" "FirstStation"
  ${Else}
    ; The first station, for the check that stays open.
    StrCpy $4 0
    first:
      StrCpy $5 $6 1 $4
      ${If} $5 != ";"
      ${AndIf} $5 != ""
        IntOp $4 $4 + 1
        Goto first
      ${EndIf}
    StrCpy $6 $6 $4
  ${EndIf}
  ${If} $Stations != ""
    Call QuotedStations
    ; The status and its page beside the first station, where the Start
    ; menu's shortcut opens it.
    nsExec::ExecToLog '"$INSTDIR\nowplaying-watch.exe" --install-service --status "$6\nowplaying-status.json" --status-page "$6\nowplaying-status.html"$1'
    Pop $0
    ${If} $0 != 0
      DetailPrint "The service was not set up (exit status $0)."
    ${EndIf}
  ${EndIf}
  nsExec::Exec '"$SYSDIR\sc.exe" start nowplaying'
  Pop $0

  CreateDirectory "$SMPROGRAMS\nowplaying"
  ; Without a station known (none given, and an installation before this
  ; one kept none), the shortcuts there are left as they are, rather than
  ; made to name "\nowplaying-status.html" at the drive's root.
  ${If} $6 != ""
    CreateShortcut "$SMPROGRAMS\nowplaying\Check a station.lnk" "$SYSDIR\cmd.exe" '/k ""$INSTDIR\nowplaying-check.exe" "$6""'
    CreateShortcut "$SMPROGRAMS\nowplaying\Status page.lnk" "$6\nowplaying-status.html"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "FirstStation" "$6"
  ${EndIf}
  CreateShortcut "$SMPROGRAMS\nowplaying\Documentation.lnk" "$INSTDIR\README.txt"
  CreateShortcut "$SMPROGRAMS\nowplaying\Uninstall.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "nowplaying ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "nowplaying"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  SetRegView 64
  SetShellVarContext all
  Call un.StopService
  nsExec::ExecToLog '"$INSTDIR\nowplaying-watch.exe" --remove-service'
  Pop $0
  ; Only what the installer put there: a station kept in this folder stays.
  Delete "$INSTDIR\*.exe"
  Delete "$INSTDIR\*.dll"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  RMDir /r "$INSTDIR\doc"
  ; The example's own files; what a pass wrote there stays.
  !include "${STAGE}/../example-files.nsh"
  RMDir "$INSTDIR\example"
  RMDir "$INSTDIR"
  RMDir /r "$SMPROGRAMS\nowplaying"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
