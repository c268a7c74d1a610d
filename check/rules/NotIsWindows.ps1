# A negation of $IsWindows (-not $IsWindows, !$IsWindows, $IsWindows -ne
# $true) that 5.1 takes for true, on Windows: it does not set $IsWindows.
# A warning where the branch it guards goes on (NotIsWindowsStop is the
# error where it stops the script). Behaviour.ps1's Get-IsWindowsNegations
# finds them; VariableOnly7 leaves their $IsWindows to this rule.
function Find-NotIsWindows($Context) {
    foreach ($negation in (Get-IsWindowsNegations $Context).Negations) {
        if ($null -ne $negation.Stops) { continue }
        New-FindingAt $Context NotIsWindows $negation.Node.Extent "$Starts does not set `$IsWindows, so ``$($negation.Node.Extent.Text)`` is true there, on Windows"
    }
}
