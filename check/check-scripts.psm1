# The rules of the author's check (check-scripts.ps1): what a script that
# PowerShell 7 runs can hold that Windows PowerShell 5.1, which the launcher
# always starts, cannot parse or run. Each rule visits PowerShell's syntax
# tree and gives findings; what 7.6 has and 5.1 lacks is read once, from
# compatibility/windows-powershell-5.1.json.
#
# A finding is refused only when the check is sure: something 7.6 has and
# 5.1 does not. A name that neither side knows is left alone, and so is
# code inside an if/elseif/else whose conditions test the version or the
# platform. An author silences a rule in a script or a function with
# [Diagnostics.CodeAnalysis.SuppressMessageAttribute('RULE', '')] on its
# param() block; a second argument other than '' silences only findings
# about that name. The rule names are PSScriptAnalyzer's.
using namespace System.Collections.Generic
using namespace System.Management.Automation
using namespace System.Management.Automation.Language
Set-StrictMode -Version Latest
$ErrorActionPreference = 'Stop'

$Starts = 'Windows PowerShell 5.1, which the launcher starts,'
$Framework = "$Starts runs on .NET Framework 4.8, which"

# Variables that test for 7 or for the platform: code under an if that
# tests one of them is written for both versions.
$GuardVariables = 'PSVersionTable', 'PSEdition', 'IsCoreCLR', 'IsWindows', 'IsLinux', 'IsMacOS'
# Automatic variables that 5.1 does not set.
$VariablesOnly7 = 'IsCoreCLR', 'IsLinux', 'IsMacOS', 'IsWindows', 'PSStyle'
# The values 5.1's -Encoding takes (FileSystemCmdletProviderEncoding, and
# the same names where the parameter is a string or an Encoding).
$Encodings51 = 'Ascii', 'BigEndianUnicode', 'BigEndianUTF32', 'Byte', 'Default', 'Oem', 'String', 'Unicode',
'Unknown', 'UTF32', 'UTF7', 'UTF8'
# The ones only 7 knows by name; 7 also takes a code page's number or name.
$EncodingsOnly7 = 'ansi', 'utf8BOM', 'utf8NoBOM'
# Literals that only 7 types so: u, ul, y, uy, s, us and n.
$NumberTypesOnly7 = [sbyte], [byte], [int16], [uint16], [uint32], [uint64], [bigint]

function New-NameSet([string[]] $Names = @()) {
    $set = [HashSet[string]]::new([StringComparer]::OrdinalIgnoreCase)
    foreach ($name in $Names) { [void] $set.Add($name) }
    , $set
}
function New-NameTable { , [Dictionary[string, object]]::new([StringComparer]::OrdinalIgnoreCase) }

# The data file, with names looked up as PowerShell looks them up: without
# regard to case.
function Read-Data([string] $Path) {
    $raw = Get-Content -Raw -LiteralPath $Path | ConvertFrom-Json -AsHashtable
    $data = @{
        CommonParameters = New-NameTable
        CommonOnly7      = New-NameSet $raw.CommonParametersOnly7
        Aliases          = New-NameTable
        CommandsOnly7    = New-NameTable
        Commands         = New-NameTable
        Common51         = New-NameSet $raw.CommonParameters51
        NamespacesOnly7  = [string[]] $raw.NamespacesOnly7
        TypesOnly7       = New-NameSet
        MembersOnly7     = New-NameTable
        NotLoaded        = New-NameTable
    }
    foreach ($name in $raw.CommonParameters.Keys) { $data.CommonParameters[$name] = [string[]] $raw.CommonParameters[$name] }
    foreach ($name in $raw.Aliases.Keys) { $data.Aliases[$name] = $raw.Aliases[$name] }
    foreach ($name in $raw.CommandsOnly7.Keys) { $data.CommandsOnly7[$name] = $raw.CommandsOnly7[$name] }
    foreach ($name in $raw.Commands.Keys) {
        $entry = $raw.Commands[$name]
        $parameters = New-NameTable
        foreach ($parameter in $entry.Parameters.Keys) { $parameters[$parameter] = [string[]] $entry.Parameters[$parameter] }
        $data.Commands[$name] = @{
            Parameters = $parameters
            Only7      = New-NameSet $(if ($entry.Contains('Only7')) { $entry.Only7 })
            Only51     = [string[]] @(if ($entry.Contains('Only51')) { $entry.Only51 })
        }
    }
    foreach ($namespace in $raw.TypesOnly7.Keys) {
        foreach ($type in $raw.TypesOnly7[$namespace]) { [void] $data.TypesOnly7.Add("$namespace.$type") }
    }
    foreach ($type in $raw.StaticMembersOnly7.Keys) { $data.MembersOnly7[$type] = New-NameSet $raw.StaticMembersOnly7[$type] }
    foreach ($assembly in $raw.NotLoaded51.Keys) {
        foreach ($namespace in $raw.NotLoaded51[$assembly].Keys) {
            foreach ($type in $raw.NotLoaded51[$assembly][$namespace]) { $data.NotLoaded["$namespace.$type"] = $assembly }
        }
    }
    $data
}
$Known = Read-Data (Join-Path $PSScriptRoot 'compatibility/windows-powershell-5.1.json')
# PowerShell 7's own resolution of a type name, outside this file's using
# statements: accelerators, and the name with System. in front.
$ResolveType = [scriptblock]::Create('param([string] $Name) $Name -as [type]')

# --- Findings

# One finding: where, which rule (for suppression), what it is about (a
# second argument of the suppression can name it) and whether a version
# test around it excuses it.
function New-Finding([string] $Kind, [string] $Rule, [IScriptExtent] $At, [string] $Text, [string] $Subject = '',
    [switch] $Guardable) {
    [pscustomobject] @{
        Kind = $Kind; Rule = $Rule; Line = $At.StartLineNumber; Column = $At.StartColumnNumber
        Offset = $At.StartOffset; Text = $Text; Subject = $Subject; Guardable = [bool] $Guardable
    }
}

function Format-Finding([string] $Script, $Finding) {
    '{0}: {1}:{2}:{3}: {4}' -f $Finding.Kind, $Script, $Finding.Line, $Finding.Column, $Finding.Text
}

function Test-AttributeOf([AttributeBaseAst] $Attribute, [type] $Type) {
    $Attribute -is [AttributeAst] -and $Attribute.TypeName.GetReflectionAttributeType() -eq $Type
}

# The string a constant argument holds, or $null.
function Get-ConstantText([Ast] $Node) {
    if ($Node -is [StringConstantExpressionAst]) { return $Node.Value }
    if ($Node -is [ExpandableStringExpressionAst] -and $Node.NestedExpressions.Count -eq 0) { return $Node.Value }
    if ($Node -is [ConstantExpressionAst] -and $null -ne $Node.Value) { return "$($Node.Value)" }
    return $null
}

function Test-Within($Finding, [Ast] $Node) {
    $Finding.Offset -ge $Node.Extent.StartOffset -and $Finding.Offset -lt $Node.Extent.EndOffset
}

# The suppressions in force: each script block whose param() block says
# SuppressMessageAttribute(RULE, NAME).
function Get-Suppressions([Ast] $Tree) {
    foreach ($block in $Tree.FindAll({ param($node) $node -is [ScriptBlockAst] -and $null -ne $node.ParamBlock }, $true)) {
        foreach ($attribute in $block.ParamBlock.Attributes) {
            if (-not (Test-AttributeOf $attribute ([System.Diagnostics.CodeAnalysis.SuppressMessageAttribute]))) { continue }
            $arguments = @($attribute.PositionalArguments | ForEach-Object { Get-ConstantText $_ })
            if ($arguments.Count -eq 0 -or $null -eq $arguments[0]) { continue }
            [pscustomobject] @{ Scope = $block; Rule = $arguments[0]; Subject = $(if ($arguments.Count -gt 1) { "$($arguments[1])" } else { '' }) }
        }
    }
}

# The if statements whose conditions test a guard variable.
function Get-Guards([Ast] $Tree, [string[]] $Variables) {
    foreach ($statement in $Tree.FindAll({ param($node) $node -is [IfStatementAst] }, $true)) {
        foreach ($clause in $statement.Clauses) {
            if (Test-UsesVariable $clause.Item1 $Variables) { $statement; break }
        }
    }
}

function Test-UsesVariable([Ast] $Node, [string[]] $Variables) {
    $null -ne $Node.Find({ param($node) $node -is [VariableExpressionAst] -and (Get-VariableName $node) -in $Variables }, $true)
}

# A variable's name without its scope (global:, script:, ...).
function Get-VariableName([VariableExpressionAst] $Variable) {
    if (-not $Variable.VariablePath.IsVariable) { return '' }
    $path = $Variable.VariablePath.UserPath
    $path.Substring($path.IndexOf(':') + 1)
}

# --- PSUseCompatibleSyntax: what 5.1 cannot parse, or parses otherwise

# The PowerShell 7 construct that a node is, or nothing.
function Get-NewerConstruct([Ast] $Node) {
    if ($Node -is [BinaryExpressionAst] -and "$($Node.Operator)" -eq 'QuestionQuestion') { return '`??`' }
    if ($Node -is [AssignmentStatementAst] -and "$($Node.Operator)" -eq 'QuestionQuestionEquals') { return '`??=`' }
    if ($Node -is [MemberExpressionAst] -and $Node.NullConditional) { return '`?.`' }
    if ($Node -is [IndexExpressionAst] -and $Node.NullConditional) { return '`?[]`' }
    if ($Node -is [TernaryExpressionAst]) { return '`a ? b : c`' }
    if ($Node -is [PipelineChainAst]) { return $(if ("$($Node.Operator)" -eq 'AndAnd') { '`&&`' } else { '`||`' }) }
    if ($Node -is [PipelineAst] -and $Node.Background) { return '`&` at the end of a pipeline' }
    # Strings and looked-up properties, since 7.2 has neither a Clean block
    # kind nor generic method arguments.
    if ($Node -is [NamedBlockAst] -and "$($Node.BlockKind)" -eq 'Clean') { return '`clean {}`' }
    if ($Node -is [InvokeMemberExpressionAst] -and $Node.PSObject.Properties['GenericTypeArguments'] -and
        $null -ne $Node.GenericTypeArguments -and $Node.GenericTypeArguments.Count -gt 0) {
        return "the type arguments of ``$($Node.Member.Extent.Text)[$(@($Node.GenericTypeArguments | ForEach-Object { $_.FullName }) -join ',')]()``"
    }
}

# Where the construct sits: at its operator where the tree records one.
function Get-ConstructExtent([Ast] $Node, [Token[]] $Tokens) {
    if ($Node -is [BinaryExpressionAst] -or $Node -is [AssignmentStatementAst]) { return $Node.ErrorPosition }
    if ($Node -is [PipelineAst]) {
        return @($Tokens | Where-Object { $_.Kind -eq 'Ampersand' -and $_.Extent.StartOffset -ge $Node.Extent.EndOffset })[0].Extent
    }
    return $Node.Extent
}

# What only 7's tokenizer reads: a pipe that starts a line, binary
# literals, the newer numeric suffixes, and the escapes `e and `u{...}.
function Get-NewerToken([Token[]] $Tokens, [int] $Index) {
    $token = $Tokens[$Index]
    if ($token.Kind -eq 'Pipe') {
        $before = $Index - 1
        while ($before -ge 0 -and $Tokens[$before].Kind -eq 'Comment') { $before-- }
        if ($before -ge 0 -and $Tokens[$before].Kind -eq 'NewLine') { return '`|` at the start of a line' }
    } elseif ($token -is [NumberToken]) {
        $literal = $token.Text.TrimStart('-', '+')
        if ($literal.StartsWith('0b', [StringComparison]::OrdinalIgnoreCase)) { return "``$($token.Text)``" }
        if ($null -ne $token.Value -and $token.Value.GetType() -in $NumberTypesOnly7) { return "``$($token.Text)``" }
    } elseif ($token.Kind -in 'StringExpandable', 'HereStringExpandable') {
        $text = $token.Text
        for ($i = 0; $i -lt $text.Length - 1; $i++) {
            if ($text[$i] -ne '`') { continue }
            $i++
            if ($text[$i] -eq 'e') { return 'e' }
            if ($text[$i] -eq 'u' -and $i + 1 -lt $text.Length -and $text[$i + 1] -eq '{') { return 'u' }
        }
    }
}

function Get-SyntaxFindings([ScriptBlockAst] $Tree, [Token[]] $Tokens) {
    foreach ($node in $Tree.FindAll({ param($node) $null -ne (Get-NewerConstruct $node) }, $true)) {
        New-Finding error PSUseCompatibleSyntax (Get-ConstructExtent $node $Tokens) "$Starts cannot parse $(Get-NewerConstruct $node)"
    }
    for ($i = 0; $i -lt $Tokens.Count; $i++) {
        $construct = Get-NewerToken $Tokens $i
        if (-not $construct) { continue }
        if ($construct.Length -eq 1) {
            New-Finding error PSUseCompatibleSyntax $Tokens[$i].Extent "$Starts knows no escape ``$construct in a string and reads it as the letter $construct"
        } else {
            New-Finding error PSUseCompatibleSyntax $Tokens[$i].Extent "$Starts cannot parse $construct"
        }
    }
    # 7 calls a script block given to -replace for each match; 5.1 turns
    # it into its text.
    foreach ($node in $Tree.FindAll({ param($node) $node -is [BinaryExpressionAst] -and "$($node.Operator)" -in 'Ireplace', 'Creplace' }, $true)) {
        $operands = $node.Right
        if ($operands -is [ArrayLiteralAst] -and $operands.Elements.Count -eq 2 -and $operands.Elements[1] -is [ScriptBlockExpressionAst]) {
            New-Finding error PSUseCompatibleSyntax $node.ErrorPosition "$Starts does not call a script block given to -replace: it replaces with the block's text" -Guardable
        }
    }
    # Each #Requires line on its own, so that a refusal can say where.
    foreach ($token in $Tokens | Where-Object { $_.Kind -eq 'Comment' -and $_.Text.StartsWith('#requires', [StringComparison]::OrdinalIgnoreCase) }) {
        $requirements = [Parser]::ParseInput($token.Text, [ref] $null, [ref] $null).ScriptRequirements
        if ($null -eq $requirements) { continue }
        if ($null -ne $requirements.RequiredPSVersion -and $requirements.RequiredPSVersion.Major -ge 6) {
            New-Finding error PSUseCompatibleSyntax $token.Extent "$Starts refuses to run a script that says #Requires -Version $($requirements.RequiredPSVersion)"
        }
        if ($requirements.RequiredPSEditions -contains 'Core' -and $requirements.RequiredPSEditions -notcontains 'Desktop') {
            New-Finding error PSUseCompatibleSyntax $token.Extent "$Starts refuses to run a script that says #Requires -PSEdition Core"
        }
    }
}

# --- PSUseCompatibleCommands and PSUseCompatibleCmdlets: commands,
# their parameters and -Encoding's values

# The 7.6 parameter that a name stands for, as PowerShell binds it: its
# own name or an alias, else the one parameter that it starts. $null when
# none or more than one.
function Resolve-Parameter([Dictionary[string, object]] $Parameters, [string] $Written) {
    $starting = New-NameSet
    foreach ($name in $Parameters.Keys) {
        foreach ($candidate in @($name) + $Parameters[$name]) {
            if ($candidate -eq $Written) { return $name }
            if ($candidate.StartsWith($Written, [StringComparison]::OrdinalIgnoreCase)) { [void] $starting.Add($name) }
        }
    }
    if ($starting.Count -eq 1) { return @($starting)[0] }
}

# The names 5.1 knows for a command's parameters (its own, with the
# aliases 7.6 gives them, and the common ones).
function Get-Names51($Entry, [bool] $Common) {
    if ($null -ne $Entry) {
        foreach ($name in $Entry.Parameters.Keys) {
            if (-not $Entry.Only7.Contains($name)) { $name; $Entry.Parameters[$name] }
        }
        $Entry.Only51
    }
    if ($Common) {
        foreach ($name in $Known.CommonParameters.Keys) {
            if (-not $Known.CommonOnly7.Contains($name)) { $name; $Known.CommonParameters[$name] }
        }
    }
}

# The argument a named parameter takes: -Name:value, or the next element.
function Get-ParameterArgument([CommandAst] $Command, [int] $Index) {
    $parameter = $Command.CommandElements[$Index]
    if ($null -ne $parameter.Argument) { return $parameter.Argument }
    if ($Index + 1 -lt $Command.CommandElements.Count -and $Command.CommandElements[$Index + 1] -isnot [CommandParameterAst]) {
        return $Command.CommandElements[$Index + 1]
    }
}

# Whether 7 takes an -Encoding value that 5.1 does not: its own names, a
# code page's number, or a name .NET knows other than 5.1's.
function Test-EncodingOnly7([string] $Value) {
    if ($Value -in $EncodingsOnly7) { return $true }
    if ($Value -in $Encodings51) { return $false }
    $number = 0
    if ([int]::TryParse($Value, [ref] $number)) { return $true }
    try { [void] [System.Text.Encoding]::GetEncoding($Value); return $true } catch { return $false }
}

# What one call of a command, as written, holds that 5.1 lacks.
function Get-CommandFindings([CommandAst] $Command, [HashSet[string]] $Defined) {
    $written = $Command.GetCommandName()
    if (-not $written) { return }
    # Module\Command names the command of that module; any other name with
    # a \ is a path.
    $module = $written.Substring(0, [Math]::Max(0, $written.LastIndexOf('\')))
    if ($module.StartsWith('.') -or $module.IndexOfAny([char[]] ':\/ ') -ge 0) { return }
    $name = $written.Substring($written.LastIndexOf('\') + 1)
    if ($Defined.Contains($name)) { return }
    $target = if ($Known.Aliases.ContainsKey($name)) { $Known.Aliases[$name] } else { $name }
    $calledAs = if ($written -ne $target) { " (called as $written)" } else { '' }
    if ($Known.CommandsOnly7.ContainsKey($target)) {
        New-Finding error PSUseCompatibleCommands $Command.Extent "$Starts has no command $target$calledAs" $target -Guardable
        return
    }
    $entry = if ($Known.Commands.ContainsKey($target)) { $Known.Commands[$target] }
    $common = $Known.Common51.Contains($target)
    if ($null -eq $entry -and -not $common) { return }
    $parameters = New-NameTable
    if ($null -ne $entry) { foreach ($key in $entry.Parameters.Keys) { $parameters[$key] = $entry.Parameters[$key] } }
    foreach ($key in $Known.CommonParameters.Keys) { $parameters[$key] = $Known.CommonParameters[$key] }
    $names51 = @(Get-Names51 $entry $common)
    for ($i = 1; $i -lt $Command.CommandElements.Count; $i++) {
        $element = $Command.CommandElements[$i]
        if ($element -isnot [CommandParameterAst]) { continue }
        $spelled = $element.ParameterName
        # Without the command's own parameters, only a common parameter's
        # own name or alias can be told apart from a prefix.
        $parameter = if ($null -ne $entry) { Resolve-Parameter $parameters $spelled } else {
            foreach ($key in $Known.CommonParameters.Keys) {
                if ($key -eq $spelled -or $Known.CommonParameters[$key] -contains $spelled) { $key }
            }
        }
        if (-not $parameter) { continue }
        $only7 = $Known.CommonOnly7.Contains($parameter) -or ($null -ne $entry -and $entry.Only7.Contains($parameter))
        if ($only7) {
            # A start that 5.1 binds to a parameter of its own is not sure.
            if (@($names51 | Where-Object { $_.StartsWith($spelled, [StringComparison]::OrdinalIgnoreCase) }).Count -gt 0) { continue }
            $as = if ($spelled -ne $parameter) { " (written -$spelled)" } else { '' }
            New-Finding error PSUseCompatibleCmdlets $element.Extent "$Starts has no parameter -$parameter on $target$calledAs$as" $parameter -Guardable
        } elseif ($parameter -eq 'Encoding') {
            $value = Get-ConstantText (Get-ParameterArgument $Command $i)
            if ($null -ne $value -and (Test-EncodingOnly7 $value)) {
                New-Finding error PSUseCompatibleCmdlets $element.Extent "$Starts has no -Encoding $value on $target$calledAs" $value -Guardable
            }
        }
    }
}

# --- PSUseCompatibleTypes: .NET types and static members

# The assemblies the script loads itself: Add-Type -AssemblyName, using
# assembly, and [Reflection.Assembly]::LoadWithPartialName or ::Load.
function Get-LoadedAssemblies([ScriptBlockAst] $Tree) {
    $loaded = New-NameSet
    $addType = $Known.Commands['Add-Type'].Parameters
    foreach ($node in $Tree.FindAll({ param($node) $node -is [CommandAst] -or $node -is [UsingStatementAst] -or
                ($node -is [InvokeMemberExpressionAst] -and $node.Static) }, $true)) {
        $names = @()
        if ($node -is [UsingStatementAst]) {
            if ("$($node.UsingStatementKind)" -eq 'Assembly') { $names = @($node.Name.Value) }
        } elseif ($node -is [InvokeMemberExpressionAst]) {
            if ($node.Expression -isnot [TypeExpressionAst]) { continue }
            $type = & $ResolveType $node.Expression.TypeName.FullName
            if ($type -eq [System.Reflection.Assembly] -and $node.Member.Extent.Text -in 'LoadWithPartialName', 'Load' -and $node.Arguments) {
                $names = @(Get-ConstantText $node.Arguments[0])
            }
        } elseif ($node.GetCommandName() -eq 'Add-Type') {
            for ($i = 1; $i -lt $node.CommandElements.Count; $i++) {
                $element = $node.CommandElements[$i]
                if ($element -isnot [CommandParameterAst] -or (Resolve-Parameter $addType $element.ParameterName) -ne 'AssemblyName') { continue }
                $argument = Get-ParameterArgument $node $i
                $names = if ($argument -is [ArrayLiteralAst]) { $argument.Elements | ForEach-Object { Get-ConstantText $_ } } else { Get-ConstantText $argument }
            }
        }
        foreach ($name in $names | Where-Object { $_ }) { [void] $loaded.Add($name.Split(',')[0].Trim()) }
    }
    , $loaded
}

# The full name a type name stands for, as 7 resolves it (accelerators,
# System. in front, the script's using namespaces), or as the data knows
# it where 7 on this machine has no such type (Windows Forms, WPF).
function Resolve-TypeName([string] $Name, [string[]] $Namespaces) {
    foreach ($candidate in @($Name) + @($Namespaces | ForEach-Object { "$_.$Name" })) {
        $type = & $ResolveType $candidate
        if ($null -ne $type) {
            if ($type.IsGenericType) { $type = $type.GetGenericTypeDefinition() }
            return $type.FullName
        }
    }
    foreach ($candidate in @($Name, "System.$Name") + @($Namespaces | ForEach-Object { "$_.$Name" })) {
        if (Get-NotLoadedAssembly $candidate) { return $candidate }
    }
}

# The plain type names within a type name: the element of an array and the
# generic type with its arguments, as Name`N.
function Get-PlainTypeNames([ITypeName] $TypeName) {
    if ($TypeName -is [ArrayTypeName]) { return Get-PlainTypeNames $TypeName.ElementType }
    if ($TypeName -is [GenericTypeName]) {
        "$($TypeName.TypeName.FullName)``$($TypeName.GenericArguments.Count)"
        foreach ($argument in $TypeName.GenericArguments) { Get-PlainTypeNames $argument }
        return
    }
    $TypeName.FullName
}

function Get-NotLoadedAssembly([string] $FullName) {
    if ($Known.NotLoaded.ContainsKey($FullName)) { return $Known.NotLoaded[$FullName] }
    $namespace = "$($FullName.Substring(0, [Math]::Max(0, $FullName.LastIndexOf('.')))).*"
    if ($Known.NotLoaded.ContainsKey($namespace)) { return $Known.NotLoaded[$namespace] }
}

function Get-TypeFindings([ScriptBlockAst] $Tree) {
    # The script's own classes and enums are neither side's.
    $defined = New-NameSet @($Tree.FindAll({ param($node) $node -is [TypeDefinitionAst] }, $true) | ForEach-Object { $_.Name })
    $namespaces = @($Tree.UsingStatements | Where-Object { "$($_.UsingStatementKind)" -eq 'Namespace' } | ForEach-Object { $_.Name.Value })
    $loaded = Get-LoadedAssemblies $Tree
    $seen = New-NameSet
    foreach ($node in $Tree.FindAll({ param($node) $node -is [TypeExpressionAst] -or $node -is [TypeConstraintAst] }, $true)) {
        foreach ($name in Get-PlainTypeNames $node.TypeName) {
            if ($defined.Contains($name)) { continue }
            $fullName = Resolve-TypeName $name $namespaces
            if (-not $fullName) { continue }
            $namespaceOnly7 = @($Known.NamespacesOnly7 | Where-Object { $fullName.StartsWith("$_.") }).Count -gt 0
            if ($namespaceOnly7 -or $Known.TypesOnly7.Contains($fullName)) {
                New-Finding error PSUseCompatibleTypes $node.Extent "$Framework has no type $fullName" $fullName -Guardable
                continue
            }
            $assembly = Get-NotLoadedAssembly $fullName
            # Said once a script and assembly.
            if ($assembly -and -not $loaded.Contains($assembly) -and $seen.Add($assembly)) {
                New-Finding warning PSUseCompatibleTypes $node.Extent "$Starts does not load $assembly by itself: add ``Add-Type -AssemblyName $assembly`` before using $fullName" $fullName -Guardable
            }
        }
        $member = $node.Parent
        if ($node -is [TypeExpressionAst] -and $member -is [MemberExpressionAst] -and $member.Static -and
            $member.Expression -eq $node -and $member.Member -is [StringConstantExpressionAst]) {
            $name = @(Get-PlainTypeNames $node.TypeName)[0]
            $fullName = if (-not $defined.Contains($name)) { Resolve-TypeName $name $namespaces }
            if ($fullName -and $Known.MembersOnly7.ContainsKey($fullName) -and $Known.MembersOnly7[$fullName].Contains($member.Member.Value)) {
                New-Finding error PSUseCompatibleTypes $member.Member.Extent "$Framework has no static member $($member.Member.Value) on $fullName" $member.Member.Value -Guardable
            }
        }
    }
}

# --- Automatic variables that 5.1 does not set (warnings)

# Reading one in 5.1 gives $null, or stops a script under Set-StrictMode,
# unless the script sets it, or a test of $PSVersionTable or $PSEdition
# has already told the versions apart: an if whose conditions test them,
# or the body of an if whose conditions test another guard variable.
function Get-VariableFindings([ScriptBlockAst] $Tree) {
    $assigned = New-NameSet
    foreach ($assignment in $Tree.FindAll({ param($node) $node -is [AssignmentStatementAst] -and $node.Left -is [VariableExpressionAst] }, $true)) {
        [void] $assigned.Add((Get-VariableName $assignment.Left))
    }
    $versionTests = @(Get-Guards $Tree 'PSVersionTable', 'PSEdition')
    $otherTests = @(Get-Guards $Tree $GuardVariables)
    foreach ($variable in $Tree.FindAll({ param($node) $node -is [VariableExpressionAst] }, $true)) {
        $name = Get-VariableName $variable
        if ($name -notin $VariablesOnly7 -or $assigned.Contains($name)) { continue }
        $finding = New-Finding warning PSUseCompatibleSyntax $variable.Extent "$Starts does not set `$$name`: there it reads as `$null, or stops a script under Set-StrictMode" $name
        if (@($versionTests | Where-Object { Test-Within $finding $_ }).Count -gt 0) { continue }
        $inBody = @($otherTests | Where-Object {
                $statement = $_
                @($statement.Clauses | ForEach-Object { $_.Item2 }) + @($statement.ElseClause) |
                    Where-Object { $null -ne $_ -and (Test-Within $finding $_) }
            }).Count -gt 0
        if (-not $inBody) { $finding }
    }
}

# --- What the launcher passes

# [Parameter(ValueFromRemainingArguments)] or = $true; an argument that
# cannot be read as a constant is taken to be true.
function Test-TakesRemainingArguments([ParameterAst] $Parameter) {
    foreach ($attribute in $Parameter.Attributes) {
        if (-not (Test-AttributeOf $attribute ([ParameterAttribute]))) { continue }
        foreach ($named in $attribute.NamedArguments) {
            if ($named.ArgumentName -ne 'ValueFromRemainingArguments') { continue }
            if ($named.ExpressionOmitted) { return $true }
            try { return [bool] $named.Argument.SafeGetValue() } catch { return $true }
        }
    }
    return $false
}

# The names a parameter binds: its own and its aliases.
function Get-ParameterNames([ParameterAst] $Parameter) {
    $Parameter.Name.VariablePath.UserPath
    foreach ($attribute in $Parameter.Attributes) {
        if (Test-AttributeOf $attribute ([AliasAttribute])) {
            foreach ($alias in $attribute.PositionalArguments) { Get-ConstantText $alias }
        }
    }
}

# The launcher passes "-FPS VALUE" to the optimisation script and any
# arguments to the install script. -FPS binds as PowerShell binds it: to
# the parameter so named or aliased, else to the one parameter whose name
# or alias starts with FPS.
function Get-ContractFindings([ScriptBlockAst] $Tree, [string] $Name) {
    $block = $Tree.ParamBlock
    $parameters = @(if ($null -ne $block) { $block.Parameters })
    $advanced = $null -ne $block -and (
        @($block.Attributes | Where-Object { Test-AttributeOf $_ ([CmdletBindingAttribute]) }).Count -gt 0 -or
        @($parameters | ForEach-Object { $_.Attributes } | Where-Object { Test-AttributeOf $_ ([ParameterAttribute]) }).Count -gt 0)
    $remaining = @($parameters | Where-Object { Test-TakesRemainingArguments $_ }).Count -gt 0
    if ($Name -eq 'Install-Yorn-UI.ps1') {
        if ($advanced -and -not $remaining) {
            New-Finding warning Contract $block.Extent 'takes no remaining arguments (a [Parameter(ValueFromRemainingArguments = $true)] parameter), so PowerShell refuses any argument typed after Install-Yorn-UI.exe that names none of its parameters'
        }
        return
    }
    $exact = @($parameters | Where-Object { (Get-ParameterNames $_) -contains 'FPS' })
    $fps = @(if ($exact.Count -gt 0) { $exact } else { $parameters | Where-Object { @(Get-ParameterNames $_) -like "FPS*" } })
    if ($fps.Count -gt 1) {
        $names = @($fps | ForEach-Object { "-$($_.Name.VariablePath.UserPath)" }) -join ' and '
        New-Finding error Contract $block.Extent "has both $names, so PowerShell would refuse the -FPS of ""Install-Yorn-UI.exe --optimize 144"" as ambiguous"
    } elseif ($fps.Count -eq 1 -and $fps[0].StaticType -eq [switch]) {
        New-Finding error Contract $fps[0].Extent "declares -FPS as a switch, which takes no value, so the 144 of ""Install-Yorn-UI.exe --optimize 144"" would not reach it"
    } elseif ($fps.Count -eq 0 -and $advanced -and -not $remaining) {
        New-Finding error Contract $block.Extent 'declares no -FPS parameter and takes no remaining arguments, so PowerShell would refuse "Install-Yorn-UI.exe --optimize 144", which passes -FPS 144'
    }
}

# --- One script

# A script's text as 5.1 reads it: by its byte-order mark, else in the
# user's ANSI code page. A script that is valid UTF-8 is read so (the
# package gives such a script the UTF-8 mark); any other is read as
# Windows-1252, the most common ANSI code page, with a warning.
function Read-Script([string] $Path, [string] $Name) {
    $bytes = [System.IO.File]::ReadAllBytes($Path)
    $encoding = $null
    $preamble = 0
    if ($bytes.Length -ge 3 -and $bytes[0] -eq 0xEF -and $bytes[1] -eq 0xBB -and $bytes[2] -eq 0xBF) { $encoding = [System.Text.UTF8Encoding]::new($false); $preamble = 3 }
    elseif ($bytes.Length -ge 2 -and $bytes[0] -eq 0xFF -and $bytes[1] -eq 0xFE) { $encoding = [System.Text.UnicodeEncoding]::new($false, $false); $preamble = 2 }
    elseif ($bytes.Length -ge 2 -and $bytes[0] -eq 0xFE -and $bytes[1] -eq 0xFF) { $encoding = [System.Text.UnicodeEncoding]::new($true, $false); $preamble = 2 }
    if ($null -ne $encoding) { return @{ Text = $encoding.GetString($bytes, $preamble, $bytes.Length - $preamble) } }
    try {
        return @{ Text = [System.Text.UTF8Encoding]::new($false, $true).GetString($bytes) }
    } catch {
        $at = $_.Exception.InnerException.Index
        $line = 1 + @($bytes[0..($at - 1)] | Where-Object { $_ -eq 10 }).Count
        $column = $at - [Array]::LastIndexOf($bytes, [byte] 10, [Math]::Max(0, $at - 1))
        if ($at -eq 0) { $column = 1 }
        return @{
            Text    = [System.Text.Encoding]::GetEncoding(1252).GetString($bytes)
            Warning = [pscustomobject] @{
                Kind = 'warning'; Rule = 'Encoding'; Line = $line; Column = $column; Offset = 0; Subject = ''; Guardable = $false
                Text = "is not UTF-8, so Windows PowerShell 5.1 reads it in the user's ANSI code page and its meaning depends on that code page (checked here as Windows-1252); save it as UTF-8"
            }
        }
    }
}

# Every finding of one script, sorted by line and column.
function Get-ScriptFindings([string] $Folder, [string] $Name) {
    $read = Read-Script ([System.IO.Path]::Combine($Folder, $Name)) $Name
    $tokens = $null
    $errors = $null
    $tree = [Parser]::ParseInput($read.Text, $Name, [ref] $tokens, [ref] $errors)
    $findings = [List[object]]::new()
    if ($read.Contains('Warning')) { $findings.Add($read.Warning) }
    if ($errors.Count -gt 0) {
        foreach ($problem in $errors) { $findings.Add((New-Finding error Parse $problem.Extent $problem.Message)) }
    } else {
        $defined = New-NameSet @($tree.FindAll({ param($node) $node -is [FunctionDefinitionAst] }, $true) | ForEach-Object { $_.Name })
        $found = @(
            Get-SyntaxFindings $tree $tokens
            foreach ($command in $tree.FindAll({ param($node) $node -is [CommandAst] }, $true)) { Get-CommandFindings $command $defined }
            Get-TypeFindings $tree
            Get-VariableFindings $tree
            Get-ContractFindings $tree $Name
        )
        $guards = @(Get-Guards $tree $GuardVariables)
        $suppressions = @(Get-Suppressions $tree)
        foreach ($finding in $found) {
            if ($finding.Guardable -and @($guards | Where-Object { Test-Within $finding $_ }).Count -gt 0) { continue }
            # The launcher's contract and the parser are not the author's to
            # waive: only the compatibility rules can be silenced.
            $silenced = @($suppressions | Where-Object {
                    $finding.Rule.StartsWith('PSUseCompatible') -and $_.Rule -eq $finding.Rule -and ($_.Subject -eq '' -or $_.Subject -eq $finding.Subject) -and (Test-Within $finding $_.Scope)
                }).Count -gt 0
            if (-not $silenced) { $findings.Add($finding) }
        }
    }
    $findings | Sort-Object Line, Column -Stable
}

Export-ModuleMember -Function Get-ScriptFindings, Format-Finding
