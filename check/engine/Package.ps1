# The package as a whole: every PowerShell file in its folders, each
# checked as Windows PowerShell 5.1 will meet it, and what the files may
# refer to. Scripts and modules (.ps1, .psm1) get the rules that read
# scripts; the two scripts that the launcher starts are told apart by
# their path in the package, so that the rules of the launcher's contract
# see only them. A .psd1 is data: 5.1 reads a module manifest with the
# parser and the data language's rules, never runs it, and so does the
# check (Get-ManifestEntries).
using namespace System.Collections.Generic
using namespace System.Management.Automation.Language

# What the rules know of the package: Entries, every file and folder by
# its path in the package ('lib/Helpers.ps1', '' for the package folder
# itself) and the files the build adds beside them; Folders, the folders
# among them; ModuleFolders, the folders that Import-Module takes as a
# module (a folder holding a module file of its own name, directly or in a
# version folder). Paths compare as Windows compares them: without regard
# to case.
function New-PackageIndex([string] $Root, [string[]] $Files, [string[]] $Folders) {
    $entries = New-NameSet ([string[]] @($Known.Own.PackageBuildFiles) + '')
    $entries.UnionWith($Files)
    $entries.UnionWith($Folders)
    $moduleFolders = New-NameSet
    $extensions = New-NameSet $Known.Own.ModuleExtensions51
    foreach ($file in $Files) {
        $slash = $file.LastIndexOf('/')
        if ($slash -lt 0 -or -not $extensions.Contains([System.IO.Path]::GetExtension($file))) { continue }
        $folder = $file.Substring(0, $slash)
        $name = [System.IO.Path]::GetFileNameWithoutExtension($file)
        $parts = $folder.Split('/')
        $version = $null
        if ([string]::Equals($parts[-1], $name, [StringComparison]::OrdinalIgnoreCase)) {
            [void] $moduleFolders.Add($folder)
        } elseif ($parts.Count -gt 1 -and [string]::Equals($parts[-2], $name, [StringComparison]::OrdinalIgnoreCase) -and [version]::TryParse($parts[-1], [ref] $version)) {
            [void] $moduleFolders.Add($folder.Substring(0, $folder.LastIndexOf('/')))
        }
    }
    @{ Root = $Root; Entries = $entries; Folders = New-NameSet $Folders; ModuleFolders = $moduleFolders; ModuleExtensions = $extensions }
}

# Paths in the package in the order the findings take: without regard to
# case, then as written, so that the order never depends on the file
# system's.
$PackageOrder = [Comparison[string]] {
    param([string] $A, [string] $B)
    $order = [StringComparer]::OrdinalIgnoreCase.Compare($A, $B)
    if ($order -eq 0) { $order = [StringComparer]::Ordinal.Compare($A, $B) }
    $order
}

# @{ Files; Findings }: the PowerShell files checked, by their paths in
# the package, in order, and every finding of them, sorted by file, then
# line and column.
function Get-PackageFindings([string] $Folder) {
    $root = [System.IO.Path]::GetFullPath($Folder)
    $options = [System.IO.EnumerationOptions]::new()
    $options.RecurseSubdirectories = $true
    $options.AttributesToSkip = [System.IO.FileAttributes]0
    $separator = [System.IO.Path]::DirectorySeparatorChar
    $files = [List[string]]::new()
    foreach ($path in [System.IO.Directory]::EnumerateFiles($root, '*', $options)) { $files.Add([System.IO.Path]::GetRelativePath($root, $path).Replace($separator, '/')) }
    $folders = [List[string]]::new()
    foreach ($path in [System.IO.Directory]::EnumerateDirectories($root, '*', $options)) { $folders.Add([System.IO.Path]::GetRelativePath($root, $path).Replace($separator, '/')) }
    $package = New-PackageIndex $root $files.ToArray() $folders.ToArray()
    $checked = [List[string]]::new()
    $kinds = New-NameSet $Known.Own.PowerShellFiles
    foreach ($file in $files) {
        if ($kinds.Contains([System.IO.Path]::GetExtension($file))) { $checked.Add($file) }
    }
    $checked.Sort($PackageOrder)
    $findings = [List[object]]::new()
    foreach ($file in $checked) {
        foreach ($finding in Get-FileFindings ([System.IO.Path]::Combine($root, $file)) $file $package) { $findings.Add($finding) }
    }
    @{ Files = $checked.ToArray(); Findings = $findings }
}

# The first hashtable of a .psd1, as Import-PowerShellDataFile and 5.1's
# module loader take it, when it is a module manifest (it names the
# module's version or its root module): a name table from each key to the
# node of its value. $null for plain data, which no manifest rule reads.
function Get-ManifestEntries([ScriptBlockAst] $Tree) {
    $table = $Tree.Find({ param($node) $node -is [HashtableAst] }, $false)
    if ($null -eq $table) { return $null }
    $entries = New-NameTable
    foreach ($pair in $table.KeyValuePairs) {
        $key = Get-ConstantText $pair.Item1
        if ($key) { $entries[$key] = $pair.Item2 }
    }
    foreach ($key in $Known.Own.ManifestKeys) {
        if ($entries.ContainsKey($key)) { return , $entries }
    }
    return $null
}

# A manifest's value as data: what SafeGetValue gives (constants, arrays
# and hashtables of them), or $null for anything else, which the check
# then passes.
function Get-ManifestValue($Context, [string] $Key) {
    $value = $Context.Manifest[$Key]
    if ($value -is [PipelineAst] -and $value.PipelineElements.Count -eq 1 -and $value.PipelineElements[0] -is [CommandExpressionAst]) {
        try { return , $value.PipelineElements[0].Expression.SafeGetValue() } catch { return $null }
    }
    $null
}
