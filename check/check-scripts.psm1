# The author's check (check-scripts.ps1): what a script that PowerShell 7
# runs can hold that Windows PowerShell 5.1, which the launcher always
# starts, cannot parse or run.
#
# engine/ holds the shared parts: the data (Data.ps1: the generated
# compatibility/windows-powershell-5.1.json and the check's own
# check-data.json, read once here), findings (Findings.ps1), reading a
# file as 5.1 reads it (ReadScript.ps1) and parsing it as 5.1 parses it
# (Parse.ps1), the one walk that gives the rules their context
# (Context.ps1), which branches 5.1 takes (Guards.ps1), names of
# commands, parameters and types (Names.ps1, Nodes.ps1), the launcher's
# contract (Contract.ps1), the checking of one file (Check.ps1), and the
# report in each form (Report.ps1). rules/ holds one rule a file: NAME.ps1
# defines Find-NAME, which takes the context and gives findings
# (New-FindingAt, which leaves out what the context excuses), and
# check-data.json's Rules names its severity, what may excuse it, and how
# to write the code for 5.1. A new rule takes the nodes it looks at from
# $Context.Nodes[[TYPE]], the script's definitions from the context
# (Functions, Aliases, Modules, Get-KnownCalls, Get-WrittenTypes, ...),
# and the data from $Known, or Get-GeneratedTable NAME for a table of the
# generated data that Read-CheckData does not shape.
#
# A finding is refused only when the check is sure: something 7.6 has and
# 5.1 does not, in code that 5.1 runs. A name that neither side knows is
# left alone, and so is code that 5.1 does not reach or where the check
# cannot tell. An author silences a rule in a script or a function with
# [Diagnostics.CodeAnalysis.SuppressMessageAttribute('RULE', '')] on its
# param() block, RULE being the rule's name or PSScriptAnalyzer's
# (PSUseCompatibleCommands, ...); a second argument other than '' silences
# only findings about that name.
Set-StrictMode -Version Latest
$ErrorActionPreference = 'Stop'

# .NET's own file calls rather than cmdlets: the first call of a cmdlet
# costs more at start than all of this.
foreach ($part in 'Data', 'Findings', 'Nodes', 'Names', 'ReadScript', 'Parse', 'Context', 'Guards', 'Contract', 'Check', 'Report') {
    . ([System.IO.Path]::Combine($PSScriptRoot, 'engine', "$part.ps1"))
}
$Known = Read-CheckData $PSScriptRoot

$ruleFiles = [System.IO.Directory]::GetFiles([System.IO.Path]::Combine($PSScriptRoot, 'rules'), '*.ps1')
[Array]::Sort($ruleFiles, [StringComparer]::Ordinal)
$CheckRules = foreach ($file in $ruleFiles) {
    . $file
    $rule = [System.IO.Path]::GetFileNameWithoutExtension($file)
    if (-not $Known.Rules.ContainsKey($rule)) { throw "check-data.json names no rule $rule, which $file defines" }
    "Find-$rule"
}

Export-ModuleMember -Function Get-FileFindings, Get-ScriptFindings, Format-Finding, Format-GitHubFinding, ConvertTo-SarifLog
