<#
.SYNOPSIS
    Tunes Yorn UI for a frame rate. This default copy only reports what it
    was asked to do.

.DESCRIPTION
    Install-Yorn-UI.exe runs this script in Windows PowerShell 5.1 when its
    first argument is --optimize, with the package folder as the working
    folder. A bare value after the switch arrives as -FPS (so "--optimize
    144" means -FPS 144); options such as -FPS 60 or -Verbose arrive as
    typed. Install-Yorn-UI.cmd does the same, and falls back to pwsh.exe
    when Windows PowerShell is missing, so the script keeps to what both
    understand. A package replaces the body and keeps the contract:

    - -FPS takes a whole number of frames per second from 30 to 1000.
      Leaving it out (the default, 0) means "leave the frame rate as it
      is"; a value outside the range, -1 or 0 included, is refused by
      PowerShell before the body runs, with exit code 1.
    - -FPS is only ever named, never positional, so that other arguments
      cannot be taken for it; they land in $Rest.
    - The exit code is the launcher's exit code: 0 for success, anything
      else for a failure. The launcher exits with 1 itself when PowerShell
      cannot start, and PowerShell does when it refuses the arguments, so
      failures that must be told apart use other codes.
#>
[CmdletBinding(PositionalBinding = $false)]
param(
    [ValidateRange(30, 1000)]
    [int] $FPS = 0,

    [Parameter(ValueFromRemainingArguments = $true)]
    [string[]] $Rest
)

Write-Output "Yorn UI optimisation, package folder: $PSScriptRoot"
if ($FPS -eq 0) {
    Write-Output 'Frame rate: left as it is'
} else {
    Write-Output "Frame rate: $FPS"
}
if ($Rest.Count -gt 0) {
    # Brackets show where each argument begins and ends.
    Write-Output ('Other arguments: ' + (($Rest | ForEach-Object { "[$_]" }) -join ' '))
}
Write-Output 'This is the default optimisation script: nothing was changed.'
exit 0
