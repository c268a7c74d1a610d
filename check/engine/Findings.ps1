# Findings: one problem each, at one place in one file, with the rule that
# found it. The rule's severity and how to write the code for 5.1 come
# from check-data.json, beside the rule's name: its Fixes for the
# finding's subject (a command, a parameter, an operator), else its Fix;
# $null where there is no way. Path is how the report names the file: its
# path in the package, unless the command names it otherwise.
using namespace System.Management.Automation.Language

# How the messages name the two: 5.1 first, as the user meets it.
$Starts = 'Windows PowerShell 5.1, which the launcher starts,'
$Framework = "$Starts runs on .NET Framework 4.8, which"

function New-Finding([string] $File, [string] $Rule, [int] $Line, [int] $Column, [int] $Offset, [string] $Message, [string] $Subject = '') {
    $properties = $Known.Rules[$Rule]
    $fixes = $properties['Fixes']
    $fix = if ($Subject -and $null -ne $fixes -and $fixes.ContainsKey($Subject)) { $fixes[$Subject] } else { $properties['Fix'] }
    [pscustomobject] @{
        Rule = $Rule; Severity = $properties.Severity; File = $File; Line = $Line; Column = $Column
        Offset = $Offset; Message = $Message; Subject = $Subject; Fix = $fix; Path = $File
    }
}

# A finding at a node of the script's tree, unless the context excuses it
# there: in code that 5.1 does not reach or where the check cannot tell
# (for rules that guards apply to), in a try whose catch takes what 5.1
# throws (for rules that say what it throws), where the author silenced
# the rule, or in a part not checked. Rules call it for every finding, so
# the innermost frame is found and each guard's answer looked up here, and
# worked out only once per test as written (a frame's Key).
function New-FindingAt($Context, [string] $Rule, [IScriptExtent] $At, [string] $Message, [string] $Subject = '') {
    $properties = $Known.Rules[$Rule]
    $starts = $Context.FrameStarts
    $offset = $At.StartOffset
    $i = [Array]::BinarySearch($starts, $offset)
    if ($i -lt 0) { $i = (-bnot $i) - 1 } else { while ($i + 1 -lt $starts.Length -and $starts[$i + 1] -eq $offset) { $i++ } }
    if ($i -lt 0) { $i = $starts.Length }
    $reaches = $Context.ReachByKey
    $frame = $null
    if ($i -lt $starts.Length) { $frame = $Context.Frames[$i] }
    for (; $null -ne $frame; $frame = $frame.Parent) {
        if ($offset -ge $frame.End) { continue }
        $kind = $frame.Kind
        if ($kind -eq 'NotChecked') { return }
        if ($kind -eq 'Suppress') {
            if (-not $properties.Suppressible) { continue }
            foreach ($entry in $frame.Entries) {
                if (($entry.Rule -eq $Rule -or ($properties.Family -and $entry.Rule -eq $properties.Family)) -and
                    ($entry.Subject -eq '' -or $entry.Subject -eq $Subject)) { return }
            }
        } elseif ($kind -eq 'Try') {
            if (-not $properties.Caught) { continue }
            foreach ($catch in $frame.Catches) {
                if ($catch -eq '*' -or $catch -eq $properties.Caught -or $Known.CatchesAll.Contains($catch)) { return }
            }
        } elseif ($properties.Guarded) {
            $reach = $frame['Reach']
            if ($null -eq $reach) {
                $key = $frame['Key']
                if ($null -ne $key) { $reach = $reaches[$key] }
                if ($null -eq $reach) {
                    $reach = Get-FrameReach $Context $frame
                    if ($null -ne $key) { $reaches[$key] = $reach }
                }
                $frame.Reach = $reach
            }
            if ($reach.State -eq 'F' -or $reach.State -eq 'U') { return }
        }
    }
    New-Finding $Context.Name $Rule $At.StartLineNumber $At.StartColumnNumber $At.StartOffset $Message $Subject
}

# One line, whatever the text holds: its first line only (the parser's
# messages can carry a .NET stack trace), and every control character
# written as its code point, never as itself.
function ConvertTo-OneLine([string] $Text) {
    $line = $Text.Split([char[]] "`r`n")[0]
    $out = [System.Text.StringBuilder]::new($line.Length)
    foreach ($char in $line.ToCharArray()) {
        if ([char]::IsControl($char)) { [void] $out.AppendFormat('[U+{0:X4}]', [int] $char) } else { [void] $out.Append($char) }
    }
    $out.ToString()
}
