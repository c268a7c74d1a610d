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

    - Any arguments are accepted, and land in $Rest, except the common
      parameters (-Verbose, -Debug, ...), which keep their usual meaning.
      PowerShell takes a unique start of one for the whole name (-v is
      -Verbose), and refuses an ambiguous one (-o could be -OutVariable or
      -OutBuffer) with exit code 1 before the body runs.
    - The exit code is the launcher's exit code: 0 for success, anything
      else for a failure. The launcher exits with 1 itself when PowerShell
      cannot start, and PowerShell does when it refuses the arguments, so
      failures that must be told apart use other codes.
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
