# A negation of $IsWindows in the test of a branch that throws or exits,
# or returns from the script (if (-not $IsWindows) { throw 'Windows only'
# }): 5.1 does not set $IsWindows, so it takes the branch and stops on
# every Windows machine.
# VersionStop leaves such a branch to this rule.
function Find-NotIsWindowsStop($Context) {
    foreach ($negation in (Get-IsWindowsNegations $Context).Negations) {
        if ($null -eq $negation.Stops) { continue }
        New-FindingAt $Context NotIsWindowsStop $negation.Node.Extent "$Starts does not set `$IsWindows, so ``$($negation.Node.Extent.Text)`` is true there and this branch $($negation.Stops) on every Windows machine"
    }
}
