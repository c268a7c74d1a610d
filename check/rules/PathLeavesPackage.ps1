# A path under $PSScriptRoot that climbs out of the package
# ($PSScriptRoot\..\x): what lies there depends on where the user
# extracted the package, and the package brings nothing there.
function Find-PathLeavesPackage($Context) {
    foreach ($reference in Get-PackageReferences $Context) {
        if (-not $reference.Leaves) { continue }
        New-FindingAt $Context PathLeavesPackage $reference.At "names $($reference.Path), outside the package folder: what is there depends on where the user extracted the package" $reference.Path
    }
}
