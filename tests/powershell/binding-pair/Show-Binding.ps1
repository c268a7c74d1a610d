# Shared by the test pair beside it: prints the script's name, then one line
# for each parameter PowerShell bound, in the order it bound them, and one
# for each remaining argument: name, the value's type and the value in
# brackets, so that spaces and quotes show. Ends the script with the exit
# code in exit-code.txt beside it, 0 without one.
Set-StrictMode -Version Latest
$ErrorActionPreference = 'Stop'

function Show-Binding([string] $Script, [System.Collections.IDictionary] $Bound) {
    $Script
    if ($Bound.Count -eq 0) {
        'nothing bound'
    }
    foreach ($name in $Bound.Keys) {
        foreach ($value in @($Bound[$name])) {
            $type = if ($null -eq $value) { 'null' } else { $value.GetType().Name }
            "$name $type [$value]"
        }
    }
    # .NET rather than cmdlets: each module that a cmdlet loads slows every
    # run of the suite.
    $file = [System.IO.Path]::Combine($PSScriptRoot, 'exit-code.txt')
    $code = if ([System.IO.File]::Exists($file)) { [int] [System.IO.File]::ReadAllText($file) } else { 0 }
    exit $code
}
