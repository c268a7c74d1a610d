<#
.SYNOPSIS
    Checks every PowerShell file of a package, as it will ship, before
    anything is built.

.DESCRIPTION
    pwsh -NoProfile -NonInteractive -File check-scripts.ps1 FOLDER

    FOLDER is the package as it will ship: Install-Yorn-UI.ps1 and
    Optimize-Yorn-UI.ps1 and whatever else the author's folder holds. The
    launcher always starts Windows PowerShell 5.1, while authors write and
    try their scripts in PowerShell 7, which parses and runs more. Every
    .ps1, .psm1 and .psd1 is checked (Get-PackageFindings); the rules are
    in check-scripts.psm1 and the folders beside this file. Each finding
    is one line "error: PATH:LINE:COLUMN: ..." or "warning: ..." on
    standard error, PATH the file's path in the package, sorted by file,
    then line. Exit code 2 when any is an error.
#>
param(
    [Parameter(Mandatory = $true)]
    [string] $Folder
)
Set-StrictMode -Version Latest
$ErrorActionPreference = 'Stop'
Import-Module (Join-Path $PSScriptRoot 'check-scripts.psm1')

$refused = $false
$package = Get-PackageFindings $Folder
foreach ($finding in $package.Findings) {
    [Console]::Error.WriteLine((Format-Finding $finding))
    if ($finding.Severity -eq 'error') { $refused = $true }
}
if ($refused) {
    exit 2
}
"The package's $($package.Files.Count) PowerShell files parse in Windows PowerShell 5.1, use nothing that the check knows it to lack and no file that the package lacks, and the two scripts can take what the launcher passes."
