# One file, checked: read as 5.1 reads it, parsed as 5.1 parses it, walked
# once, each rule asked, and what the context excuses left out.
using namespace System.Collections.Generic

# Findings in the order of the text (their offsets), those at one place in
# the order given. Array.Sort with the index in the key, not Sort-Object,
# whose first use costs more than checking a small script.
function Get-InTextOrder([object[]] $Findings) {
    $keys = [long[]]::new($Findings.Count)
    for ($i = 0; $i -lt $Findings.Count; $i++) { $keys[$i] = [long] $Findings[$i].Offset * 1048576L + $i }
    [Array]::Sort([Array] $keys, [Array] $Findings)
    $Findings
}

# Every finding of one file, sorted by line and column. $Path is where the
# file is; $Name what the findings call it (its path in the package).
function Get-FileFindings([string] $Path, [string] $Name) {
    $read = Read-Script ([System.IO.File]::ReadAllBytes($Path)) $Name
    $findings = [List[object]]::new($read.Findings)
    if ($read.Readable) {
        $parsed = Read-ScriptTree $read.Text $Name
        $findings.AddRange($parsed.Findings)
        if ($parsed.Readable) {
            $context = New-CheckContext $Name $parsed.Text $parsed.Tree $parsed.Tokens
            # Each rule's findings, less what the context excuses; in the
            # order of the text, so that a rule said once a script and
            # subject is said where 5.1 first meets it.
            $said = New-NameSet
            foreach ($rule in $CheckRules) {
                $found = @(& $rule $context)
                if ($found.Count -gt 1) { $found = @(Get-InTextOrder $found) }
                foreach ($finding in $found) {
                    if ($Known.Rules[$finding.Rule].Once -and -not $said.Add("$($finding.Rule) $($finding.Subject)")) { continue }
                    $findings.Add($finding)
                }
            }
        }
    }
    if ($findings.Count -gt 1) { return Get-InTextOrder $findings.ToArray() }
    $findings
}

# The findings of a script in a package folder, by its name there.
function Get-ScriptFindings([string] $Folder, [string] $Name) {
    Get-FileFindings ([System.IO.Path]::Combine($Folder, $Name)) $Name
}
