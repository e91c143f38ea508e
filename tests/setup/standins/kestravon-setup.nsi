; Stand-in for the downloaded setup program: a real silent NSIS installer that puts the
; application stand-in into $INSTDIR as kestravon.exe. With -DFAILS it installs nothing
; and exits with code 3.
Unicode true
Target amd64-unicode
RequestExecutionLevel user
SetCompressor /SOLID zlib
Name "Kestravon"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Kestravon"
ShowInstDetails nevershow

!ifdef FAILS
Function .onInit
  SetErrorLevel 3
  Quit
FunctionEnd
!endif

Section
  SetOutPath "$INSTDIR"
  File "/oname=kestravon.exe" "${APP_EXE}"
  FileOpen $0 "$INSTDIR\setup-commandline.txt" w
  FileWriteUTF16LE $0 "$CMDLINE"
  FileClose $0
SectionEnd
