# Small questions about nodes of the tree and the tokens, shared by the
# walk, the guards and the rules.
using namespace System.Management.Automation.Language

# The string a constant argument holds, or $null.
function Get-ConstantText([Ast] $Node) {
    if ($Node -is [StringConstantExpressionAst]) { return $Node.Value }
    if ($Node -is [ExpandableStringExpressionAst] -and $Node.NestedExpressions.Count -eq 0) { return $Node.Value }
    if ($Node -is [ConstantExpressionAst] -and $null -ne $Node.Value) { return "$($Node.Value)" }
    return $null
}

# The constant strings of an argument: one, or the elements of a list.
function Get-ConstantTexts([Ast] $Node) {
    if ($Node -is [ArrayLiteralAst]) {
        foreach ($element in $Node.Elements) { Get-ConstantText $element }
        return
    }
    Get-ConstantText $Node
}

# A variable's name without its scope (global:, script:, ...); '' for a
# drive's item such as env:PATH.
function Get-VariableName([VariableExpressionAst] $Variable) {
    if (-not $Variable.VariablePath.IsVariable) { return '' }
    $path = $Variable.VariablePath.UserPath
    $colon = $path.IndexOf(':')
    if ($colon -lt 0) { return $path }
    $path.Substring($colon + 1)
}

# The argument a named parameter takes: -Name:value, or the next element.
function Get-ParameterArgument([CommandAst] $Command, [int] $Index) {
    $parameter = $Command.CommandElements[$Index]
    if ($null -ne $parameter.Argument) { return $parameter.Argument }
    if ($Index + 1 -lt $Command.CommandElements.Count -and $Command.CommandElements[$Index + 1] -isnot [CommandParameterAst]) {
        return $Command.CommandElements[$Index + 1]
    }
}

# The arguments of a call as written: Named (parameter as spelled ->
# argument node, or $null for a switch) and Positional (nodes in order).
# A splat makes both unsure: Splatted is then set.
function Get-CallArguments([CommandAst] $Command) {
    $named = [System.Collections.Generic.Dictionary[string, object]]::new([StringComparer]::OrdinalIgnoreCase)
    $positional = [System.Collections.Generic.List[Ast]]::new()
    $splatted = $false
    $elements = $Command.CommandElements
    for ($i = 1; $i -lt $elements.Count; $i++) {
        $element = $elements[$i]
        if ($element -is [CommandParameterAst]) {
            if ($null -ne $element.Argument) {
                $named[$element.ParameterName] = $element.Argument
            } elseif ($i + 1 -lt $elements.Count -and $elements[$i + 1] -isnot [CommandParameterAst]) {
                # Without the command's parameter types a switch cannot be
                # told from a parameter that takes the next element; the
                # callers only ask about parameters that take a value.
                $named[$element.ParameterName] = $elements[$i + 1]
                $i++
            } else {
                $named[$element.ParameterName] = $null
            }
        } elseif ($element -is [VariableExpressionAst] -and $element.Splatted) {
            $splatted = $true
        } else {
            $positional.Add($element)
        }
    }
    @{ Named = $named; Positional = $positional; Splatted = $splatted }
}

# The argument of the first parameter named in $Names (each a full name
# a unique start of which may be written), else the positional one at
# $Position; $null when neither.
function Get-NamedOrPositional($Arguments, [string[]] $Names, [int] $Position = -1) {
    foreach ($written in $Arguments.Named.Keys) {
        foreach ($name in $Names) {
            if ($name.StartsWith($written, [StringComparison]::OrdinalIgnoreCase)) { return $Arguments.Named[$written] }
        }
    }
    if ($Position -ge 0 -and $Position -lt $Arguments.Positional.Count) { return $Arguments.Positional[$Position] }
}

# Whether a type name as written (in an attribute, a catch, a cast) stands
# for $FullName: an accelerator, the name with or without Attribute, with
# System. in front, or under one of the script's using namespaces.
function Test-TypeNameIs([string] $Written, [string] $FullName, [string[]] $Namespaces) {
    if ($Known.Accelerators.ContainsKey($Written) -and $Known.Accelerators[$Written] -eq $FullName) { return $true }
    foreach ($name in $Written, "${Written}Attribute") {
        if ([string]::Equals($name, $FullName, [StringComparison]::OrdinalIgnoreCase) -or
            [string]::Equals("System.$name", $FullName, [StringComparison]::OrdinalIgnoreCase)) { return $true }
        foreach ($namespace in $Namespaces) {
            if ([string]::Equals("$namespace.$name", $FullName, [StringComparison]::OrdinalIgnoreCase)) { return $true }
        }
    }
    return $false
}

function Test-AttributeIs([AttributeBaseAst] $Attribute, [string] $FullName, [string[]] $Namespaces) {
    $Attribute -is [AttributeAst] -and (Test-TypeNameIs $Attribute.TypeName.FullName $FullName $Namespaces)
}

# The index of the first token that starts at or after $Offset (tokens are
# in the order of the text).
function Find-TokenIndex([Token[]] $Tokens, [int] $Offset) {
    $low = 0
    $high = $Tokens.Count
    while ($low -lt $high) {
        $middle = [int] [Math]::Floor(($low + $high) / 2)
        if ($Tokens[$middle].Extent.StartOffset -lt $Offset) { $low = $middle + 1 } else { $high = $middle }
    }
    $low
}

# The literals of the script that 7 reads as numbers and 5.1 as words,
# found once for both rules.
function Get-NumbersOnly7($Context) {
    if ($Context.Memo.ContainsKey('NumbersOnly7')) { return $Context.Memo.NumbersOnly7 }
    $found = [System.Collections.Generic.List[Ast]]::new()
    $text = $Context.Text
    foreach ($node in $Context.Nodes[[ConstantExpressionAst]]) {
        $value = $node.Value
        if ($null -eq $value) { continue }
        if (-not $Known.NumberTypesOnly7.Contains($value.GetType().FullName)) {
            $at = $node.Extent.StartOffset
            if ($text[$at] -eq '-' -or $text[$at] -eq '+') { $at++ }
            if ($at + 1 -ge $text.Length -or $text[$at] -ne '0' -or $text[$at + 1] -ne 'b') { continue }
        }
        $found.Add($node)
    }
    $Context.Memo.NumbersOnly7 = $found
    $found
}

# What makes a number of Get-NumbersOnly7 one that only 7 reads: its
# type, for a suffix (System.UInt32 for 1u), else 'binary' (0b101).
function Get-NumberKind([Ast] $Node) {
    $type = $Node.Value.GetType().FullName
    if ($Known.NumberTypesOnly7.Contains($type)) { return $type }
    'binary'
}

# The command a constant is an argument of, or $null.
function Get-ArgumentCommand([Ast] $Node) {
    $parent = $Node.Parent
    if ($parent -is [CommandParameterAst]) { $parent = $parent.Parent }
    if ($parent -is [CommandAst] -and $parent.CommandElements[0] -ne $Node) { return $parent }
}
