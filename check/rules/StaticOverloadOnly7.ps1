# A static method of both .NET Framework 4.8 and .NET 10 called with a
# number of arguments that no overload of 4.8 takes ([IO.File]::Move($a,
# $b, $true)): 5.1 stops with "Cannot find an overload". Only the methods
# of StaticOverloads48 are compared, on the type that declares them
# ([Enum]::Parse, not [DayOfWeek]::Parse); any other passes. A method
# call's arguments are always counted as written: nothing expands there.
using namespace System.Management.Automation.Language

# "2", "2 or 3", "2 or 4", "1 to 4", "2 or more": the counts of 4.8's
# overloads, each [least, most] (most $null: a params array).
function Format-ArgumentCounts([object[]] $Ranges) {
    $counts = foreach ($range in $Ranges) {
        $least = [int] $range[0]
        if ($null -eq $range[1]) { "$least or more" }
        elseif ([int] $range[1] -eq $least) { "$least" }
        elseif ([int] $range[1] -eq $least + 1) { "$least or $($least + 1)" }
        else { "$least to $([int] $range[1])" }
    }
    @($counts) -join ' or '
}

# What 4.8 has of TYPE::METHOD as written: @{ FullName; Ranges }, or
# $false where its overloads are not compared (the script's own class, a
# type or method that StaticOverloads48 does not list).
function Get-MethodOverloads48($Context, [string] $Type, [string] $Method) {
    if ($Context.Classes.Contains($Type)) { return $false }
    $fullName = Resolve-TypeName $Context $Type
    if (-not $fullName -or -not $Known.Overloads48.ContainsKey($fullName)) { return $false }
    $ranges = (Get-Overloads48 $fullName)[$Method]
    if ($null -eq $ranges) { return $false }
    @{ FullName = $fullName; Ranges = $ranges }
}

function Find-StaticOverloadOnly7($Context) {
    # Worked out once for each method as written.
    $methods = @{}
    foreach ($node in $Context.Nodes[[InvokeMemberExpressionAst]]) {
        if (-not $node.Static) { continue }
        $expression = $node.Expression
        $member = $node.Member
        if ($expression -isnot [TypeExpressionAst] -or $member -isnot [StringConstantExpressionAst]) { continue }
        $key = "$($expression.TypeName.FullName)::$($member.Value)"
        $entry = $methods[$key]
        if ($null -eq $entry) { $entry = $methods[$key] = Get-MethodOverloads48 $Context $expression.TypeName.FullName $member.Value }
        if (-not $entry) { continue }
        $fullName = $entry.FullName
        $method = $member.Value
        $ranges = $entry.Ranges
        $count = 0
        if ($null -ne $node.Arguments) { $count = $node.Arguments.Count }
        $taken = $false
        foreach ($range in $ranges) {
            if ($count -ge [int] $range[0] -and ($null -eq $range[1] -or $count -le [int] $range[1])) { $taken = $true; break }
        }
        if ($taken) { continue }
        $arguments = "$count arguments"
        if ($count -eq 1) { $arguments = 'one argument' } elseif ($count -eq 0) { $arguments = 'no arguments' }
        New-FindingAt $Context StaticOverloadOnly7 $node.Member.Extent "$Framework has no overload of ${fullName}::$method that takes $arguments`: it takes $(Format-ArgumentCounts $ranges)" "${fullName}::$method"
    }
}
