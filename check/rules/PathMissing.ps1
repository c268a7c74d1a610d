# Join-Path $PSScriptRoot ... of a path that the package does not hold: a
# warning, since the script may make it before it uses it.
function Find-PathMissing($Context) {
    foreach ($reference in Get-PackageReferences $Context) {
        if ($reference.Kind -ne 'Join' -or $reference.Present -or $reference.Leaves) { continue }
        New-FindingAt $Context PathMissing $reference.At "names $($reference.Path), which is not in the package: fine only if the script makes it first" $reference.Path
    }
}
