<#
    The author's check's docs against its data: in docs/package-authors.md,
    the table of what the check refuses and warns of (a row or more a rule,
    each with an example of what the check says, and in its last column the
    rule's fix) and the table of what to write instead, by what a finding
    names; both from check/check-data.json, as the check reads it. And the
    VS Code task there: its problem matchers must read the lines the check
    prints (a finding, with its file, line, column, severity, message and
    rule, by the first; its note by the second).
        pwsh -NoProfile -File check-docs.ps1 [-Write]
    Exit 1, saying where, when the docs differ from the data. -Write writes
    the fixes into the docs instead (a row that lacks its last column gets
    it); what only a person can mend still fails: a rule with no row, a row
    of no rule or under the wrong severity, an example that is not the
    rule's.
#>
param([switch] $Write)
Set-StrictMode -Version Latest
$ErrorActionPreference = 'Stop'
$project = Join-Path $PSScriptRoot '../..'
Import-Module (Join-Path $project 'check/check-scripts.psm1')
$known = & (Get-Module check-scripts) { $Known }
$docsPath = Join-Path $project 'docs/package-authors.md'
$lines = [System.Collections.Generic.List[string]] [System.IO.File]::ReadAllLines($docsPath)

$Header = '| What | Rule | What the check says (a real example) | Write instead |'
$FixesStart = '<!-- The rows below come from check/check-data.json: tests/powershell/check-docs.ps1 -Write writes them. -->'
$FixesHeader = '| Rule | For | Write instead |'
$Anchor = '#what-to-write-instead'
$problems = [System.Collections.Generic.List[string]]::new()

# Names in ordinal order, the same on every machine.
function Get-Sorted($Names) {
    $sorted = [string[]] @($Names)
    [Array]::Sort($sorted, [StringComparer]::Ordinal)
    $sorted
}

# A table cell's text: a | is \| there, in code as well.
function ConvertTo-Cell([string] $Text) { $Text.Replace('|', '\|') }

# A row's cells, split at the | that are not \|.
function Split-Row([string] $Line) {
    $cells = [System.Collections.Generic.List[string]]::new()
    $cell = [System.Text.StringBuilder]::new()
    for ($i = 1; $i -lt $Line.Length; $i++) {
        $char = $Line[$i]
        if ($char -eq '\' -and $i + 1 -lt $Line.Length -and $Line[$i + 1] -eq '|') { [void] $cell.Append('\|'); $i++; continue }
        if ($char -eq '|') { $cells.Add($cell.ToString().Trim()); [void] $cell.Clear(); continue }
        [void] $cell.Append($char)
    }
    if ($cell.ToString().Trim()) { $cells.Add($cell.ToString().Trim()) }
    , $cells
}

# The last column of a rule's rows: its fix, and a link to the fixes by
# what a finding names where it has them.
function Get-FixCell($Properties) {
    $fix = $Properties['Fix']
    $byName = $null -ne $Properties['Fixes']
    if ($fix -and $byName) { return "$(ConvertTo-Cell $fix); for some, [below]($Anchor)" }
    if ($fix) { return ConvertTo-Cell $fix }
    if ($byName) { return "[for each, below]($Anchor)" }
    '(none)'
}

# The rules' table.
$at = $lines.IndexOf($Header)
if ($at -lt 0) { throw "docs/package-authors.md has no table headed $Header" }
$severity = 'error'
$seen = New-Object 'System.Collections.Generic.HashSet[string]'
for ($i = $at + 2; $i -lt $lines.Count -and $lines[$i].StartsWith('|'); $i++) {
    $cells = Split-Row $lines[$i]
    $where = "docs/package-authors.md:$($i + 1)"
    if ($cells[0] -eq '**Warnings**') { $severity = 'warning'; continue }
    $rule = $cells[1].Trim('`')
    if ($cells.Count -lt 3 -or -not $known.Rules.ContainsKey($rule)) { $problems.Add("${where}: a row of no rule that check-data.json knows: $($cells[1])"); continue }
    [void] $seen.Add($rule)
    $properties = $known.Rules[$rule]
    if ($properties.Severity -ne $severity) { $problems.Add("${where}: $rule is a $($properties.Severity) in check-data.json, but its row is among the ${severity}s") }
    # The example is the code span that starts the cell.
    $ticks = $cells[2].Length - $cells[2].TrimStart('`').Length
    $close = if ($ticks -gt 0) { $cells[2].IndexOf(('`' * $ticks), $ticks) } else { -1 }
    $example = if ($close -gt 0) { $cells[2].Substring($ticks, $close - $ticks).Trim() } else { '' }
    if ($example -notmatch '^[^ ]+:\d+:\d+: (error|warning): .* \[(\w+)\]$' -or $Matches[1] -ne $properties.Severity -or $Matches[2] -ne $rule) {
        $problems.Add("${where}: the example is not what the check says for ${rule}: PATH:LINE:COL: $($properties.Severity): MESSAGE [$rule]")
    }
    $fix = Get-FixCell $properties
    if ($cells.Count -eq 4 -and $cells[3] -ceq $fix) { continue }
    if ($Write) {
        $lines[$i] = '| ' + (@($cells[0], $cells[1], $cells[2], $fix) -join ' | ') + ' |'
    } else {
        $problems.Add("${where}: the fix of $rule is not check-data.json's: $fix")
    }
}
foreach ($rule in Get-Sorted $known.Rules.Keys) {
    if (-not $seen.Contains($rule)) { $problems.Add("docs/package-authors.md: no row of the table says what $rule finds") }
}

# The fixes' table, all of it from the data.
$start = $lines.IndexOf($FixesStart)
if ($start -lt 0 -or $start + 2 -ge $lines.Count -or $lines[$start + 1] -ne $FixesHeader) {
    throw "docs/package-authors.md has no table headed $FixesHeader after the line $FixesStart"
}
$want = foreach ($rule in Get-Sorted $known.Rules.Keys) {
    $fixes = $known.Rules[$rule]['Fixes']
    if ($null -eq $fixes) { continue }
    foreach ($subject in Get-Sorted $fixes.Keys) { "| ``$rule`` | ``$(ConvertTo-Cell $subject)`` | $(ConvertTo-Cell $fixes[$subject]) |" }
}
$end = $start + 3
while ($end -lt $lines.Count -and $lines[$end].StartsWith('|')) { $end++ }
$have = @($lines.GetRange($start + 3, $end - $start - 3))
if (($have -join "`n") -cne ($want -join "`n")) {
    if ($Write) {
        $lines.RemoveRange($start + 3, $end - $start - 3)
        $lines.InsertRange($start + 3, [string[]] $want)
    } else {
        $first = 0
        while ($first -lt $have.Count -and $first -lt $want.Count -and $have[$first] -ceq $want[$first]) { $first++ }
        $problems.Add("docs/package-authors.md:$($start + 4 + $first): the table of what to write instead is not check-data.json's from here on: $(if ($first -lt $want.Count) { $want[$first] } else { 'it has more rows' })")
    }
}

# The task's problem matchers against what the check prints for a file
# with an error and a warning, each with a fix, and a parse error's
# message, which holds brackets and a colon of its own.
$task = $null
$json = [regex]::Matches([string]::Join("`n", $lines), '(?ms)^```json\n(.*?)^```$')
foreach ($block in $json) { if ($block.Groups[1].Value.Contains('problemMatcher')) { $task = $block.Groups[1].Value | ConvertFrom-Json } }
if ($null -eq $task) { throw 'docs/package-authors.md has no VS Code task with a problemMatcher' }
$matchers = @($task.tasks[0].problemMatcher)
$sample = Join-Path ([System.IO.Path]::GetTempPath()) "check-docs-$PID.ps1"
try {
    [System.IO.File]::WriteAllText($sample, "if (`$IsWindows) { 'Windows' }`n'{}' | ConvertFrom-Json -AsHashtable")
    $findings = @(Get-FileFindings $sample 'Install-Yorn-UI.ps1')
    [System.IO.File]::WriteAllText($sample, "`$x = [int[]] (1")
    $findings += @(Get-FileFindings $sample 'Install-Yorn-UI.ps1')
} finally {
    Remove-Item -LiteralPath $sample -ErrorAction Ignore
}
foreach ($finding in $findings) {
    $finding.Path = 'package/Install-Yorn-UI.ps1'
    $printed = @(Format-Finding $finding)
    foreach ($line in $printed) {
        $note = $line -ne $printed[0]
        $which = if ($note) { 1 } else { 0 }
        $pattern = $matchers[$which].pattern
        $found = [regex]::Match($line, $pattern.regexp)
        $other = [regex]::Match($line, $matchers[1 - $which].pattern.regexp)
        $expected = @{ file = $finding.Path; line = "$($finding.Line)"; column = "$($finding.Column)"; severity = $finding.Severity; code = $finding.Rule
            message = if ($note) { "write instead: $($finding.Fix)" } else { $finding.Message }
        }
        $wrong = @(foreach ($group in $expected.Keys) {
                if ($null -eq $pattern.PSObject.Properties[$group]) { continue }
                if (-not $found.Success -or $found.Groups[$pattern.$group].Value -cne $expected[$group]) { $group }
            })
        if ($wrong.Count -gt 0 -or $other.Success) {
            $problems.Add("docs/package-authors.md: the VS Code task's problem matcher $($which + 1) reads ""$line"" wrongly: $(if ($other.Success) { 'both matchers take it' } else { $wrong -join ', ' })")
        }
    }
}

if ($Write) {
    [System.IO.File]::WriteAllText($docsPath, ($lines -join "`n") + "`n")
}
foreach ($problem in $problems) { [Console]::Error.WriteLine("error: $problem") }
if ($problems.Count -gt 0) { exit 1 }
"docs/package-authors.md: $($seen.Count) rules, their fixes and $(@($want).Count) fixes by name agree with check-data.json."
