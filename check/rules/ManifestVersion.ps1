# A module manifest whose PowerShellVersion is later than 5.1: 5.1
# refuses to load the module (Import-Module, or a `using module`, fails).
# A value that is not a version passes: 7 refuses it too.
function Find-ManifestVersion($Context) {
    if ($null -eq $Context.Manifest -or -not $Context.Manifest.ContainsKey('PowerShellVersion')) { return }
    $version = $null
    if (-not [version]::TryParse("$(Get-ManifestValue $Context PowerShellVersion)", [ref] $version) -or $version -lt [version] '5.2') { return }
    New-FindingAt $Context ManifestVersion $Context.Manifest['PowerShellVersion'].Extent "$Starts refuses to load a module whose manifest says PowerShellVersion $version"
}
