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

function Find-StaticOverloadOnly7($Context) {
    $overloads = $Known.Overloads48
    $resolved = $Context.TypeNames
    foreach ($node in $Context.Nodes[[InvokeMemberExpressionAst]]) {
        if (-not $node.Static -or $node.Expression -isnot [TypeExpressionAst] -or $node.Member -isnot [StringConstantExpressionAst]) { continue }
        $name = $node.Expression.TypeName.FullName
        if ($Context.Classes.Contains($name)) { continue }
        $fullName = $resolved[$name]
        if ($null -eq $fullName -and -not $resolved.ContainsKey($name)) { $fullName = Resolve-TypeName $Context $name }
        if (-not $fullName -or -not $overloads.ContainsKey($fullName)) { continue }
        $method = $node.Member.Value
        $ranges = (Get-Overloads48 $fullName)[$method]
        if ($null -eq $ranges) { continue }
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
