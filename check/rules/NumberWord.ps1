# A number that only 7 reads (1s, 0b101), written as a command's
# argument. Both versions give a native program the text as written
# (kubectl wait --timeout 60s), and a [string] parameter too, so that is
# left alone. A PowerShell command that the data or the script knows gets
# the number from 7 and the word from 5.1 (Write-Output 1s writes 1 in 7
# and 1s in 5.1): a warning, since the check does not know the
# parameter's type.
using namespace System.Management.Automation.Language

function Find-NumberWord($Context) {
    foreach ($node in Get-NumbersOnly7 $Context) {
        $command = Get-ArgumentCommand $node
        if ($null -eq $command) { continue }
        $written = $command.GetCommandName()
        if (-not $written) { continue }
        $target = Get-CommandTarget $Context $written
        if (-not $target.Own -and $null -eq (Test-Command51 $Context $target.Name) -and -not $Known.CommandsOnly7.ContainsKey($target.Name)) { continue }
        New-FindingAt $Context NumberWord $node.Extent "$Starts passes ``$($node.Extent.Text)`` to $written as the word '$($node.Extent.Text)', where PowerShell 7 passes the number $($node.Value)" (Get-NumberKind $node)
    }
}
