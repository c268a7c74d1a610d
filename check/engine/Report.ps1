# The report: the findings in the form that a terminal, an editor or a CI
# service reads. Each names its file by the finding's Path.
#   text    the compiler's order, one line a finding, and a note after it
#           with the fix: PATH:LINE:COL: error: MESSAGE [RULE], then
#           PATH:LINE:COL: note: write instead: FIX
#   github  GitHub Actions' workflow commands, one line a finding
#   sarif   one SARIF 2.1.0 log of every finding, with every rule and its
#           fixes
# Every line is one line: the texts go through ConvertTo-OneLine, and what
# the github form escapes is escaped as its runner reads it.

function Format-Finding($Finding) {
    $at = '{0}:{1}:{2}:' -f (ConvertTo-OneLine $Finding.Path), $Finding.Line, $Finding.Column
    '{0} {1}: {2} [{3}]' -f $at, $Finding.Severity, (ConvertTo-OneLine $Finding.Message), $Finding.Rule
    if ($Finding.Fix) { '{0} note: write instead: {1}' -f $at, (ConvertTo-OneLine $Finding.Fix) }
}

# A workflow command's message escapes %, CR and LF; its properties also
# the , and : that separate them.
function ConvertTo-GitHubData([string] $Text) {
    $Text.Replace('%', '%25').Replace("`r", '%0D').Replace("`n", '%0A')
}
function ConvertTo-GitHubProperty([string] $Text) {
    (ConvertTo-GitHubData $Text).Replace(':', '%3A').Replace(',', '%2C')
}

# ::error file=PATH,line=LINE,col=COL,title=RULE::MESSAGE, the fix on a
# line of its own in the annotation.
function Format-GitHubFinding($Finding) {
    $message = ConvertTo-OneLine $Finding.Message
    if ($Finding.Fix) { $message += "`nwrite instead: $(ConvertTo-OneLine $Finding.Fix)" }
    '::{0} file={1},line={2},col={3},title={4}::{5}' -f $Finding.Severity, (ConvertTo-GitHubProperty (ConvertTo-OneLine $Finding.Path)),
    $Finding.Line, $Finding.Column, (ConvertTo-GitHubProperty $Finding.Rule), (ConvertTo-GitHubData $message)
}

# A path as a SARIF artifact location: a relative one as a relative URI
# reference from the folder the check ran in (%SRCROOT%, which code
# scanning takes for the repository's root), an absolute one as a file
# URI.
function ConvertTo-ArtifactLocation([string] $Path) {
    if ([System.IO.Path]::IsPathRooted($Path)) {
        return [ordered] @{ uri = [uri]::new([System.IO.Path]::GetFullPath($Path)).AbsoluteUri }
    }
    $segments = foreach ($segment in $Path.Split('/')) { [uri]::EscapeDataString($segment) }
    [ordered] @{ uri = $segments -join '/'; uriBaseId = '%SRCROOT%' }
}

# What the rule's help says: its fix, and its fix for each subject.
function Get-RuleHelp($Properties) {
    $fix = $Properties['Fix']
    $fixes = $Properties['Fixes']
    $text = [System.Collections.Generic.List[string]]::new()
    $markdown = [System.Collections.Generic.List[string]]::new()
    if ($fix) {
        $text.Add("write instead: $fix")
        $markdown.Add("Write instead: $fix")
    }
    if ($null -ne $fixes) {
        if ($markdown.Count -gt 0) { $markdown.Add('') }
        foreach ($subject in $fixes.Keys | Sort-Object) {
            $text.Add("for ${subject}: write instead: $($fixes[$subject])")
            $markdown.Add("- for ``${subject}``: $($fixes[$subject])")
        }
    }
    if ($text.Count -eq 0) { return $null }
    [ordered] @{ text = $text -join "`n"; markdown = $markdown -join "`n" }
}

# The SARIF 2.1.0 log of the findings, as JSON text in ASCII (the rest
# escaped), so that no console's code page can change it.
function ConvertTo-SarifLog([object[]] $Findings) {
    $names = @($Known.Rules.Keys | Sort-Object)
    $index = @{}
    $rules = for ($i = 0; $i -lt $names.Count; $i++) {
        $name = $names[$i]
        $index[$name] = $i
        $properties = $Known.Rules[$name]
        $rule = [ordered] @{ id = $name; name = $name; defaultConfiguration = [ordered] @{ level = $properties.Severity } }
        $help = Get-RuleHelp $properties
        if ($null -ne $help) { $rule.help = $help }
        $rule
    }
    $results = foreach ($finding in $Findings) {
        $message = ConvertTo-OneLine $finding.Message
        if ($finding.Fix) { $message += "`nwrite instead: $(ConvertTo-OneLine $finding.Fix)" }
        [ordered] @{
            ruleId    = $finding.Rule
            ruleIndex = $index[$finding.Rule]
            level     = $finding.Severity
            message   = [ordered] @{ text = $message }
            locations = @([ordered] @{
                    physicalLocation = [ordered] @{
                        artifactLocation = ConvertTo-ArtifactLocation $finding.Path
                        region           = [ordered] @{ startLine = $finding.Line; startColumn = $finding.Column }
                    }
                })
        }
    }
    $here = (Get-Location -PSProvider FileSystem).ProviderPath
    if (-not $here.EndsWith([System.IO.Path]::DirectorySeparatorChar)) { $here += [System.IO.Path]::DirectorySeparatorChar }
    $log = [ordered] @{
        '$schema' = 'https://docs.oasis-open.org/sarif/sarif/v2.1.0/errata01/os/schemas/sarif-schema-2.1.0.json'
        version   = '2.1.0'
        runs      = @([ordered] @{
                tool               = [ordered] @{ driver = [ordered] @{ name = 'check-scripts'; rules = @($rules) } }
                originalUriBaseIds = [ordered] @{ '%SRCROOT%' = [ordered] @{ uri = [uri]::new($here).AbsoluteUri } }
                results            = @($results)
            })
    }
    ConvertTo-Json -InputObject $log -Depth 12 -EscapeHandling EscapeNonAscii
}
