# What only 7's parser reads: 5.1 refuses to parse the whole script, so no
# guard helps. `??`, `??=`, `?.`, `?[]`, `a ? b : c`, `&&` and `||`
# between pipelines, `&` at the end of a pipeline, `|` at the start of a
# line, a `clean {}` block, and type arguments of a method call
# (`[Array]::Empty[int]()`). Each finding's subject is the syntax as
# written there ('??', 'a ? b : c', 'type arguments'), for its fix.
using namespace System.Management.Automation.Language

# Whether this PowerShell's parser records type arguments of a method
# call (7.3 and later); 7.2 reads none.
$HasTypeArguments = $null -ne [InvokeMemberExpressionAst].GetProperty('GenericTypeArguments')

function Find-SyntaxOnly7($Context) {
    $nodes = $Context.Nodes
    $tokens = $Context.Tokens
    $coalesce = [TokenKind]::QuestionQuestion
    $coalesceAssign = [TokenKind]::QuestionQuestionEquals
    foreach ($node in $nodes[[BinaryExpressionAst]]) {
        if ($node.Operator -eq $coalesce) { New-FindingAt $Context SyntaxOnly7 $node.ErrorPosition "$Starts cannot parse ``??``" '??' }
    }
    foreach ($node in $nodes[[AssignmentStatementAst]]) {
        if ($node.Operator -eq $coalesceAssign) { New-FindingAt $Context SyntaxOnly7 $node.ErrorPosition "$Starts cannot parse ``??=``" '??=' }
    }
    foreach ($members in $nodes[[MemberExpressionAst]], $nodes[[InvokeMemberExpressionAst]]) {
        foreach ($node in $members) {
            if ($node.NullConditional) { New-FindingAt $Context SyntaxOnly7 $node.Extent "$Starts cannot parse ``?.``" '?.' }
        }
    }
    if ($HasTypeArguments) {
        foreach ($node in $nodes[[InvokeMemberExpressionAst]]) {
            if ($null -eq $node.GenericTypeArguments -or $node.GenericTypeArguments.Count -eq 0) { continue }
            $arguments = @($node.GenericTypeArguments | ForEach-Object { $_.FullName }) -join ','
            New-FindingAt $Context SyntaxOnly7 $node.Extent "$Starts cannot parse the type arguments of ``$($node.Member.Extent.Text)[$arguments]()``" 'type arguments'
        }
    }
    foreach ($node in $nodes[[IndexExpressionAst]]) {
        if ($node.NullConditional) { New-FindingAt $Context SyntaxOnly7 $node.Extent "$Starts cannot parse ``?[]``" '?[]' }
    }
    foreach ($node in $nodes[[TernaryExpressionAst]]) { New-FindingAt $Context SyntaxOnly7 $node.Extent "$Starts cannot parse ``a ? b : c``" 'a ? b : c' }
    foreach ($node in $nodes[[PipelineChainAst]]) {
        $operator = '||'
        if ("$($node.Operator)" -eq 'AndAnd') { $operator = '&&' }
        New-FindingAt $Context SyntaxOnly7 $node.Extent "$Starts cannot parse ``$operator``" $operator
    }
    # A string, since 7.2 has no Clean block kind.
    foreach ($node in $nodes[[NamedBlockAst]]) {
        if ("$($node.BlockKind)" -eq 'Clean') { New-FindingAt $Context SyntaxOnly7 $node.Extent "$Starts cannot parse ``clean {}``" 'clean {}' }
    }
    foreach ($node in $nodes[[PipelineAst]]) {
        if ($node.Background) {
            for ($i = Find-TokenIndex $tokens $node.Extent.EndOffset; $i -lt $tokens.Count; $i++) {
                if ($tokens[$i].Kind -eq 'Ampersand') {
                    New-FindingAt $Context SyntaxOnly7 $tokens[$i].Extent "$Starts cannot parse ``&`` at the end of a pipeline" '&'
                    break
                }
            }
        }
        $elements = $node.PipelineElements
        for ($e = 1; $e -lt $elements.Count; $e++) {
            # Only a pipeline that goes on over a line break can start a
            # line with its |; a NewLine token before the | tells.
            if ($elements[$e - 1].Extent.EndLineNumber -eq $elements[$e].Extent.StartLineNumber) { continue }
            $newLine = $false
            for ($i = Find-TokenIndex $tokens $elements[$e - 1].Extent.EndOffset; $i -lt $tokens.Count; $i++) {
                $kind = $tokens[$i].Kind
                if ($kind -eq 'NewLine') { $newLine = $true }
                elseif ($kind -eq 'Pipe') {
                    if ($newLine) { New-FindingAt $Context SyntaxOnly7 $tokens[$i].Extent "$Starts cannot parse ``|`` at the start of a line" '|' }
                    break
                }
            }
        }
    }
}
