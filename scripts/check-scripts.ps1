<#
.SYNOPSIS
    Checks a package's two scripts, as they will ship, before anything is
    built.

.DESCRIPTION
    pwsh -NoProfile -NonInteractive -File check-scripts.ps1 FOLDER

    FOLDER holds Install-Yorn-UI.ps1 and Optimize-Yorn-UI.ps1 as they will
    be packaged. The launcher always starts Windows PowerShell 5.1, while
    authors write and try their scripts in PowerShell 7, whose parser (this
    one) accepts more. Everything is read from PowerShell's own syntax tree.

    Refused, with one line "error: SCRIPT:LINE:COLUMN: ..." on standard
    error and exit code 2:
    - a parse error, in PowerShell's own words;
    - a construct that only PowerShell 7 parses: ??, ??=, ?., ?[], the
      ternary a ? b : c, && and || between pipelines, and clean {};
    - an optimisation script that cannot take -FPS: an advanced script
      (one with [CmdletBinding()] or [Parameter()]) that declares no FPS
      parameter and takes no remaining arguments, so that "--optimize 144"
      could never bind. A plain script takes unknown arguments in $args.
    An advanced install script that takes no remaining arguments gets one
    warning line, since arguments typed after the launcher's name that
    name none of its parameters would be refused.
#>
using namespace System.Management.Automation
using namespace System.Management.Automation.Language
param(
    [Parameter(Mandatory = $true)]
    [string] $Folder
)
Set-StrictMode -Version Latest
$ErrorActionPreference = 'Stop'

function Write-Finding([string] $Kind, [string] $Script, [IScriptExtent] $At, [string] $Text) {
    [Console]::Error.WriteLine(('{0}: {1}:{2}:{3}: {4}' -f $Kind, $Script, $At.StartLineNumber, $At.StartColumnNumber, $Text))
}

# The name of the PowerShell 7 construct that `$Node` is, or nothing.
function Get-NewerConstruct([Ast] $Node) {
    if ($Node -is [BinaryExpressionAst] -and "$($Node.Operator)" -eq 'QuestionQuestion') { return '??' }
    if ($Node -is [AssignmentStatementAst] -and "$($Node.Operator)" -eq 'QuestionQuestionEquals') { return '??=' }
    if ($Node -is [MemberExpressionAst] -and $Node.NullConditional) { return '?.' }
    if ($Node -is [IndexExpressionAst] -and $Node.NullConditional) { return '?[]' }
    if ($Node -is [TernaryExpressionAst]) { return 'a ? b : c' }
    if ($Node -is [PipelineChainAst]) { return $(if ("$($Node.Operator)" -eq 'AndAnd') { '&&' } else { '||' }) }
    # A string, since PowerShell 7.2 has no Clean block kind at all.
    if ($Node -is [NamedBlockAst] -and "$($Node.BlockKind)" -eq 'Clean') { return 'clean {}' }
}

# Where the construct sits: at its operator where the tree records one.
function Get-ConstructExtent([Ast] $Node) {
    if ($Node -is [BinaryExpressionAst] -or $Node -is [AssignmentStatementAst]) { return $Node.ErrorPosition }
    return $Node.Extent
}

function Test-AttributeOf([AttributeAst] $Attribute, [type] $Type) {
    return $Attribute.TypeName.GetReflectionAttributeType() -eq $Type
}

# [Parameter(ValueFromRemainingArguments)] or = $true; an argument that
# cannot be read as a constant is taken to be true.
function Test-TakesRemainingArguments([ParameterAst] $Parameter) {
    foreach ($attribute in $Parameter.Attributes) {
        if ($attribute -isnot [AttributeAst] -or -not (Test-AttributeOf $attribute ([ParameterAttribute]))) { continue }
        foreach ($named in $attribute.NamedArguments) {
            if ($named.ArgumentName -ne 'ValueFromRemainingArguments') { continue }
            if ($named.ExpressionOmitted) { return $true }
            try { return [bool] $named.Argument.SafeGetValue() } catch { return $true }
        }
    }
    return $false
}

# The names -FPS can bind to: the parameter's own and its aliases.
function Get-ParameterNames([ParameterAst] $Parameter) {
    $Parameter.Name.VariablePath.UserPath
    foreach ($attribute in $Parameter.Attributes) {
        if ($attribute -is [AttributeAst] -and (Test-AttributeOf $attribute ([AliasAttribute]))) {
            foreach ($alias in $attribute.PositionalArguments) {
                if ($alias -is [StringConstantExpressionAst]) { $alias.Value }
            }
        }
    }
}

# Checks one script; returns $false after a refusal.
function Test-Script([string] $Name) {
    $tokens = $null
    $errors = $null
    $tree = [Parser]::ParseFile([System.IO.Path]::Combine($Folder, $Name), [ref] $tokens, [ref] $errors)
    if ($errors.Count -gt 0) {
        Write-Finding 'error' $Name $errors[0].Extent $errors[0].Message
        return $false
    }
    $newer = @($tree.FindAll({ param($node) $null -ne (Get-NewerConstruct $node) }, $true) |
            Sort-Object { (Get-ConstructExtent $_).StartOffset })
    if ($newer.Count -gt 0) {
        Write-Finding 'error' $Name (Get-ConstructExtent $newer[0]) "Windows PowerShell 5.1, which the launcher starts, cannot parse ``$(Get-NewerConstruct $newer[0])``"
        return $false
    }

    $parameters = @(if ($null -ne $tree.ParamBlock) { $tree.ParamBlock.Parameters })
    $advanced = $null -ne $tree.ParamBlock -and (
        @($tree.ParamBlock.Attributes | Where-Object { Test-AttributeOf $_ ([CmdletBindingAttribute]) }).Count -gt 0 -or
        @($parameters | ForEach-Object { $_.Attributes } |
                Where-Object { $_ -is [AttributeAst] -and (Test-AttributeOf $_ ([ParameterAttribute])) }).Count -gt 0)
    if (-not $advanced -or @($parameters | Where-Object { Test-TakesRemainingArguments $_ }).Count -gt 0) {
        return $true
    }
    if ($Name -eq 'Install-Yorn-UI.ps1') {
        Write-Finding 'warning' $Name $tree.ParamBlock.Extent 'takes no remaining arguments (a [Parameter(ValueFromRemainingArguments = $true)] parameter), so PowerShell refuses any argument typed after Install-Yorn-UI.exe that names none of its parameters'
        return $true
    }
    # PowerShell also binds a unique prefix: -FPS reaches -FPSLimit.
    $names = @($parameters | ForEach-Object { Get-ParameterNames $_ })
    if ($names -contains 'FPS' -or @($names | Where-Object { $_ -like 'FPS*' }).Count -eq 1) {
        return $true
    }
    Write-Finding 'error' $Name $tree.ParamBlock.Extent 'declares no -FPS parameter and takes no remaining arguments, so PowerShell would refuse "Install-Yorn-UI.exe --optimize 144", which passes -FPS 144'
    return $false
}

if (-not ((Test-Script 'Install-Yorn-UI.ps1') -and (Test-Script 'Optimize-Yorn-UI.ps1'))) {
    exit 2
}
'Both scripts parse, hold nothing that Windows PowerShell 5.1 cannot parse, and can take what the launcher passes.'
