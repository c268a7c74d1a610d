# A version test at the top of the script whose branch for 5.1 returns,
# exits or throws: the script then stops in 5.1, the only PowerShell the
# launcher starts, and what follows is checked as PowerShell 7's only. An
# author who means it (a script that starts PowerShell 7 itself) silences
# the rule by its name. A branch taken for a negation of $IsWindows is
# NotIsWindowsStop's.
using namespace System.Management.Automation.Language

function Find-VersionStop($Context) {
    foreach ($block in $Context.Tree.BeginBlock, $Context.Tree.ProcessBlock, $Context.Tree.EndBlock) {
        if ($null -eq $block) { continue }
        $statements = $block.Statements
        $negations = (Get-IsWindowsNegations $Context).Negations
        for ($s = 0; $s + 1 -lt $statements.Count; $s++) {
            $statement = $statements[$s]
            if ($statement -isnot [IfStatementAst] -or $null -eq $Context.IfTests[$statement].Exits) { continue }
            # The frame of what follows the if knows which branches stop.
            $after = Find-Frame $Context $statements[$s + 1].Extent.StartOffset
            while ($null -ne $after -and -not ($after.Kind -eq 'AfterExit' -and $after.Test.If -eq $statement)) { $after = $after.Parent }
            if ($null -eq $after) { continue }
            foreach ($i in $after.Exits) {
                $reach = Get-IfReach $Context $after.Test $i $false
                if ($reach.State -ne 'T' -or -not $reach.Version) { continue }
                $negated = $false
                foreach ($negation in $negations) {
                    if ($negation.If -eq $statement -and $negation.Index -eq $i -and $negation.Stops) { $negated = $true }
                }
                if ($negated) { continue }
                $body = if ($i -lt $statement.Clauses.Count) { $statement.Clauses[$i].Item2 } else { $statement.ElseClause }
                $stop = @($body.Statements | Where-Object { $_ -is [ReturnStatementAst] -or $_ -is [ExitStatementAst] -or $_ -is [ThrowStatementAst] })[0]
                $how = if ($stop -is [ReturnStatementAst]) { 'return' } elseif ($stop -is [ExitStatementAst]) { 'exit' } else { 'throw' }
                New-FindingAt $Context VersionStop $stop.Extent "$Starts stops the script at this ${how}: the version test before it sends 5.1 here, so the rest runs only in PowerShell 7"
            }
        }
    }
}
