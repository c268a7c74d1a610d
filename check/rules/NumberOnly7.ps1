# Numbers that only 7 reads: binary literals (0b101) and the suffixes u,
# ul, y, uy, s, us and n. 5.1 reads such a literal as a word, so in an
# expression it is a command name or a parse error, and no guard is sure
# to help. As a command's argument it is NumberWord's.
using namespace System.Management.Automation.Language

function Find-NumberOnly7($Context) {
    foreach ($node in Get-NumbersOnly7 $Context) {
        if ($null -ne (Get-ArgumentCommand $node)) { continue }
        New-FindingAt $Context NumberOnly7 $node.Extent "$Starts does not read ``$($node.Extent.Text)`` as a number" (Get-NumberKind $node)
    }
}
