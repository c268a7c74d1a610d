# A download to a file (Invoke-WebRequest or Invoke-RestMethod with
# -OutFile) or Expand-Archive with the progress bar on: 5.1 redraws it for
# every block it reads or writes, which makes them many times slower (a
# download of 42 min 53 s against 4.8 s with the bar off,
# Icinga/icinga2#9746). A request whose answer goes to the pipeline (a
# release's JSON, say) is small, and is left alone. Installers set
# $ProgressPreference = 'SilentlyContinue' first. Quiet where it is in
# force (Behaviour.ps1's Get-PreferenceAt: set before in the function or
# script, or where the check cannot tell), and where the call passes
# -ProgressAction, which 5.1 does not have (ParameterOnly7 says so, and its
# fix is the preference). Said once a script, at the first call that 5.1
# reaches: the preference set at the top of the script holds in every
# function it calls.
function Find-DownloadProgress($Context) {
    foreach ($call in Get-CallsOf $Context 'Invoke-WebRequest', 'Invoke-RestMethod', 'Expand-Archive') {
        if ($call.Name -ne 'Expand-Archive') {
            $arguments = Get-Arguments51 $call.Command $call.Name
            if (-not $arguments.Named.ContainsKey('OutFile') -and -not $arguments.Splatted) { continue }
        }
        $value = Get-PreferenceAt $Context 'ProgressPreference' $call.Command
        if ($value -eq '?' -or $value -eq 'SilentlyContinue' -or $value -eq 'Ignore') { continue }
        $progressAction = $false
        foreach ($element in $call.Command.CommandElements) {
            if ($element -is [System.Management.Automation.Language.CommandParameterAst] -and ($element.ParameterName -eq 'proga' -or
                ($element.ParameterName.Length -ge 4 -and 'ProgressAction'.StartsWith($element.ParameterName, [StringComparison]::OrdinalIgnoreCase)))) { $progressAction = $true }
        }
        if ($progressAction) { continue }
        New-FindingAt $Context DownloadProgress $call.Command.Extent "$Starts draws a progress bar for $($call.Name)$(Get-CalledAs $call) as it goes, which makes it many times slower, unless `$ProgressPreference is 'SilentlyContinue'"
    }
}
