# A command that 5.1 lacks, called by name, by 7.6's alias or as
# Module\Name. Not one that the script defines (a function, an alias it
# sets to a command of 5.1), nor one of a module that it imports or
# installs (Install-Module ThreadJob gives 5.1 Start-ThreadJob).
function Find-CommandOnly7($Context) {
    $only7 = $Known.CommandsOnly7
    foreach ($call in Get-KnownCalls $Context) {
        $name = $call.Name
        if ($call.Own -or -not $only7.ContainsKey($name) -or $Context.Modules.Contains($only7[$name])) { continue }
        $calledAs = ''
        if ($call.Written -ne $name) { $calledAs = " (called as $($call.Written))" }
        New-FindingAt $Context CommandOnly7 $call.Command.Extent "$Starts has no command $name$calledAs" $name
    }
}
