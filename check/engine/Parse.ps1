# The script's tree, read as 5.1 reads it. PowerShell 7.6 on Linux is the
# parser here, and it refuses a few things that 5.1 reads: a workflow, a
# module or an assembly that `using` loads and this machine lacks, a type
# of 5.1 (such as [wmiclass]) inside a class, a DSC Configuration. Those
# errors are told apart by the parser's error ids (check-data.json's
# ParseErrorsOf7), never by their text. What the check then cannot read
# is named in one "not checked" warning each, and the rest is checked.
using namespace System.Collections.Generic
using namespace System.Management.Automation.Language

# A Configuration makes 7 on Linux look for DSC's schema store, fail, and
# leave the block unread. Each one is blanked out (spaces, line breaks
# kept, so that every other position stays) and the text parsed again.
function Hide-Configurations([string] $Text, [Token[]] $Tokens, [string] $Name, [List[object]] $Findings) {
    $chars = $Text.ToCharArray()
    for ($i = 0; $i -lt $Tokens.Count; $i++) {
        if ($Tokens[$i].Kind -ne 'Configuration') { continue }
        $keyword = $Tokens[$i]
        $depth = 0
        $end = $keyword.Extent.EndOffset
        for ($j = $i + 1; $j -lt $Tokens.Count; $j++) {
            $kind = $Tokens[$j].Kind
            if ($kind -eq 'LCurly' -or $kind -eq 'AtCurly') { $depth++ }
            elseif ($kind -eq 'RCurly') {
                $depth--
                if ($depth -eq 0) { $end = $Tokens[$j].Extent.EndOffset; break }
            }
        }
        $configuration = if ($i + 1 -lt $Tokens.Count) { $Tokens[$i + 1].Text } else { '' }
        for ($k = $keyword.Extent.StartOffset; $k -lt $end; $k++) {
            if ($chars[$k] -ne "`r" -and $chars[$k] -ne "`n") { $chars[$k] = ' ' }
        }
        $Findings.Add((New-Finding $Name NotChecked $keyword.Extent.StartLineNumber $keyword.Extent.StartColumnNumber $keyword.Extent.StartOffset "not checked: Configuration $configuration, a DSC configuration, which PowerShell 7 on Linux cannot read; the rest of the script is checked"))
        $i = $j
    }
    [string]::new($chars)
}

function Test-HasConfiguration([Token[]] $Tokens) {
    foreach ($token in $Tokens) {
        if ($token.Kind -eq 'Configuration') { return $true }
    }
    return $false
}

# The using statement that a parse error points into.
function Find-UsingStatement([ScriptBlockAst] $Tree, [IScriptExtent] $At) {
    foreach ($statement in $Tree.UsingStatements) {
        if ($statement.Extent.StartOffset -le $At.StartOffset -and $At.StartOffset -lt $statement.Extent.EndOffset) { return $statement }
    }
}

# The name an assembly goes by: "System.Windows.Forms" for the display
# name with version and key, or for a path to the .dll.
function Get-AssemblyShortName([string] $Written) {
    $name = $Written.Split(',')[0].Trim()
    if ($name.EndsWith('.dll', [StringComparison]::OrdinalIgnoreCase)) { $name = [System.IO.Path]::GetFileNameWithoutExtension($name.Replace('\', '/')) }
    $name
}

# Whether 5.1 resolves a type name that 7 here could not, in a class: one
# of its own accelerators, or a type of an assembly the script loads with
# using assembly.
function Test-ClassType51([ScriptBlockAst] $Tree, [string] $Written) {
    if ($Known.Accelerators51.ContainsKey($Written)) { return $true }
    $loaded = New-NameSet @($Tree.UsingStatements | Where-Object { "$($_.UsingStatementKind)" -eq 'Assembly' } | ForEach-Object { Get-AssemblyShortName $_.Name.Value })
    $namespaces = @($Tree.UsingStatements | Where-Object { "$($_.UsingStatementKind)" -eq 'Namespace' } | ForEach-Object { $_.Name.Value })
    foreach ($candidate in @($Written, "System.$Written") + @($namespaces | ForEach-Object { "$_.$Written" })) {
        $assembly = Get-NotLoadedAssembly $candidate
        if ($assembly -and $loaded.Contains($assembly)) { return $true }
    }
    return $false
}

# @{ Tree; Tokens; Text; Findings; Readable }: Readable is false when the
# script has parse errors that 5.1 would give too; those are the findings
# then, and the rules do not run on a tree that the parser gave up on.
function Read-ScriptTree([string] $Text, [string] $Name) {
    $findings = [List[object]]::new()
    $tokens = $null
    $errors = $null
    $tree = [Parser]::ParseInput($Text, $Name, [ref] $tokens, [ref] $errors)
    if ($errors.Count -gt 0 -and (Test-HasConfiguration $tokens)) {
        $Text = Hide-Configurations $Text $tokens $Name $findings
        $tree = [Parser]::ParseInput($Text, $Name, [ref] $tokens, [ref] $errors)
    }
    $readable = $true
    foreach ($problem in $errors) {
        $at = $problem.Extent
        $kind = $Known.ParseErrorsOf7[$problem.ErrorId]
        $message = $null
        if ($kind -eq 'Workflow') {
            $workflow = $tree.Find({ param($node) $node -is [FunctionDefinitionAst] -and $node.IsWorkflow -and $node.Extent.StartOffset -eq $at.StartOffset }, $true)
            $message = "not checked: workflow $(if ($workflow) { $workflow.Name }), which PowerShell 7 cannot read; the rest of the script is checked"
        } elseif ($kind -eq 'UsingModule') {
            $statement = Find-UsingStatement $tree $at
            $module = if ($null -ne $statement.ModuleSpecification) { $statement.ModuleSpecification.Name } else { $statement.Name.Value }
            if ($Known.Modules51.Contains($module)) { continue }
            $message = "not checked: module $module, which ``using module`` loads: Windows PowerShell 5.1 does not ship it and it is not here, so the check cannot read its classes; 5.1 stops before the script starts where it is not installed"
        } elseif ($kind -eq 'UsingAssembly') {
            $statement = Find-UsingStatement $tree $at
            $assembly = Get-AssemblyShortName $statement.Name.Value
            if ($Known.Assemblies51.Contains($assembly)) { continue }
            $message = "not checked: assembly $($statement.Name.Value), which ``using assembly`` loads and the check does not know"
        } elseif ($kind -eq 'ClassType') {
            if (Test-ClassType51 $tree $at.Text) { continue }
            $message = "not checked: type [$($at.Text)], which neither PowerShell 7 here nor the check knows"
        }
        if ($null -ne $message) {
            $findings.Add((New-Finding $Name NotChecked $at.StartLineNumber $at.StartColumnNumber $at.StartOffset $message))
        } else {
            $readable = $false
            $findings.Add((New-Finding $Name Parse $at.StartLineNumber $at.StartColumnNumber $at.StartOffset $problem.Message))
        }
    }
    @{ Tree = $tree; Tokens = $tokens; Text = $Text; Findings = $findings; Readable = $readable }
}
