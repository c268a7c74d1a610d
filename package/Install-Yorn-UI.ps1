<#
.SYNOPSIS
    Installs Yorn UI. This default copy only reports what it was asked to do.

.DESCRIPTION
    Install-Yorn-UI.exe runs this script in Windows PowerShell 5.1 when
    started without --optimize, with the package folder as the working
    folder and every argument typed after the program's name passed on
    unchanged. Install-Yorn-UI.cmd does the same, and falls back to pwsh.exe
    when Windows PowerShell is missing, so the script keeps to what both
    understand. A package replaces the body and keeps the contract:

    - Any arguments are accepted; the common parameters (-Verbose, -Debug,
      ...) keep their usual meaning, and everything else lands in $Rest.
    - The exit code is the launcher's exit code: 0 for success, anything
      else for a failure. The launcher exits with 1 itself when PowerShell
      cannot start, so failures that must be told apart use other codes.
#>
[CmdletBinding(PositionalBinding = $false)]
param(
    [Parameter(ValueFromRemainingArguments = $true)]
    [string[]] $Rest
)

Write-Output "Yorn UI install, package folder: $PSScriptRoot"
if ($Rest.Count -gt 0) {
    # Brackets show where each argument begins and ends.
    Write-Output ('Arguments: ' + (($Rest | ForEach-Object { "[$_]" }) -join ' '))
} else {
    Write-Output 'Arguments: none'
}
Write-Output 'This is the default install script: nothing was changed.'
exit 0
