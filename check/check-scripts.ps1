<#
.SYNOPSIS
    Checks a package's two scripts, as they will ship, before anything is
    built.

.DESCRIPTION
    pwsh -NoProfile -NonInteractive -File check-scripts.ps1 FOLDER

    FOLDER holds Install-Yorn-UI.ps1 and Optimize-Yorn-UI.ps1 as they will
    be packaged. The launcher always starts Windows PowerShell 5.1, while
    authors write and try their scripts in PowerShell 7, which parses and
    runs more. The rules are in check-scripts.psm1 and the folders beside
    this file; each finding is one line "error: SCRIPT:LINE:COLUMN: ..." or
    "warning: ..." on standard error, every finding of both scripts, each
    script's sorted by line. Exit code 2 when any is an error.
#>
param(
    [Parameter(Mandatory = $true)]
    [string] $Folder
)
Set-StrictMode -Version Latest
$ErrorActionPreference = 'Stop'
Import-Module ([System.IO.Path]::Combine($PSScriptRoot, 'check-scripts.psm1'))

$refused = $false
foreach ($script in 'Install-Yorn-UI.ps1', 'Optimize-Yorn-UI.ps1') {
    foreach ($finding in Get-FileFindings ([System.IO.Path]::Combine($Folder, $script)) $script) {
        [Console]::Error.WriteLine((Format-Finding $finding))
        if ($finding.Severity -eq 'error') { $refused = $true }
    }
}
if ($refused) {
    exit 2
}
'Both scripts parse in Windows PowerShell 5.1, use nothing that the check knows it to lack, and can take what the launcher passes.'
