# A type name that only PowerShell 7 resolves, in a type literal, a cast,
# a constraint or an attribute: one of 7's accelerators that 5.1 lacks
# ([semver], [uint], [ushort], [ulong], [short], [ValidateNotNullOrWhiteSpace()],
# [ArgumentCompletions()]), a type that 7 added to PowerShell itself
# (PowerShellTypesOnly7), or one of an assembly that only 7 ships
# ([Newtonsoft.Json.JsonConvert]). 5.1 stops with "Unable to find type".
# Resolved through the data alone. Passed: the script's own classes and
# enums, 5.1's accelerators ([wmiclass], [adsi]), `[ordered]` before a
# hashtable (the parser's own form in 5.1), and a type of 7's assemblies
# where the script loads assemblies or modules that the check cannot
# name (Add-Type -Path, Import-Module), which may bring it.
using namespace System.Management.Automation.Language

# What 5.1 makes of a name as written: @{ Message; Subject }, or $null
# when it resolves it or the check cannot tell.
function Get-TypeNameVerdict($Context, [string] $Name, [bool] $Attribute) {
    $typesOnly7 = Get-GeneratedTable 'PowerShellTypesOnly7'
    $what = if ($Attribute) { "attribute [$Name()]" } else { "type [$Name]" }
    $full = $Known.Accelerators[$Name]
    if ($null -ne $full -and -not $Known.Accelerators51.ContainsKey($Name)) {
        $added = ''
        if ($null -ne $typesOnly7 -and $typesOnly7.ContainsKey($full)) { $added = ", which PowerShell $($typesOnly7[$full]) added" }
        return @{ Message = "$Starts has no $what`: it is PowerShell 7's short name for $full$added"; Subject = $Name }
    }
    $candidates = @($Name)
    if ($Attribute) { $candidates += "${Name}Attribute" }
    foreach ($candidate in $candidates) {
        $full = Resolve-TypeName $Context $candidate
        if (-not $full) { continue }
        if ($null -ne $typesOnly7 -and $typesOnly7.ContainsKey($full)) {
            return @{ Message = "$Starts has no $what`: it is $full, which PowerShell $($typesOnly7[$full]) added"; Subject = $full }
        }
        $assembly = Get-AssemblyOnly7 $full
        if ($assembly -and -not $Context.Assemblies.Contains($assembly) -and -not $Context.LoadsUnnamed -and $Context.Modules.Count -eq 0) {
            return @{ Message = "$Starts has no $what`: $(if ($full -ne $Name) { "it is $full, which " } else { 'it ' })comes with $assembly, an assembly that PowerShell 7 ships and .NET Framework 4.8 lacks"; Subject = $assembly }
        }
    }
    $null
}

# The verdicts of a type name as written, an attribute's or not: one for
# each of its plain names (an array's element, a generic and each of its
# arguments) that 5.1 does not resolve, each with that Name; none for most.
function Get-TypeNameVerdicts($Context, [ITypeName] $TypeName, [bool] $Attribute) {
    $names = $TypeName.FullName
    if ($TypeName -isnot [TypeName]) { $names = Get-PlainTypeNames $TypeName }
    , [object[]] @(foreach ($name in $names) {
        if ($Context.Classes.Contains($name)) { continue }
        $verdict = Get-TypeNameVerdict $Context $name $Attribute
        if ($null -ne $verdict) { $verdict.Name = $name; $verdict }
    })
}

function Find-TypeNameOnly7($Context) {
    # Worked out once for each name as written: a script writes the same
    # few types thousands of times.
    $verdictsOf = @{}
    $accelerators51 = $Known.Accelerators51
    $none = [object[]] @()
    foreach ($nodes in $Context.Nodes[[TypeExpressionAst]], $Context.Nodes[[TypeConstraintAst]], $Context.Nodes[[AttributeAst]]) {
        foreach ($node in $nodes) {
            $attribute = $node -is [AttributeAst]
            $key = "$attribute $($node.TypeName.FullName)"
            $verdicts = $verdictsOf[$key]
            if ($null -eq $verdicts) {
                # 5.1's own accelerators ([int], [string[]], [CmdletBinding()]),
                # most of what a script writes, are 5.1's.
                $plain = $node.TypeName
                if ($plain -is [ArrayTypeName]) { $plain = $plain.ElementType }
                if ($plain -is [TypeName] -and $accelerators51.ContainsKey($plain.Name)) { $verdicts = $verdictsOf[$key] = $none }
                else { $verdicts = $verdictsOf[$key] = Get-TypeNameVerdicts $Context $node.TypeName $attribute }
            }
            if ($verdicts.Count -eq 0) { continue }
            foreach ($verdict in $verdicts) {
                # 5.1's parser reads [ordered] before a hashtable itself.
                if ($verdict.Name -eq 'ordered' -and $node.Parent -is [ConvertExpressionAst] -and $node.Parent.Child -is [HashtableAst]) { continue }
                New-FindingAt $Context TypeNameOnly7 $node.Extent $verdict.Message $verdict.Subject
            }
        }
    }
}
