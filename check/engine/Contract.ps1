# What the launcher passes, as the contract rules read a script's
# param() block: the launcher gives the optimisation script "-FPS VALUE"
# and the install script whatever the user typed.
using namespace System.Management.Automation.Language

$ParameterAttribute = 'System.Management.Automation.ParameterAttribute'

# [Parameter(ValueFromRemainingArguments)] or = $true; an argument that
# cannot be read as a constant is taken to be true.
function Test-TakesRemainingArguments([ParameterAst] $Parameter, [string[]] $Namespaces) {
    foreach ($attribute in $Parameter.Attributes) {
        if (-not (Test-AttributeIs $attribute $ParameterAttribute $Namespaces)) { continue }
        foreach ($named in $attribute.NamedArguments) {
            if ($named.ArgumentName -ne 'ValueFromRemainingArguments') { continue }
            if ($named.ExpressionOmitted) { return $true }
            try { return [bool] $named.Argument.SafeGetValue() } catch { return $true }
        }
    }
    return $false
}

# The names a parameter binds: its own and its aliases.
function Get-ParameterNames([ParameterAst] $Parameter, [string[]] $Namespaces) {
    $Parameter.Name.VariablePath.UserPath
    foreach ($attribute in $Parameter.Attributes) {
        if (Test-AttributeIs $attribute 'System.Management.Automation.AliasAttribute' $Namespaces) {
            foreach ($alias in $attribute.PositionalArguments) { Get-ConstantTexts $alias }
        }
    }
}

# The script's param() block as the launcher meets it: @{ Block;
# Parameters; Advanced; Remaining }, or $null without one. Advanced:
# [CmdletBinding()] or a [Parameter()], so that PowerShell refuses
# arguments that name no parameter; Remaining: a parameter takes them.
function Get-ScriptParameters($Context) {
    $block = $Context.Tree.ParamBlock
    if ($null -eq $block) { return $null }
    $namespaces = $Context.Namespaces
    $parameters = @($block.Parameters)
    $advanced = $false
    foreach ($attribute in $block.Attributes) {
        if (Test-AttributeIs $attribute 'System.Management.Automation.CmdletBindingAttribute' $namespaces) { $advanced = $true }
    }
    $remaining = $false
    foreach ($parameter in $parameters) {
        foreach ($attribute in $parameter.Attributes) {
            if (Test-AttributeIs $attribute $ParameterAttribute $namespaces) { $advanced = $true }
        }
        if (Test-TakesRemainingArguments $parameter $namespaces) { $remaining = $true }
    }
    @{ Block = $block; Parameters = $parameters; Advanced = $advanced; Remaining = $remaining }
}
