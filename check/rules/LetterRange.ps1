# A range of letters ('a'..'z', [char]'a'..[char]'z'): 7 counts letters,
# 5.1 takes both ends for numbers, so it fails on 'a' and counts 97..122
# for [char]'a'. A range of digits written as strings ('1'..'9') gives
# numbers in both.
using namespace System.Management.Automation.Language

# Whether one end of a range is a letter to 7.
function Test-LetterEnd([Ast] $End) {
    if ($End -is [StringConstantExpressionAst]) { return $End.Value.Length -eq 1 -and -not [char]::IsDigit($End.Value[0]) }
    $End -is [ConvertExpressionAst] -and (Test-TypeNameIs $End.Type.TypeName.FullName 'System.Char' @())
}

function Find-LetterRange($Context) {
    foreach ($node in $Context.Nodes[[BinaryExpressionAst]]) {
        if ("$($node.Operator)" -ne 'DotDot') { continue }
        if ((Test-LetterEnd $node.Left) -or (Test-LetterEnd $node.Right)) {
            New-FindingAt $Context LetterRange $node.Extent "$Starts has no ranges of letters: it takes both ends of ``$($node.Extent.Text)`` for numbers"
        }
    }
}
