# Automatic variables that 5.1 does not set ($IsWindows, $IsLinux,
# $IsMacOS, $IsCoreCLR, $PSStyle): reading one gives $null there, or stops
# a script under Set-StrictMode. A warning, unless the script sets the
# variable itself; guards excuse it where 5.1 does not read it (the body of
# if ($IsWindows), the right of $PSEdition -eq 'Core' -and $IsLinux).
# A negation of $IsWindows that 5.1 takes for true is NotIsWindows's.
using namespace System.Management.Automation.Language

function Find-VariableOnly7($Context) {
    $only7 = $Known.VariablesOnly7
    $assigned = $Context.Assignments
    $negated = (Get-IsWindowsNegations $Context).Variables
    foreach ($variable in $Context.Nodes[[VariableExpressionAst]]) {
        $path = $variable.VariablePath
        $name = $path.UserPath
        if ($name.IndexOf(':') -ge 0) { $name = Get-VariableName $variable }
        if (-not $only7.Contains($name) -or $assigned.ContainsKey($name) -or $negated.Contains($variable)) { continue }
        New-FindingAt $Context VariableOnly7 $variable.Extent "$Starts does not set `$$name`: there it reads as `$null, or stops a script under Set-StrictMode" $name
    }
}
