# The escapes `e and `u{...}, which 5.1 reads as the letter: in a
# double-quoted string or here-string and in a bare word, where 7 reads
# escapes. Escapes are case-sensitive (`E is the letter E in both). A
# single-quoted string holds no escapes, and the strings inside a $( ) of
# a double-quoted string are nodes of their own, so the text of each
# nested expression is skipped here.
using namespace System.Management.Automation.Language

# The first escape that only 7 knows in [$Start, $End) of the text, outside
# the nested expressions: 'e', 'u', or $null.
function Find-NewerEscape([string] $Text, [int] $Start, [int] $End, $Nested) {
    $at = $Start
    while ($at -lt $End) {
        $at = $Text.IndexOf([char] '`', $at, $End - $at)
        if ($at -lt 0) { return $null }
        $inside = $null
        foreach ($expression in $Nested) {
            if ($expression.Extent.StartOffset -le $at -and $at -lt $expression.Extent.EndOffset) { $inside = $expression }
        }
        if ($null -ne $inside) { $at = $inside.Extent.EndOffset; continue }
        if ($at + 1 -ge $End) { return $null }
        $escaped = $Text[$at + 1]
        if ($escaped -ceq 'e') { return 'e' }
        if ($escaped -ceq 'u' -and $at + 2 -lt $End -and $Text[$at + 2] -eq '{') { return 'u' }
        $at += 2
    }
    $null
}

function Find-EscapeOnly7($Context) {
    $text = $Context.Text
    # Where the text holds a backtick before e or u at all, found in .NET:
    # most scripts hold none, and only the strings around these places are
    # read (each from its start, so that `` pairs as PowerShell pairs it).
    $places = [System.Collections.Generic.List[int]]::new()
    for ($at = $text.IndexOf([char] '`'); $at -ge 0 -and $at + 1 -lt $text.Length; $at = $text.IndexOf([char] '`', $at + 1)) {
        $escaped = $text[$at + 1]
        if ($escaped -ceq 'e' -or $escaped -ceq 'u') { $places.Add($at) }
    }
    if ($places.Count -eq 0) { return }
    $places = $places.ToArray()
    $none = @()
    foreach ($nodes in $Context.Nodes[[StringConstantExpressionAst]], $Context.Nodes[[ExpandableStringExpressionAst]]) {
        foreach ($node in $nodes) {
            $extent = $node.Extent
            $first = [Array]::BinarySearch($places, $extent.StartOffset)
            if ($first -lt 0) { $first = -bnot $first }
            if ($first -ge $places.Length -or $places[$first] -ge $extent.EndOffset) { continue }
            $nested = $none
            if ($node -is [StringConstantExpressionAst]) {
                $kind = "$($node.StringConstantType)"
                if ($kind -ne 'DoubleQuoted' -and $kind -ne 'DoubleQuotedHereString' -and $kind -ne 'BareWord') { continue }
            } else {
                $nested = $node.NestedExpressions
            }
            $escape = Find-NewerEscape $text $extent.StartOffset $extent.EndOffset $nested
            if ($escape) { New-FindingAt $Context EscapeOnly7 $extent "$Starts knows no escape ``$escape in a string and reads it as the letter $escape" $escape }
        }
    }
}
