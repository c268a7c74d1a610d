# #Requires -Version 6 or later, or -PSEdition Core alone: 5.1 refuses to
# run the script at all. The tree says whether the script requires it;
# each #Requires line is then read on its own, so that the finding can
# say where.
using namespace System.Management.Automation.Language

function Find-RequiresVersion($Context) {
    $requirements = $Context.Tree.ScriptRequirements
    if ($null -eq $requirements) { return }
    $tooNew = $null -ne $requirements.RequiredPSVersion -and $requirements.RequiredPSVersion.Major -ge 6
    $coreOnly = $requirements.RequiredPSEditions -contains 'Core' -and $requirements.RequiredPSEditions -notcontains 'Desktop'
    if (-not $tooNew -and -not $coreOnly) { return }
    foreach ($token in $Context.Tokens) {
        if ($token.Kind -ne 'Comment' -or -not $token.Text.StartsWith('#requires', [StringComparison]::OrdinalIgnoreCase)) { continue }
        $line = [Parser]::ParseInput($token.Text, [ref] $null, [ref] $null).ScriptRequirements
        if ($null -eq $line) { continue }
        if ($null -ne $line.RequiredPSVersion -and $line.RequiredPSVersion.Major -ge 6) {
            New-FindingAt $Context RequiresVersion $token.Extent "$Starts refuses to run a script that says #Requires -Version $($line.RequiredPSVersion)" 'Version'
        }
        if ($line.RequiredPSEditions -contains 'Core' -and $line.RequiredPSEditions -notcontains 'Desktop') {
            New-FindingAt $Context RequiresVersion $token.Extent "$Starts refuses to run a script that says #Requires -PSEdition Core" 'PSEdition'
        }
    }
}
