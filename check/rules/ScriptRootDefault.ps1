# $PSScriptRoot or $PSCommandPath in a parameter default of an advanced
# script ([CmdletBinding()] or a [Parameter()] on its param() block): 5.1
# has not set them yet when it works out the defaults of a script that
# it runs with -File, as the launcher does, so they are empty there
# (PowerShell#4688); param([string] $Root = (Split-Path $PSScriptRoot))
# fails before the script starts (adamgell/cmtraceopen#542, on Windows 11).
# 7 sets them first. A function's defaults are worked out when it is
# called, and are left alone.
using namespace System.Management.Automation.Language

function Find-ScriptRootDefault($Context) {
    $script = Get-ScriptParameters $Context
    if ($null -eq $script -or -not $script.Advanced) { return }
    foreach ($parameter in $script.Parameters) {
        if ($null -eq $parameter.DefaultValue) { continue }
        $variables = $parameter.DefaultValue.FindAll({ param($node) $node -is [VariableExpressionAst] }, $true)
        foreach ($variable in $variables) {
            $name = Get-VariableName $variable
            if ($name -ne 'PSScriptRoot' -and $name -ne 'PSCommandPath') { continue }
            New-FindingAt $Context ScriptRootDefault $variable.Extent "$Starts leaves `$$name empty in the parameter defaults of an advanced script, so the default of -$($parameter.Name.VariablePath.UserPath) is wrong or fails there" $name
        }
    }
}
