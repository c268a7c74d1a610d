# A module manifest whose CompatiblePSEditions leaves out Desktop: its
# author says it is not for Windows PowerShell 5.1. 5.1 loads it all the
# same (the field decides only for the modules in Windows' own folder), so
# this is a warning, and the module's code is checked like any other.
function Find-ManifestEdition($Context) {
    if ($null -eq $Context.Manifest -or -not $Context.Manifest.ContainsKey('CompatiblePSEditions')) { return }
    $value = Get-ManifestValue $Context CompatiblePSEditions
    if ($null -eq $value) { return }
    $editions = @($value)
    if ($editions.Count -eq 0 -or $editions -contains 'Desktop') { return }
    $written = @($editions | ForEach-Object { "'$_'" }) -join ', '
    New-FindingAt $Context ManifestEdition $Context.Manifest['CompatiblePSEditions'].Extent "$Starts loads this module, but its manifest says it is not meant for 5.1: CompatiblePSEditions $written without 'Desktop'"
}
