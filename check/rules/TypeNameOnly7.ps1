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

function Find-TypeNameOnly7($Context) {
    $verdicts = @{}
    foreach ($nodes in $Context.Nodes[[TypeExpressionAst]], $Context.Nodes[[TypeConstraintAst]], $Context.Nodes[[AttributeAst]]) {
        foreach ($node in $nodes) {
            $attribute = $node -is [AttributeAst]
            $typeName = $node.TypeName
            $names = $typeName.FullName
            if ($typeName -isnot [TypeName]) { $names = Get-PlainTypeNames $typeName }
            foreach ($name in $names) {
                if ($Context.Classes.Contains($name)) { continue }
                $key = "$attribute $name"
                if (-not $verdicts.ContainsKey($key)) { $verdicts[$key] = Get-TypeNameVerdict $Context $name $attribute }
                $verdict = $verdicts[$key]
                if ($null -eq $verdict) { continue }
                # 5.1's parser reads [ordered] before a hashtable itself.
                if ($name -eq 'ordered' -and $node.Parent -is [ConvertExpressionAst] -and $node.Parent.Child -is [HashtableAst]) { continue }
                New-FindingAt $Context TypeNameOnly7 $node.Extent $verdict.Message $verdict.Subject
            }
        }
    }
}
