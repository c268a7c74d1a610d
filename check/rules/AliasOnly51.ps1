# An alias that 5.1 resolves to a cmdlet where PowerShell 7 runs a program
# of that name (AliasesOnly51): on Windows a program on 5.1's path
# (curl.exe, sc.exe), on Linux and macOS, where an author may have tried
# the script, one of check-data.json's ProgramsOf7 (wget). 5.1 gives the
# program's arguments to the cmdlet: `curl -fsSL URL -o f` fails to bind,
# `sc stop MySvc` writes a file named stop. Not where the script defines
# that alias or a function of that name. An alias that 7 dropped and that
# names no program (trcm) runs the same cmdlet in 5.1 as it always did,
# and passes.
using namespace System.Management.Automation.Language

function Find-AliasOnly51($Context) {
    $aliases = Get-GeneratedTable 'AliasesOnly51'
    if ($null -eq $aliases) { return }
    foreach ($command in $Context.Nodes[[CommandAst]]) {
        $written = $command.GetCommandName()
        if (-not $written -or -not $aliases.ContainsKey($written)) { continue }
        if ($Context.Aliases.ContainsKey($written) -or $Context.Functions.ContainsKey($written)) { continue }
        $alias = $aliases[$written]
        $program = $alias.Program
        if ($program) {
            $message = "$Starts runs $($alias.Command) for $written, where PowerShell 7 on Windows runs $program, which 5.1 runs only when written $program"
        } elseif ($Known.ProgramsOf7.Contains($written)) {
            $message = "$Starts runs $($alias.Command) for $written, where PowerShell 7 has no such alias and runs the program $written of Linux or macOS, or of Windows where one is installed"
        } else {
            continue
        }
        New-FindingAt $Context AliasOnly51 $command.CommandElements[0].Extent $message $written.ToLowerInvariant()
    }
}
