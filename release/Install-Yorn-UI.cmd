@echo off
rem Does what Install-Yorn-UI.exe does, for when the launcher cannot start:
rem runs Install-Yorn-UI.ps1, or Optimize-Yorn-UI.ps1 when the first argument
rem is exactly --optimize, in Windows PowerShell (else pwsh.exe from PATH),
rem from this folder and without PSModulePath, and exits with the script's
rem exit code.
rem
rem Delayed expansion stays off so that "!" in arguments survives. The caller's
rem arguments are only ever expanded where their own quotes line up with
rem ours, so that a quoted ampersand or angle bracket stays quoted; PROBE is a
rem copy with every quote replaced by "#", which can be cut and compared
rem inside quotes safely. A metacharacter that the caller escaped with a caret
rem instead reaches %* outside quotes, and SET REST acts on it: a batch file
rem has no way to read %* that cmd.exe does not parse (docs/command-script.md).
setlocal EnableExtensions DisableDelayedExpansion
rem A variable named ERRORLEVEL would hide the real exit code.
set "ERRORLEVEL="
set "HERE=%~dp0"
set "SCRIPT=Install-Yorn-UI.ps1"
set "FPS="
set REST=%*
call :DropLeadingSpaces
if not defined REST goto FindPowerShell

rem The switch counts only as the whole first argument, unquoted and in lower
rem case (IF without /I compares case-sensitively), followed by a space or
rem nothing; anything else, a tab after the switch included, goes to the
rem install script unchanged.
if not "%PROBE:~0,10%"=="--optimize" goto FindPowerShell
if not "%PROBE:~10,1%"==" " if not "%PROBE:~10,1%"=="" goto FindPowerShell
set "SCRIPT=Optimize-Yorn-UI.ps1"
set REST=%REST:~10%
call :DropLeadingSpaces
if not defined REST goto FindPowerShell

rem A bare value after the switch is the frame rate; an option ("-FPS 60",
rem "-Verbose") passes as it is, but a negative number ("-1") is a value.
if not "%PROBE:~0,1%"=="-" set "FPS=-FPS "
for %%d in (0 1 2 3 4 5 6 7 8 9) do if "%PROBE:~1,1%"=="%%d" set "FPS=-FPS "

:FindPowerShell
set "POWERSHELL=%SystemRoot%\System32\WindowsPowerShell\v1.0\powershell.exe"
if not exist "%POWERSHELL%" set "POWERSHELL=%WINDIR%\System32\WindowsPowerShell\v1.0\powershell.exe"
if not exist "%POWERSHELL%" for %%p in (pwsh.exe) do set "POWERSHELL=%%~$PATH:p"
if not defined POWERSHELL (
  >&2 echo Neither Windows PowerShell nor pwsh.exe was found, so %SCRIPT% cannot run.
  set "CODE=1"
  goto Finish
)

rem PowerShell 7 puts its own module folders first in PSModulePath, and
rem Windows PowerShell started under it finds 7's copies of its own modules
rem first and cannot load them. Without the variable either PowerShell builds
rem its own default; SETLOCAL keeps it for the caller.
set "PSModulePath="
rem PUSHD, unlike CD, also reaches a folder on a network share.
pushd "%HERE%"
"%POWERSHELL%" -NoLogo -NoProfile -ExecutionPolicy Bypass -File "%HERE%%SCRIPT%" %FPS%%REST%
set "CODE=%ERRORLEVEL%"
popd

:Finish
rem Nothing after the name (or the switch) means a double-click: keep the
rem window open until Enter, or the end of the input.
if not defined REST (
  echo/
  echo Press Enter to close this window.
  set /p UNUSED=
)
exit /b %CODE%

rem Drops the spaces that lead REST, and keeps PROBE in step with it.
:DropLeadingSpaces
if not defined REST exit /b
set "PROBE=%REST:"=#%"
if not "%PROBE:~0,1%"==" " exit /b
set REST=%REST:~1%
goto DropLeadingSpaces
