<#
.SYNOPSIS
    Writes windows-powershell-5.1.json: what PowerShell 7.6 has and Windows
    PowerShell 5.1 lacks, for the author's check (check/check-scripts.ps1).

.DESCRIPTION
    pwsh -NoProfile -File Update-CompatibilityData.ps1 -CommandsFile FILE
        [-ReferenceAssemblies FOLDER]

    Run it with PowerShell 7.6.10, the project's own (build/powershell/pwsh),
    on Linux: what 7.6 has is read from the PowerShell that runs it and from
    the .NET it runs on. What 5.1 has comes from two sources, named with
    their licences in README.md beside this file:
    - FILE: PSScriptAnalyzer's command data of Windows PowerShell
      5.1.14393.206 (desktop-5.1.14393.206-windows.json);
    - FOLDER: .NET Framework 4.8's reference assemblies (the folder that
      holds mscorlib.dll), by default fetched with dotnet from NuGet's
      Microsoft.NETFramework.ReferenceAssemblies.net48 1.0.3.
    The same inputs always give the same bytes.
#>
param(
    [Parameter(Mandatory = $true)]
    [string] $CommandsFile,
    [string] $ReferenceAssemblies,
    [string] $OutFile = (Join-Path $PSScriptRoot 'windows-powershell-5.1.json')
)
Set-StrictMode -Version Latest
$ErrorActionPreference = 'Stop'

# Modules that ship with both but that the commands file lacks: nothing can
# be said of their commands. PSReadLine came with later 5.1 builds.
$UnknownModules = 'PackageManagement', 'PowerShellGet', 'PSReadLine'
# 5.1's built-in functions, which belong to no module and so are not in the
# commands file; 7 made Get-Verb a cmdlet.
$BuiltInFunctions51 = 'cd..', 'cd\', 'Clear-Host', 'Get-Verb', 'help', 'ImportSystemModules', 'mkdir', 'more',
'oss', 'Pause', 'prompt', 'TabExpansion2'
# The aliases that PowerShell 7 defines only on Windows, so that the pwsh
# on Linux that runs this does not list them (PowerShell's
# InitialSessionState.cs, MIT licence).
$WindowsOnlyAliases7 = @{
    ac = 'Add-Content'; cat = 'Get-Content'; clear = 'Clear-Host'; cnsn = 'Connect-PSSession'
    compare = 'Compare-Object'; cp = 'Copy-Item'; cpp = 'Copy-ItemProperty'; diff = 'Compare-Object'
    dnsn = 'Disconnect-PSSession'; gsv = 'Get-Service'; ls = 'Get-ChildItem'; man = 'help'
    mount = 'New-PSDrive'; mv = 'Move-Item'; ogv = 'Out-GridView'; ps = 'Get-Process'; rm = 'Remove-Item'
    rmdir = 'Remove-Item'; sasv = 'Start-Service'; shcm = 'Show-Command'; sleep = 'Start-Sleep'
    sort = 'Sort-Object'; spsv = 'Stop-Service'; start = 'Start-Process'; tee = 'Tee-Object'; write = 'Write-Output'
}
# The assemblies that Windows PowerShell 5.1 does not load by itself, whose
# types a script can name only after Add-Type -AssemblyName.
$NotLoaded51 = 'PresentationFramework', 'System.Drawing', 'System.IO.Compression',
'System.IO.Compression.FileSystem', 'System.Net.Http', 'System.Windows.Forms'

function New-NameSet { , [System.Collections.Generic.HashSet[string]]::new([StringComparer]::OrdinalIgnoreCase) }
function Get-Sorted($Names) { , [string[]] @($Names | Sort-Object -Unique -Culture '') }

# The parameter names in Get-Command -Syntax's text of each parameter set.
function Get-SyntaxParameters([string[]] $ParameterSets) {
    $names = New-NameSet
    foreach ($set in $ParameterSets) {
        foreach ($match in [regex]::Matches($set, '(?<![\w-])-(\w+)')) { [void] $names.Add($match.Groups[1].Value) }
    }
    , $names
}

# 5.1's commands: name -> module, parameter names, and whether it takes the
# common parameters.
function Read-Commands51([string] $Path) {
    $commands = @{}
    foreach ($module in (Get-Content -Raw -LiteralPath $Path | ConvertFrom-Json).Modules) {
        foreach ($command in @($module.ExportedCommands | Where-Object { $null -ne $_ })) {
            $sets = @($command.ParameterSets)
            $commands[$command.Name] = @{
                Module     = $module.Name
                Parameters = Get-SyntaxParameters $sets
                Common     = ($sets -join ' ').Contains('[<CommonParameters>]')
            }
        }
    }
    $commands
}

# A .NET Framework folder's public types: full name -> its assembly, its
# base type and its public static members (methods, properties and fields).
function Read-Assemblies([string[]] $Paths) {
    $types = @{}
    $static = [System.Reflection.MethodAttributes]::Static
    $public = [System.Reflection.MethodAttributes]::Public
    foreach ($path in $Paths) {
        $stream = [System.IO.File]::OpenRead($path)
        try {
            $pe = [System.Reflection.PortableExecutable.PEReader]::new($stream)
            if (-not $pe.HasMetadata) { continue }
            $md = [System.Reflection.Metadata.PEReaderExtensions]::GetMetadataReader($pe)
            if (-not $md.IsAssembly) { continue }
            $assembly = $md.GetString($md.GetAssemblyDefinition().Name)
            foreach ($handle in $md.TypeDefinitions) {
                $type = $md.GetTypeDefinition($handle)
                if (($type.Attributes -band [System.Reflection.TypeAttributes]::VisibilityMask) -ne 'Public') { continue }
                $members = New-NameSet
                foreach ($method in $type.GetMethods() | ForEach-Object { $md.GetMethodDefinition($_) }) {
                    $attributes = $method.Attributes
                    if (($attributes -band $static) -and ($attributes -band 'MemberAccessMask') -eq $public -and
                        -not ($attributes -band 'SpecialName')) { [void] $members.Add($md.GetString($method.Name)) }
                }
                foreach ($property in $type.GetProperties() | ForEach-Object { $md.GetPropertyDefinition($_) }) {
                    $accessors = $property.GetAccessors()
                    $accessor = if ($accessors.Getter.IsNil) { $accessors.Setter } else { $accessors.Getter }
                    if ($accessor.IsNil) { continue }
                    $attributes = $md.GetMethodDefinition($accessor).Attributes
                    if (($attributes -band $static) -and ($attributes -band 'MemberAccessMask') -eq $public) {
                        [void] $members.Add($md.GetString($property.Name))
                    }
                }
                foreach ($field in $type.GetFields() | ForEach-Object { $md.GetFieldDefinition($_) }) {
                    $attributes = $field.Attributes
                    if (($attributes -band 'Static') -and ($attributes -band 'FieldAccessMask') -eq 'Public') {
                        [void] $members.Add($md.GetString($field.Name))
                    }
                }
                $name = Get-MetadataName $md $type
                $base = $null
                if (-not $type.BaseType.IsNil) {
                    $base = switch ($type.BaseType.Kind) {
                        'TypeDefinition' { Get-MetadataName $md $md.GetTypeDefinition($type.BaseType) }
                        'TypeReference' { Get-MetadataName $md $md.GetTypeReference($type.BaseType) }
                    }
                }
                $types[$name] = @{ Assembly = $assembly; Base = $base; Members = $members }
            }
        } finally {
            $stream.Dispose()
        }
    }
    # PowerShell finds a static member on the type or any of its bases.
    foreach ($type in $types.Values) {
        $base = $type.Base
        for ($depth = 0; $base -and $types.ContainsKey($base) -and $depth -lt 64; $depth++) {
            $type.Members.UnionWith($types[$base].Members)
            $base = $types[$base].Base
        }
    }
    $types
}

function Get-MetadataName($Reader, $Type) {
    $namespace = $Reader.GetString($Type.Namespace)
    $name = $Reader.GetString($Type.Name)
    if ($namespace) { "$namespace.$name" } else { $name }
}

# Type names as namespace -> the names in it, the shorter way to write them.
function Group-ByNamespace($TypeNames) {
    $table = [ordered]@{}
    foreach ($group in $TypeNames | Group-Object { Get-Namespace $_ } | Sort-Object Name -Culture '') {
        $table[$group.Name] = Get-Sorted ($group.Group | ForEach-Object { $_.Substring($group.Name.Length + 1) })
    }
    $table
}

function Get-Namespace([string] $TypeName) {
    $dot = $TypeName.LastIndexOf('.')
    if ($dot -gt 0) { $TypeName.Substring(0, $dot) } else { '' }
}

# .NET Framework 4.8's reference assemblies, fetched into a scratch folder.
function Get-ReferenceAssemblies([string] $Scratch) {
    $project = Join-Path $Scratch 'fetch.csproj'
    Set-Content -LiteralPath $project -Value @'
<Project Sdk="Microsoft.NET.Sdk">
  <PropertyGroup><TargetFramework>netstandard2.0</TargetFramework></PropertyGroup>
  <ItemGroup>
    <PackageDownload Include="Microsoft.NETFramework.ReferenceAssemblies.net48" Version="[1.0.3]" />
  </ItemGroup>
</Project>
'@
    dotnet restore $project --packages (Join-Path $Scratch 'packages') | Out-Null
    if ($LASTEXITCODE -ne 0) { throw 'dotnet could not fetch Microsoft.NETFramework.ReferenceAssemblies.net48 1.0.3' }
    Join-Path $Scratch 'packages/microsoft.netframework.referenceassemblies.net48/1.0.3/build/.NETFramework/v4.8'
}

if ($PSVersionTable.PSVersion.ToString() -ne '7.6.10') {
    Write-Warning "this is PowerShell $($PSVersionTable.PSVersion), not 7.6.10: the data will describe it instead"
}
$scratch = Join-Path ([System.IO.Path]::GetTempPath()) "compatibility-$PID"
[void] (New-Item -ItemType Directory -Force -Path $scratch)
try {
    if (-not $ReferenceAssemblies) { $ReferenceAssemblies = Get-ReferenceAssemblies $scratch }
    $framework = Read-Assemblies (Get-ChildItem -LiteralPath $ReferenceAssemblies -Filter *.dll).FullName
    if (-not $framework.ContainsKey('System.Object')) { throw "$ReferenceAssemblies holds no mscorlib.dll" }
} finally {
    Remove-Item -Recurse -Force -LiteralPath $scratch
}
$commands51 = Read-Commands51 $CommandsFile
$modules51 = New-NameSet
foreach ($command in $commands51.Values) { [void] $modules51.Add($command.Module) }

# 7.6's own commands: those of the modules it ships with, and the engine's.
$common7 = [ordered]@{}
$get = Get-Command Get-Content
foreach ($name in [System.Management.Automation.Cmdlet]::CommonParameters) {
    $common7[$name] = Get-Sorted $get.Parameters[$name].Aliases
}
$common51 = 'Debug', 'ErrorAction', 'ErrorVariable', 'InformationAction', 'InformationVariable', 'OutBuffer',
'OutVariable', 'PipelineVariable', 'Verbose', 'WarningAction', 'WarningVariable'
$modules7 = @(Get-Module -ListAvailable | Where-Object { $_.ModuleBase.StartsWith($PSHOME) -and $_.Name -notin $UnknownModules })
# Until a module is imported, its commands' parameters are not known.
Import-Module $modules7
$found = @(Get-Command -CommandType Cmdlet, Function -Module (@($modules7.Name) + 'Microsoft.PowerShell.Core'))

$only7 = [ordered]@{}
$both = [ordered]@{}
$common51Commands = [System.Collections.Generic.List[string]]::new()
foreach ($command in $found | Sort-Object Name -Culture '') {
    $name = $command.Name
    if (-not $commands51.ContainsKey($name)) {
        if ($name -notin $BuiltInFunctions51) { $only7[$name] = $command.ModuleName }
        continue
    }
    $had = $commands51[$name]
    $parameters = [ordered]@{}
    $missing = New-NameSet
    foreach ($parameter in $command.Parameters.Values | Sort-Object Name -Culture '') {
        if ($common7.Contains($parameter.Name)) { continue }
        $parameters[$parameter.Name] = Get-Sorted $parameter.Aliases
        if (-not $had.Parameters.Contains($parameter.Name)) { [void] $missing.Add($parameter.Name) }
    }
    if ($had.Common) { $common51Commands.Add($name) }
    # The parameters are kept only where the check needs them: to find the
    # one that a name or unique prefix stands for, on a command where 5.1
    # lacks some, or takes -Encoding.
    if ($missing.Count -eq 0 -and -not $had.Parameters.Contains('Encoding')) { continue }
    $entry = [ordered]@{ Parameters = $parameters }
    if ($missing.Count) { $entry.Only7 = Get-Sorted $missing }
    $gone = @($had.Parameters | Where-Object { -not $parameters.Contains($_) -and $_ -notin $common51 })
    if ($gone.Count) { $entry.Only51 = Get-Sorted $gone }
    $both[$name] = $entry
}
$aliases = [ordered]@{}
$targets = @{}
foreach ($alias in Get-Alias) { $targets[$alias.Name] = $alias.Definition }
foreach ($alias in $WindowsOnlyAliases7.Keys) { $targets[$alias] = $WindowsOnlyAliases7[$alias] }
foreach ($alias in $targets.Keys | Sort-Object -Culture '') {
    $target = $targets[$alias]
    if ($both.Contains($target) -or $only7.Contains($target) -or $common51Commands.Contains($target)) { $aliases[$alias] = $target }
}

# What .NET 10, under 7.6, has and .NET Framework 4.8 lacks. PowerShell 7
# finds any type of the shared framework by name; its own assemblies are
# Windows PowerShell's too, in their 5.1 form, so they are left out.
$runtime = Read-Assemblies (Get-ChildItem -LiteralPath ([System.Runtime.InteropServices.RuntimeEnvironment]::GetRuntimeDirectory()) -Filter *.dll).FullName
$namespaces48 = New-NameSet
foreach ($name in $framework.Keys) { [void] $namespaces48.Add((Get-Namespace $name)) }
$namespacesOnly7 = New-NameSet
$typesOnly7 = New-NameSet
$membersOnly7 = [ordered]@{}
foreach ($name in $runtime.Keys | Sort-Object -Culture '') {
    if (-not $framework.ContainsKey($name)) {
        $namespace = Get-Namespace $name
        if ($namespaces48.Contains($namespace)) { [void] $typesOnly7.Add($name) } else { [void] $namespacesOnly7.Add($namespace) }
        continue
    }
    $had = $framework[$name].Members
    $missing = @($runtime[$name].Members | Where-Object { -not $had.Contains($_) })
    if ($missing.Count) { $membersOnly7[$name] = Get-Sorted $missing }
}
# Only the outermost namespace of a tree that 4.8 lacks is kept.
$outermost = @($namespacesOnly7 | Where-Object {
        $parent = Get-Namespace $_
        while ($parent -and -not $namespacesOnly7.Contains($parent)) { $parent = Get-Namespace $parent }
        -not $parent
    })

# The types of the assemblies 5.1 does not load: each type, or "*" for a
# namespace that no other assembly has a type in.
$notLoaded = [ordered]@{}
foreach ($assembly in $NotLoaded51) {
    $table = Group-ByNamespace @($framework.Keys | Where-Object { $framework[$_].Assembly -eq $assembly })
    foreach ($namespace in @($table.Keys)) {
        $shared = @($framework.Keys | Where-Object {
                $framework[$_].Assembly -ne $assembly -and (Get-Namespace $_) -eq $namespace }).Count -gt 0
        if (-not $shared) { $table[$namespace] = @('*') }
    }
    $notLoaded[$assembly] = $table
}

$data = [ordered]@{
    About                 = 'What PowerShell 7.6 has and Windows PowerShell 5.1 lacks, for check/check-scripts.ps1. ' +
    'Written by Update-CompatibilityData.ps1; its sources and their licences are in README.md beside it.'
    PowerShell7           = $PSVersionTable.PSVersion.ToString()
    DotNet7               = [Environment]::Version.ToString()
    CommonParameters      = $common7
    CommonParametersOnly7 = Get-Sorted ($common7.Keys | Where-Object { $_ -notin $common51 })
    CommonParameters51    = Get-Sorted $common51Commands
    Aliases               = $aliases
    CommandsOnly7         = $only7
    Commands              = $both
    NamespacesOnly7       = Get-Sorted $outermost
    TypesOnly7            = Group-ByNamespace $typesOnly7
    StaticMembersOnly7    = $membersOnly7
    NotLoaded51           = $notLoaded
}
# One entry of each table a line, so that a change reads well in a diff.
$lines = foreach ($key in $data.Keys) {
    $value = $data[$key]
    $head = "$($key | ConvertTo-Json):"
    if ($value -isnot [System.Collections.IDictionary]) { "$head $(ConvertTo-Json -Compress -Depth 5 -InputObject $value)"; continue }
    $entries = foreach ($name in $value.Keys) { "$($name | ConvertTo-Json): $(ConvertTo-Json -Compress -Depth 5 -InputObject $value[$name])" }
    "$head {`n$($entries -join ",`n")`n}"
}
$json = "{`n$($lines -join ",`n")`n}"
[System.IO.File]::WriteAllText($OutFile, $json + "`n", [System.Text.UTF8Encoding]::new($false))
"Wrote $OutFile ($((Get-Item -LiteralPath $OutFile).Length) bytes)"
