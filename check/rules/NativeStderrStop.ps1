# A native program's stderr redirected (2>&1, 2>$null, 2>FILE, *>&1,
# *>$null) while $ErrorActionPreference is 'Stop': 5.1 turns each line of
# the redirected stderr into an error record, so the first line stops the
# script, even when the program succeeds; 7.2 and later leave stderr out
# of $ErrorActionPreference (PowerShell#13361, PowerShell#4002;
# ponylang/ponyup#455). A native program: a name that ends in .exe, .com,
# .bat or .cmd, or one without a hyphen that neither the data nor the
# script knows as a command (git, choco, msiexec); a command named by a
# variable is passed. The preference in force is worked out as
# Behaviour.ps1's Get-PreferenceAt does: quiet where the script sets
# another value around the call, or where the check cannot tell.
using namespace System.Management.Automation.Language

# Whether a command is a native program, as far as its name tells.
function Test-NativeProgram($Context, [CommandAst] $Command) {
    $name = $Command.GetCommandName()
    if (-not $name) {
        $first = $Command.CommandElements[0]
        if ($first -is [StringConstantExpressionAst] -or $first -is [ExpandableStringExpressionAst]) { $name = $first.Value } else { return $false }
    }
    if ($name -match '\.(exe|com|bat|cmd)$') { return $true }
    if ($name -match '[-\\/.:]') { return $false }
    $target = Get-CommandTarget $Context $name
    if ($target.Own -or $target.Name -ne $name) { return $false }
    $aliases51 = Get-GeneratedTable 'AliasesOnly51'
    if ($null -ne $aliases51 -and $aliases51.ContainsKey($name)) { return $false }
    $null -eq (Test-Command51 $Context $name) -and -not $Known.CommandsOnly7.ContainsKey($name) -and $null -eq (Get-Binding51 $name)
}

function Find-NativeStderrStop($Context) {
    # Most scripts redirect no stderr: .NET looks before any loop does.
    $text = $Context.Text
    if ($text.IndexOf('2>') -lt 0 -and $text.IndexOf('*>') -lt 0) { return }
    foreach ($command in $Context.Nodes[[CommandAst]]) {
        if ($command.Redirections.Count -eq 0) { continue }
        $redirection = $null
        foreach ($candidate in $command.Redirections) {
            $from = "$($candidate.FromStream)"
            if ($from -eq 'Error' -or $from -eq 'All') { $redirection = $candidate; break }
        }
        if ($null -eq $redirection -or -not (Test-NativeProgram $Context $command)) { continue }
        if ((Get-PreferenceAt $Context 'ErrorActionPreference' $command) -ne 'Stop') { continue }
        $program = $command.CommandElements[0].Extent.Text
        New-FindingAt $Context NativeStderrStop $redirection.Extent "$Starts stops the script at the first line that $program writes to stderr, since $($redirection.Extent.Text) makes each line an error there and `$ErrorActionPreference is 'Stop'; PowerShell 7.2 and later do not" $program
    }
}
