# A file written in 5.1's encodings, where 7 writes UTF-8 without a
# byte-order mark: > and >> (to a file, not to $null) and Out-File write
# UTF-16LE; Set-Content and Add-Content without -Encoding write the ANSI
# code page; -Encoding UTF8 adds a byte-order mark. A program that reads
# the file (a game's config, git, a shell) then breaks on 5.1
# (go-gitea/gitea#35373, simonwhitaker/gibo#34, PeonPing/peon-ping#569).
# Quiet where the script chose: any other -Encoding, one the check cannot
# read, or one only 7 takes (EncodingOnly7's); -AsByteStream
# (ParameterOnly7's); a write through [IO.File], which both versions make
# alike; a constant text of ASCII only, which is the same bytes in the
# ANSI code page and in UTF-8. PowerShell's own files (.ps1, .psm1, .psd1,
# $PROFILE) are left alone: the package's scripts run in 5.1, which reads
# back what it wrote, and a byte-order mark is what PowerShell wants there.
# The sc of 5.1 (Set-Content there, sc.exe in 7) is left alone too: its
# author meant the program.
using namespace System.Management.Automation.Language

# Where each command takes its path, its encoding and its text in 5.1, by
# name or position (from 5.1's help: Out-File FilePath 0, Encoding 1;
# Set-Content and Add-Content Path 0, Value 1). Out-File's text comes from
# the pipeline or -InputObject and differs even in ASCII (UTF-16).
$WriteCommands = @{
    'Out-File'    = @{ Path = 'FilePath'; Encoding = 1; Value = $null; Writes = 'UTF-16LE with a byte-order mark' }
    'Set-Content' = @{ Path = 'Path'; Encoding = -1; Value = 1; Writes = 'the ANSI code page' }
    'Add-Content' = @{ Path = 'Path'; Encoding = -1; Value = 1; Writes = 'the ANSI code page' }
}

function Find-WriteEncoding($Context) {
    $instead = 'where PowerShell 7 writes UTF-8 without one'
    foreach ($node in $Context.Nodes[[FileRedirectionAst]]) {
        $location = $node.Location
        if ($location -is [VariableExpressionAst] -and $location.VariablePath.UserPath -eq 'null') { continue }
        if ((Get-ConstantText $location) -in 'nul', '$null' -or (Test-PowerShellFile $Context $location)) { continue }
        $operator = if ($node.Append) { '>>' } else { '>' }
        New-FindingAt $Context WriteEncoding $node.Extent "$Starts writes UTF-16LE with a byte-order mark through $operator, $instead" $operator
    }
    $aliases51 = Get-GeneratedTable 'AliasesOnly51'
    # Scripts hold many writes, so each is read here without a call for
    # what a lookup can tell.
    foreach ($call in Get-CallsOf $Context 'Out-File', 'Set-Content', 'Add-Content') {
        if ($null -ne $aliases51 -and $aliases51.ContainsKey($call.Written)) { continue }
        $name = $call.Name
        $command = $WriteCommands[$name]
        $arguments = Get-Arguments51 $call.Command $name
        $named = $arguments.Named
        $positional = $arguments.Positional
        if ($arguments.Splatted -or $named.ContainsKey('AsByteStream')) { continue }
        $path = $named[$command.Path]
        if ($null -eq $path) { $path = $named['LiteralPath'] }
        if ($null -eq $path -and $positional.Count -gt 0) { $path = $positional[0] }
        if ($path -is [StringConstantExpressionAst] -or $path -is [ExpandableStringExpressionAst]) {
            if ($path.Value -match '\.ps[dm]?1$') { continue }
        } elseif (Test-PowerShellFile $Context $path) { continue }
        $encoding = $named['Encoding']
        if ($null -eq $encoding -and $command.Encoding -ge 0 -and $positional.Count -gt $command.Encoding) { $encoding = $positional[$command.Encoding] }
        $calledAs = ''
        if ($call.Written -ne $name) { $calledAs = " (called as $($call.Written))" }
        if ($null -eq $encoding) {
            if ($null -ne $command.Value) {
                $value = $named['Value']
                if ($null -eq $value -and $positional.Count -gt $command.Value) { $value = $positional[$command.Value] }
                if ($value -is [StringConstantExpressionAst] -and $value.Value -notmatch '[^\x00-\x7F]') { continue }
            }
            New-FindingAt $Context WriteEncoding $call.Command.Extent "$Starts writes $($command.Writes) through $name$calledAs without -Encoding, $($instead -replace 'one$', 'a byte-order mark')" $name
        } elseif ($encoding -is [StringConstantExpressionAst] -and $encoding.Value -eq 'UTF8') {
            New-FindingAt $Context WriteEncoding $encoding.Extent "$Starts writes a UTF-8 byte-order mark with -Encoding UTF8 on $name$calledAs, where PowerShell 7 writes none" $name
        }
    }
}
