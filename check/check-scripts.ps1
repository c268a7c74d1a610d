<#
.SYNOPSIS
    Checks a package's PowerShell files against what Windows PowerShell
    5.1, which the launcher starts, can parse and has.

.DESCRIPTION
    pwsh -NoProfile -File check-scripts.ps1 [--format text|github|sarif] [--strict] PATH...

    PATH is a package folder, which holds Install-Yorn-UI.ps1 and
    Optimize-Yorn-UI.ps1 as they will be packaged, or a single PowerShell
    file. Authors write and try their scripts in PowerShell 7, which parses
    and runs more than 5.1. A single file gets the rules of 5.1; the rules
    of what the launcher passes apply to a file named Install-Yorn-UI.ps1
    or Optimize-Yorn-UI.ps1 (in a folder, the package's own two). The
    rules are in check-scripts.psm1 and the folders beside this file.

    A file is named as it was given: a package folder's files by the
    folder as given and their path in the package (their path in the
    package alone when the folder is "."), a single file by its path as
    given.
      text    (the default) each finding on standard error in the
              compiler's order, PATH:LINE:COL: error: MESSAGE [RULE], and
              after it PATH:LINE:COL: note: write instead: FIX where there
              is a way; then, when nothing is refused, one line on
              standard output that says so
      github  GitHub Actions' workflow commands on standard output,
              ::error file=PATH,line=LINE,col=COL,title=RULE::MESSAGE
      sarif   one SARIF 2.1.0 log on standard output, and nothing else
    --strict makes every warning an error, in what is written and in the
    exit code. Exit code 0 when nothing is refused, 2 when a file is
    refused, and 2 with a usage line for a bad option or a PATH that is
    not there.
#>
Set-StrictMode -Version Latest
$ErrorActionPreference = 'Stop'

$Usage = 'usage: check-scripts.ps1 [--format text|github|sarif] [--strict] PATH...'
# A bad option or PATH: one line that names it, the usage, exit 2.
function Stop-Usage([string] $Problem) {
    [Console]::Error.WriteLine("error: $Problem")
    [Console]::Error.WriteLine($Usage)
    exit 2
}

# The options are read from $args, not bound by PowerShell: pwsh -File
# would take --format for a parameter named -format and refuse it.
$format = 'text'
$strict = $false
$paths = [System.Collections.Generic.List[string]]::new()
$options = $true
for ($i = 0; $i -lt $args.Count; $i++) {
    $argument = [string] $args[$i]
    if (-not $options -or -not $argument.StartsWith('-') -or $argument -eq '-') { $paths.Add($argument); continue }
    switch -CaseSensitive ($argument) {
        '--' { $options = $false }
        '--strict' { $strict = $true }
        '--format' {
            if ($i + 1 -ge $args.Count) { Stop-Usage '--format needs one of text, github, sarif' }
            $format = [string] $args[++$i]
            if ($format -cnotin 'text', 'github', 'sarif') { Stop-Usage "--format ${format}: the formats are text, github and sarif" }
        }
        { $_ -in '--help', '-h' } {
            $Usage
            exit 0
        }
        default { Stop-Usage "no option $argument" }
    }
}
if ($paths.Count -eq 0) { Stop-Usage 'no PATH to check' }
foreach ($path in $paths) {
    if (-not (Test-Path -LiteralPath $path)) { Stop-Usage "${path}: there is no such file or folder" }
}
Import-Module ([System.IO.Path]::Combine($PSScriptRoot, 'check-scripts.psm1'))

# How the report names a file: as it was given, with "/" between folders,
# which every platform reads, and no "./" in front; a folder's file by the
# folder so given, then its path in the package.
function Get-ReportPath([string] $Given) {
    $path = $Given.Replace([System.IO.Path]::DirectorySeparatorChar, '/')
    while ($path.StartsWith('./')) { $path = $path.Substring(2).TrimStart('/') }
    $path
}
function Join-ReportPath([string] $Folder, [string] $Name) {
    $prefix = (Get-ReportPath $Folder).TrimEnd('/')
    if ($prefix -eq '.' -or $prefix -eq '') { return $Name }
    "$prefix/$Name"
}

$findings = [System.Collections.Generic.List[object]]::new()
$folders = 0
foreach ($path in $paths) {
    # .NET reads the file where PowerShell's location says, which need not
    # be the process's.
    $full = $ExecutionContext.SessionState.Path.GetUnresolvedProviderPathFromPSPath($path)
    if (Test-Path -LiteralPath $path -PathType Container) {
        $folders++
        $scripts = @('Install-Yorn-UI.ps1', 'Optimize-Yorn-UI.ps1' | Where-Object { Test-Path -LiteralPath (Join-Path $full $_) -PathType Leaf })
        if ($scripts.Count -eq 0) { Stop-Usage "${path}: holds neither Install-Yorn-UI.ps1 nor Optimize-Yorn-UI.ps1" }
        foreach ($script in $scripts) {
            foreach ($finding in Get-ScriptFindings $full $script) {
                $finding.Path = Join-ReportPath $path $finding.File
                $findings.Add($finding)
            }
        }
    } else {
        foreach ($finding in Get-FileFindings $full ([System.IO.Path]::GetFileName($full))) {
            $finding.Path = Get-ReportPath $path
            $findings.Add($finding)
        }
    }
}

$refused = $false
foreach ($finding in $findings) {
    if ($strict) { $finding.Severity = 'error' }
    if ($finding.Severity -eq 'error') { $refused = $true }
}
switch ($format) {
    'text' { foreach ($finding in $findings) { foreach ($line in Format-Finding $finding) { [Console]::Error.WriteLine($line) } } }
    'github' { foreach ($finding in $findings) { Format-GitHubFinding $finding } }
    'sarif' { ConvertTo-SarifLog $findings.ToArray() }
}
if ($refused) {
    exit 2
}
if ($format -ne 'sarif') {
    if ($paths.Count -eq 1 -and $folders -eq 1) {
        'Both scripts parse in Windows PowerShell 5.1, use nothing that the check knows it to lack, and can take what the launcher passes.'
    } else {
        'Every file checked parses in Windows PowerShell 5.1 and uses nothing that the check knows it to lack.'
    }
}
