# More positional arguments than any of 5.1's parameter sets of the
# command takes: 5.1 stops at the first one too many ("A positional
# parameter cannot be found that accepts argument"), where 7 may take
# more (Join-Path's -AdditionalChildPath takes the rest there).
#
# Counted as 5.1 binds: a named parameter takes the next element unless
# 5.1 has it as a switch, and -Name:value takes its value in the same
# element. Passed where the count is not sure: a splat, `--`, a parameter
# that 5.1 does not bind to one parameter by that spelling, a command
# that takes the remaining arguments (Positional $null), one that the
# script defines, and one that the data does not know.
using namespace System.Management.Automation.Language

# 1st, 2nd, 3rd, 4th, ... 11th, 12th, 13th, 21st.
function Get-Ordinal([int] $Number) {
    $suffix = 'th'
    if ($Number % 100 -lt 11 -or $Number % 100 -gt 13) {
        switch ($Number % 10) { 1 { $suffix = 'st' } 2 { $suffix = 'nd' } 3 { $suffix = 'rd' } }
    }
    "$Number$suffix"
}

function Find-PositionalOnly7($Context) {
    $targets = $Context.CommandTargets
    $commands51 = $Known.Commands51
    $switches = $Known.CommonSwitches51
    foreach ($command in $Context.Nodes[[CommandAst]]) {
        $elements = $command.CommandElements
        if ($elements.Count -lt 2) { continue }
        $written = $command.GetCommandName()
        if (-not $written) { continue }
        $target = $targets[$written]
        if ($null -eq $target) { $target = Get-CommandTarget $Context $written }
        if ($target.Own) { continue }
        # The data as shaped, asked for without a call once a command is known.
        $command51 = $commands51[$target.Name]
        if ($null -eq $command51) { continue }
        if ($command51 -is [System.Text.Json.JsonElement]) { $command51 = Get-Command51 $target.Name }
        $most = $command51.Positional
        if ($null -eq $most -or $elements.Count - 1 -le $most) { continue }
        $count = 0
        $extra = $null
        for ($i = 1; $i -lt $elements.Count; $i++) {
            $element = $elements[$i]
            if ($element -is [CommandParameterAst]) {
                if ($element.ParameterName -eq '-') { $extra = $null; break }
                if ($null -ne $element.Argument) { continue }
                $bound = $command51["?$($element.ParameterName)"]
                if ($null -eq $bound -and -not $command51.ContainsKey("?$($element.ParameterName)")) { $bound = Find-Parameters51 $command51 $element.ParameterName }
                if ($null -eq $bound -or $bound.Count -ne 1) { $extra = $null; break }
                $name = $bound[0]
                if (-not $command51.Switches.Contains($name) -and -not $switches.Contains($name) -and
                    $i + 1 -lt $elements.Count -and $elements[$i + 1] -isnot [CommandParameterAst]) { $i++ }
                continue
            }
            if ($element -is [VariableExpressionAst] -and $element.Splatted) { $extra = $null; break }
            $count++
            if ($count -eq $most + 1) { $extra = $element }
        }
        if ($null -eq $extra) { continue }
        $calledAs = ''
        if ($written -ne $target.Name) { $calledAs = " (called as $written)" }
        $takes = "at most $most positional arguments for $($target.Name)$calledAs and stops at this $(Get-Ordinal ($most + 1)) one"
        if ($most -eq 1) { $takes = "one positional argument at most for $($target.Name)$calledAs and stops at this 2nd one" }
        if ($most -eq 0) { $takes = "no positional argument for $($target.Name)$calledAs and stops at this one" }
        New-FindingAt $Context PositionalOnly7 $extra.Extent "$Starts takes $takes" $target.Name
    }
}
