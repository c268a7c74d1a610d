# A static member ([T]::M(...), [T]::P) that .NET Framework 4.8's type
# lacks; only the name is compared.
using namespace System.Management.Automation.Language

function Find-StaticMemberOnly7($Context) {
    $resolved = $Context.TypeNames
    foreach ($nodes in $Context.Nodes[[MemberExpressionAst]], $Context.Nodes[[InvokeMemberExpressionAst]]) {
      foreach ($node in $nodes) {
        if (-not $node.Static -or $node.Expression -isnot [TypeExpressionAst] -or $node.Member -isnot [StringConstantExpressionAst]) { continue }
        $typeName = $node.Expression.TypeName
        $name = $typeName.FullName
        if ($typeName -isnot [TypeName]) { $name = @(Get-PlainTypeNames $typeName)[0] }
        if ($Context.Classes.Contains($name)) { continue }
        $fullName = $resolved[$name]
        if ($null -eq $fullName -and -not $resolved.ContainsKey($name)) { $fullName = Resolve-TypeName $Context $name }
        $member = $node.Member.Value
        if ($fullName -and $Known.MembersOnly7.ContainsKey($fullName) -and (Test-MemberOnly7 $fullName $member)) {
            New-FindingAt $Context StaticMemberOnly7 $node.Member.Extent "$Framework has no static member $member on $fullName" $member
        }
      }
    }
}
