# A parameter that 5.1's command lacks: named, by a unique start (-AsHash)
# or by an alias (-proga), the command called by name or alias.
using namespace System.Management.Automation.Language

function Find-ParameterOnly7($Context) {
    foreach ($call in Get-KnownCalls $Context) {
        $elements = $call.Command.CommandElements
        $name = $call.Name
        if ($call.Own -or $elements.Count -lt 2 -or $Known.CommandsOnly7.ContainsKey($name)) { continue }
        for ($i = 1; $i -lt $elements.Count; $i++) {
            $element = $elements[$i]
            if ($element -isnot [CommandParameterAst]) { continue }
            $verdict = $ParameterVerdicts["$name $($element.ParameterName)"]
            if ($null -eq $verdict) { $verdict = Get-ParameterVerdict $name $element.ParameterName }
            if (-not $verdict.Only7) { continue }
            $calledAs = ''
            if ($call.Written -ne $name) { $calledAs = " (called as $($call.Written))" }
            $as = ''
            if ($element.ParameterName -ne $verdict.Name) { $as = " (written -$($element.ParameterName))" }
            New-FindingAt $Context ParameterOnly7 $element.Extent "$Starts has no parameter -$($verdict.Name) on $name$calledAs$as" $verdict.Name
        }
    }
}
