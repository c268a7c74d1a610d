# An -Encoding value that only 7 takes: utf8NoBOM, utf8BOM, ansi, a code
# page's number or name.
using namespace System.Management.Automation.Language

function Find-EncodingOnly7($Context) {
    foreach ($call in Get-KnownCalls $Context) {
        $command = $call.Command
        $elements = $command.CommandElements
        $name = $call.Name
        if ($call.Own -or $elements.Count -lt 2 -or -not $Known.Commands.ContainsKey($name)) { continue }
        for ($i = 1; $i -lt $elements.Count; $i++) {
            $element = $elements[$i]
            if ($element -isnot [CommandParameterAst]) { continue }
            $verdict = $ParameterVerdicts["$name $($element.ParameterName)"]
            if ($null -eq $verdict) { $verdict = Get-ParameterVerdict $name $element.ParameterName }
            if ($verdict.Only7 -or $verdict.Name -ne 'Encoding') { continue }
            $value = Get-ConstantText (Get-ParameterArgument $command $i)
            if ($null -eq $value -or -not (Test-EncodingOnly7 $value)) { continue }
            $calledAs = ''
            if ($call.Written -ne $name) { $calledAs = " (called as $($call.Written))" }
            New-FindingAt $Context EncodingOnly7 $element.Extent "$Starts has no -Encoding $value on $name$calledAs" $value
        }
    }
}
