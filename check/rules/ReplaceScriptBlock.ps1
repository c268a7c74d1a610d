# -replace with a script block: 7 calls the block for each match, 5.1
# turns the block into its text and replaces with that.
using namespace System.Management.Automation.Language

function Find-ReplaceScriptBlock($Context) {
    foreach ($node in $Context.Nodes[[BinaryExpressionAst]]) {
        $operator = "$($node.Operator)"
        if ($operator -ne 'Ireplace' -and $operator -ne 'Creplace') { continue }
        $operands = $node.Right
        if ($operands -is [ArrayLiteralAst] -and $operands.Elements.Count -eq 2 -and $operands.Elements[1] -is [ScriptBlockExpressionAst]) {
            New-FindingAt $Context ReplaceScriptBlock $node.ErrorPosition "$Starts does not call a script block given to -replace: it replaces with the block's text"
        }
    }
}
