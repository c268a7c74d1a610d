# A file that 5.1 must load and the package does not hold: a dot-source,
# a call (&), an import or `using module` of a path under $PSScriptRoot,
# or a file that a manifest loads. Not one that the script asks Test-Path
# about first (it may be missing), nor one outside the package
# (PathLeavesPackage).
function Find-ReferenceMissing($Context) {
    foreach ($reference in Get-PackageReferences $Context) {
        if ($reference.Kind -eq 'Join' -or $reference.Present -or $reference.Leaves -or $reference.Tested) { continue }
        $path = $reference.Path
        $message = switch ($reference.Kind) {
            'DotSource' { "dot-sources $path, which is not in the package" }
            'Call' { "runs $path, which is not in the package" }
            'UsingModule' { "loads $path with ``using module``, and it is not in the package" }
            'Manifest' { "names $path in $($reference.Key), and it is not in the package" }
            default {
                if ($reference.Folder) {
                    $leaf = $path.Substring($path.LastIndexOf('/') + 1)
                    "imports the folder $path, which holds no module of its name ($leaf.psd1, $leaf.psm1 or $leaf.dll)"
                } else { "imports $path, which is not in the package" }
            }
        }
        New-FindingAt $Context ReferenceMissing $reference.At $message $path
    }
}
