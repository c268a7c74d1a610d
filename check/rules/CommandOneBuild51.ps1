# A command, or a parameter of one, that one of the data's two 5.1 builds
# has and the other lacks (CommandsOneBuild51, Commands51's Only14393 and
# Only17763). Which of them the user's Windows is like is not known, and
# the difference is mostly a module that a Windows feature or role
# brought to the machine the build was taken on (Hyper-V on Windows
# Server 2016), not the build itself: a warning that names both, once a
# script and command. Not a command that the script defines.
using namespace System.Management.Automation.Language

# "the data of BUILD has it; that of OTHER does not", with the builds as
# Builds51 names them.
function Get-BuildsSaying([string] $Build) {
    $builds = Get-GeneratedTable 'Builds51'
    $other = @($builds.Keys | Where-Object { $_ -ne $Build })[0]
    "the check's data of $($builds[$Build]), has it; that of $($builds[$other]), does not"
}

function Find-CommandOneBuild51($Context) {
    $targets = $Context.CommandTargets
    $builds = $Known.CommandBuilds51
    $commands51 = $Known.Commands51
    foreach ($command in $Context.Nodes[[CommandAst]]) {
        $written = $command.GetCommandName()
        if (-not $written) { continue }
        $target = $targets[$written]
        if ($null -eq $target) { $target = Get-CommandTarget $Context $written }
        if ($target.Own) { continue }
        $name = $target.Name
        $where = $builds[$name]
        if ($null -ne $where) {
            $build, $module = $where.Split(' ', 2)
            New-FindingAt $Context CommandOneBuild51 $command.CommandElements[0].Extent "$Starts has $name (module $module) only where Windows brings that module: $(Get-BuildsSaying $build)" $name
            continue
        }
        $command51 = $commands51[$name]
        if ($null -eq $command51) { continue }
        if ($command51 -is [System.Text.Json.JsonElement]) {
            # Few entries have a parameter of one build: the others are
            # not shaped for this rule alone.
            $list = [System.Text.Json.JsonElement]::new()
            if (-not $command51.TryGetProperty('Only14393', [ref] $list) -and -not $command51.TryGetProperty('Only17763', [ref] $list)) { continue }
            $command51 = Get-Command51 $name
        }
        if ($command51.Only14393.Count -eq 0 -and $command51.Only17763.Count -eq 0) { continue }
        foreach ($element in $command.CommandElements) {
            if ($element -isnot [CommandParameterAst]) { continue }
            $bound = Find-Parameters51 $command51 $element.ParameterName
            if ($null -eq $bound -or $bound.Count -ne 1) { continue }
            $parameter = $bound[0]
            $build = if ($command51.Only14393.Contains($parameter)) { '14393' } elseif ($command51.Only17763.Contains($parameter)) { '17763' }
            if ($null -eq $build) { continue }
            New-FindingAt $Context CommandOneBuild51 $element.Extent "$Starts has -$parameter of $name only where Windows brings it: $(Get-BuildsSaying $build)" "$name -$parameter"
        }
    }
}
