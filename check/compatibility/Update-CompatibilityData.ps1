<#
.SYNOPSIS
    Writes windows-powershell-5.1.json: what PowerShell 7.6 has and Windows
    PowerShell 5.1 lacks, for the author's check (check/check-scripts.ps1).

.DESCRIPTION
    pwsh -NoProfile -File Update-CompatibilityData.ps1 -CommandsFile FILE
        -ProfileFile PROFILE [-ReferenceAssemblies FOLDER] [-WindowsFolder FOLDER]

    Run it with PowerShell 7.6.10, the project's own (build/powershell/pwsh),
    on Linux: what 7.6 has is read from the PowerShell that runs it, from
    the .NET it runs on, and from FOLDER given as -WindowsFolder, 7.6's own
    files for Windows (by default the win folder beside $PSHOME, where the
    .NET tool keeps them). What 5.1 has comes from three sources, named with
    their licences in README.md beside this file:
    - FILE: PSScriptAnalyzer's command data of Windows PowerShell
      5.1.14393.206 (desktop-5.1.14393.206-windows.json);
    - PROFILE: PSScriptAnalyzer's compatibility profile of Windows
      PowerShell 5.1.17763.134 on Windows 10 Pro 1809
      (win-48_x64_10.0.17763.0_5.1.17763.134_x64_4.0.30319.42000_framework.json);
    - FOLDER: .NET Framework 4.8's reference assemblies (the folder that
      holds mscorlib.dll), by default fetched with dotnet from NuGet's
      Microsoft.NETFramework.ReferenceAssemblies.net48 1.0.3.
    The same inputs always give the same bytes.
#>
param(
    [Parameter(Mandatory = $true)]
    [string] $CommandsFile,
    [Parameter(Mandatory = $true)]
    [string] $ProfileFile,
    [string] $ReferenceAssemblies,
    [string] $WindowsFolder = (Join-Path $PSHOME '../win'),
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
    dnsn = 'Disconnect-PSSession'; gsv = 'Get-Service'; kill = 'Stop-Process'; ls = 'Get-ChildItem'; man = 'help'
    mount = 'New-PSDrive'; mv = 'Move-Item'; ogv = 'Out-GridView'; ps = 'Get-Process'; rm = 'Remove-Item'
    rmdir = 'Remove-Item'; sasv = 'Start-Service'; shcm = 'Show-Command'; sleep = 'Start-Sleep'
    sort = 'Sort-Object'; spsv = 'Stop-Service'; start = 'Start-Process'; tee = 'Tee-Object'; write = 'Write-Output'
}
# The assemblies that Windows PowerShell 5.1 does not load by itself, whose
# types a script can name only after Add-Type -AssemblyName.
$NotLoaded51 = 'PresentationFramework', 'System.Drawing', 'System.IO.Compression',
'System.IO.Compression.FileSystem', 'System.Net.Http', 'System.Windows.Forms'
# The type accelerators that PowerShell 7 defines only on Windows, which
# the pwsh on Linux that runs this lacks (PowerShell's
# src/System.Management.Automation/engine/parser/TypeResolver.cs, under
# #if !UNIX; MIT licence).
$WindowsOnlyAccelerators7 = [ordered]@{
    adsi = 'System.DirectoryServices.DirectoryEntry'; adsisearcher = 'System.DirectoryServices.DirectorySearcher'
    wmi = 'System.Management.ManagementObject'; wmiclass = 'System.Management.ManagementClass'
    wmisearcher = 'System.Management.ManagementObjectSearcher'
}
# The .NET tool's own launcher, beside PowerShell 7's files but no part of
# what PowerShell installs on Windows.
$ToolOnly = 'Microsoft.PowerShell.GlobalTool.Shim'
# The extensions that Windows' default PATHEXT runs without being typed:
# a program so named on the path is what PowerShell 7 runs for a name
# that is no alias there.
$ProgramExtensions = '.com', '.exe', '.bat', '.cmd', '.vbs', '.vbe', '.js', '.jse', '.wsf', '.wsh', '.msc', '.cpl'
# Types of PowerShell 7's System.Management.Automation that Windows
# PowerShell 5.1 lacks, with the release that added each. Neither source
# lists 5.1's own types, so each is established one by one from
# PowerShell's published history; README.md beside this file says how.
$PowerShellTypesOnly7 = [ordered]@{
    'System.Management.Automation.ArgumentCompletionsAttribute'         = '6.0'
    'System.Management.Automation.IValidateSetValuesGenerator'          = '6.0'
    'System.Management.Automation.IArgumentCompleterFactory'            = '7.2'
    'System.Management.Automation.PSStyle'                              = '7.2'
    'System.Management.Automation.ValidateNotNullOrWhiteSpaceAttribute' = '7.4'
    'System.Management.Automation.Language.NoRunspaceAffinityAttribute' = '7.4'
}
# Windows PowerShell 5.1's own assemblies, which PowerShell 7 ships in
# its own form: their types are not told apart here, and their
# namespaces are 5.1's too.
$Assemblies51 = 'Microsoft.Management.Infrastructure', 'Microsoft.Management.Infrastructure.CimCmdlets',
'Microsoft.PowerShell.Commands.Diagnostics', 'Microsoft.PowerShell.Commands.Management',
'Microsoft.PowerShell.Commands.Utility', 'Microsoft.PowerShell.ConsoleHost', 'Microsoft.PowerShell.GraphicalHost',
'Microsoft.PowerShell.Security', 'Microsoft.WSMan.Management', 'Microsoft.WSMan.Runtime', 'System.Management.Automation'

function New-NameSet([string[]] $Names = @()) {
    $set = [System.Collections.Generic.HashSet[string]]::new([StringComparer]::OrdinalIgnoreCase)
    foreach ($name in $Names) { [void] $set.Add($name) }
    , $set
}
function Get-Sorted($Names) { , [string[]] @($Names | Sort-Object -Unique -Culture '') }
function Get-SortedTable($Table) {
    $sorted = [ordered]@{}
    foreach ($key in $Table.Keys | Sort-Object -Culture '') { $sorted[$key] = $Table[$key] }
    $sorted
}

# The parameter sets of one command as Get-Command -Syntax writes them, in
# the commands file one string or a list: each set a list of its
# parameters, with whether each is positional and whether it is a switch.
# -Name <type> is named, [-Name] <type> positional, either in brackets
# when optional; -Name with no value is a switch. A value is <type> or,
# for a set of values, {a | b}. Each set ends with [<CommonParameters>],
# except the one set of a function that takes no common parameters.
function Read-SyntaxSets([string[]] $Texts) {
    foreach ($text in $Texts) {
        $tokens = [System.Collections.Generic.List[string]]::new()
        for ($i = 0; $i -lt $text.Length) {
            $char = $text[$i]
            if ($char -eq ' ') { $i++; continue }
            if ($char -eq '[' -or $char -eq ']') { $tokens.Add([string] $char); $i++; continue }
            if ($char -eq '<' -or $char -eq '{') {
                $close = if ($char -eq '<') { '>' } else { '}' }
                $end = $text.IndexOf($close, $i)
                if ($end -lt 0) { throw "unclosed $char in the syntax: $text" }
                $value = $text.Substring($i, $end + 1 - $i)
                $tokens.Add($(if ($value -eq '<CommonParameters>') { $value } else { '<value>' }))
                $i = $end + 1
                continue
            }
            $start = $i
            while ($i -lt $text.Length -and $text[$i] -notin ' ', '[', ']') { $i++ }
            $tokens.Add($text.Substring($start, $i - $start))
        }
        $set = [System.Collections.Generic.List[object]]::new()
        for ($k = 0; $k -lt $tokens.Count; $k++) {
            $token = $tokens[$k]
            if ($token -eq '<CommonParameters>') {
                , $set.ToArray()
                $set.Clear()
                $k++
                continue
            }
            if (-not $token.StartsWith('-')) { continue }
            $positional = $k -gt 0 -and $tokens[$k - 1] -eq '[' -and $k + 1 -lt $tokens.Count -and $tokens[$k + 1] -eq ']'
            $next = if ($positional) { $k + 2 } else { $k + 1 }
            $switch = -not ($next -lt $tokens.Count -and $tokens[$next] -eq '<value>')
            $set.Add(@{ Name = $token.Substring(1); Positional = $positional -and -not $switch; Switch = $switch })
        }
        if ($set.Count) { , $set.ToArray() }
    }
}

# 5.1's commands: name -> module, parameter names, whether it takes the
# common parameters, and its parameter sets.
function Read-Commands51([string] $Path) {
    $commands = @{}
    foreach ($module in (Get-Content -Raw -LiteralPath $Path | ConvertFrom-Json).Modules) {
        foreach ($command in @($module.ExportedCommands | Where-Object { $null -ne $_ })) {
            $texts = @($command.ParameterSets | Where-Object { $null -ne $_ })
            $sets = @(Read-SyntaxSets $texts)
            $names = New-NameSet
            foreach ($parameter in $sets | ForEach-Object { $_ }) { [void] $names.Add($parameter.Name) }
            $commands[$command.Name] = @{
                Module     = $module.Name
                Parameters = $names
                Common     = ($texts -join ' ').Contains('[<CommonParameters>]')
                Sets       = $sets
            }
        }
    }
    $commands
}

# PSScriptAnalyzer's profile of one 5.1 build: its commands (module,
# parameters with whether each is a switch or takes the remaining
# arguments, and parameter aliases), aliases, type accelerators, the
# programs on its path, and the build.
function Read-Profile([string] $Path) {
    $raw = Get-Content -Raw -LiteralPath $Path | ConvertFrom-Json -AsHashtable
    $commands = @{}
    $aliases = @{}
    foreach ($module in $raw.Compatibility.Modules.Keys) {
        foreach ($version in $raw.Compatibility.Modules[$module].Values) {
            foreach ($kind in 'Cmdlets', 'Functions') {
                if (-not $version.Contains($kind)) { continue }
                foreach ($name in $version[$kind].Keys) {
                    $command = $version[$kind][$name]
                    $parameters = @{}
                    if ($command.Contains('Parameters')) {
                        foreach ($parameter in $command.Parameters.Keys) {
                            $metadata = $command.Parameters[$parameter]
                            $flags = @(if ($metadata.Contains('ParameterSets')) {
                                    foreach ($set in $metadata.ParameterSets.Values) { if ($set.Contains('Flags')) { $set.Flags } }
                                })
                            $parameters[$parameter] = @{
                                Switch    = $metadata.Contains('Type') -and $metadata.Type -eq 'System.Management.Automation.SwitchParameter'
                                Remaining = $flags -contains 'ValueFromRemainingArguments'
                            }
                        }
                    }
                    $commands[$name] = @{
                        Module     = $module
                        Parameters = $parameters
                        Aliases    = $(if ($command.Contains('ParameterAliases')) { $command.ParameterAliases } else { @{} })
                    }
                }
            }
            if ($version.Contains('Aliases')) { foreach ($alias in $version.Aliases.Keys) { $aliases[$alias] = $version.Aliases[$alias] } }
        }
    }
    $accelerators = @{}
    foreach ($name in $raw.Compatibility.Types.TypeAccelerators.Keys) { $accelerators[$name] = $raw.Compatibility.Types.TypeAccelerators[$name].Type }
    $platform = $raw.Platform
    @{
        Commands     = $commands
        Aliases      = $aliases
        Accelerators = $accelerators
        Programs     = New-NameSet @($raw.Compatibility.NativeCommands.Keys)
        Version      = $platform.PowerShell.Version
        System       = "$($platform.OperatingSystem.Name) $($platform.OperatingSystem.Version)"
    }
}

# A .NET Framework folder's public types: full name -> its assembly, its
# base type, its public static members (methods, properties and fields)
# and the argument counts of its public static methods' overloads.
function Read-Assemblies([string[]] $Paths, [switch] $TypesOnly) {
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
                $overloads = @{}
                if (-not $TypesOnly) {
                    foreach ($method in $type.GetMethods() | ForEach-Object { $md.GetMethodDefinition($_) }) {
                        $attributes = $method.Attributes
                        if (-not (($attributes -band $static) -and ($attributes -band 'MemberAccessMask') -eq $public -and
                                -not ($attributes -band 'SpecialName'))) { continue }
                        $methodName = $md.GetString($method.Name)
                        [void] $members.Add($methodName)
                        if (-not $overloads.ContainsKey($methodName)) { $overloads[$methodName] = [System.Collections.Generic.List[int[]]]::new() }
                        $overloads[$methodName].Add((Get-ArgumentCounts $md $method))
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
                }
                $name = Get-MetadataName $md $type
                $base = $null
                if (-not $type.BaseType.IsNil) {
                    $base = switch ($type.BaseType.Kind) {
                        'TypeDefinition' { Get-MetadataName $md $md.GetTypeDefinition($type.BaseType) }
                        'TypeReference' { Get-MetadataName $md $md.GetTypeReference($type.BaseType) }
                    }
                }
                $types[$name] = @{ Assembly = $assembly; Base = $base; Members = $members; Overloads = $overloads; Declared = New-NameSet @($overloads.Keys) }
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
            foreach ($method in $types[$base].Overloads.Keys) {
                if (-not $type.Overloads.ContainsKey($method)) { $type.Overloads[$method] = [System.Collections.Generic.List[int[]]]::new() }
                $type.Overloads[$method].AddRange($types[$base].Overloads[$method])
            }
            $base = $types[$base].Base
        }
    }
    $types
}

# The fewest and the most arguments that a method takes: parameters with
# a default value may be left out, and a params array takes any number
# ([int]::MaxValue) or none.
function Get-ArgumentCounts($Reader, $Method) {
    $signature = $Reader.GetBlobReader($Method.Signature)
    if ($signature.ReadSignatureHeader().IsGeneric) { [void] $signature.ReadCompressedInteger() }
    $count = $signature.ReadCompressedInteger()
    $least = $count
    $most = $count
    foreach ($handle in $Method.GetParameters()) {
        $parameter = $Reader.GetParameter($handle)
        if ($parameter.SequenceNumber -eq 0) { continue }
        if ($parameter.Attributes -band [System.Reflection.ParameterAttributes]::Optional) { $least-- }
        elseif ($parameter.SequenceNumber -eq $count -and (Test-ParamArray $Reader $parameter)) {
            $least--
            $most = [int]::MaxValue
        }
    }
    , [int[]] @($least, $most)
}

# Whether a parameter is a params array: it carries [ParamArray].
function Test-ParamArray($Reader, $Parameter) {
    foreach ($handle in $Parameter.GetCustomAttributes()) {
        if ((Get-AttributeTypeName $Reader $Reader.GetCustomAttribute($handle)) -eq 'System.ParamArrayAttribute') { return $true }
    }
    $false
}

# An attribute's type and the signature of the constructor it calls.
function Get-AttributeTypeName($Reader, $Attribute) {
    $constructor = $Attribute.Constructor
    switch ($constructor.Kind) {
        'MemberReference' {
            $parent = $Reader.GetMemberReference($constructor).Parent
            if ($parent.Kind -eq 'TypeReference') { Get-MetadataName $Reader $Reader.GetTypeReference($parent) }
        }
        'MethodDefinition' { Get-MetadataName $Reader $Reader.GetTypeDefinition($Reader.GetMethodDefinition($constructor).GetDeclaringType()) }
    }
}

function Get-ConstructorArgumentCount($Reader, $Attribute) {
    $constructor = $Attribute.Constructor
    $signature = if ($constructor.Kind -eq 'MemberReference') { $Reader.GetMemberReference($constructor).Signature } else { $Reader.GetMethodDefinition($constructor).Signature }
    $blob = $Reader.GetBlobReader($signature)
    [void] $blob.ReadSignatureHeader()
    $blob.ReadCompressedInteger()
}

# The parameters that take the remaining arguments, by command, in
# PowerShell 7's assemblies for Windows, which the pwsh on Linux does not
# load: a property with [Parameter(ValueFromRemainingArguments = $true)]
# of a class with [Cmdlet(verb, noun)], or of a class it derives from.
function Read-RemainingArguments([string[]] $Paths) {
    $commands = @{}
    foreach ($path in $Paths) {
        $stream = [System.IO.File]::OpenRead($path)
        try {
            $md = [System.Reflection.Metadata.PEReaderExtensions]::GetMetadataReader([System.Reflection.PortableExecutable.PEReader]::new($stream))
            $bases = @{}
            $cmdlets = @{}
            $remaining = @{}
            foreach ($handle in $md.TypeDefinitions) {
                $type = $md.GetTypeDefinition($handle)
                $name = Get-MetadataName $md $type
                if (-not $type.BaseType.IsNil -and $type.BaseType.Kind -eq 'TypeDefinition') { $bases[$name] = Get-MetadataName $md $md.GetTypeDefinition($type.BaseType) }
                foreach ($attribute in $type.GetCustomAttributes() | ForEach-Object { $md.GetCustomAttribute($_) }) {
                    if ((Get-AttributeTypeName $md $attribute) -ne 'System.Management.Automation.CmdletAttribute') { continue }
                    $value = $md.GetBlobReader($attribute.Value)
                    [void] $value.ReadUInt16()
                    $cmdlets[$name] = "$($value.ReadSerializedString())-$($value.ReadSerializedString())"
                }
                foreach ($property in $type.GetProperties() | ForEach-Object { $md.GetPropertyDefinition($_) }) {
                    foreach ($attribute in $property.GetCustomAttributes() | ForEach-Object { $md.GetCustomAttribute($_) }) {
                        if ((Get-AttributeTypeName $md $attribute) -eq 'System.Management.Automation.ParameterAttribute' -and
                            (Test-TakesRemainingArguments $md $attribute)) {
                            $remaining[$name] = @($(if ($remaining.ContainsKey($name)) { $remaining[$name] })) + $md.GetString($property.Name)
                        }
                    }
                }
            }
            foreach ($class in $cmdlets.Keys) {
                $names = New-NameSet
                for ($type = $class; $type; $type = $bases[$type]) { if ($remaining.ContainsKey($type)) { $names.UnionWith([string[]] $remaining[$type]) } }
                $commands[$cmdlets[$class]] = $names
            }
        } finally {
            $stream.Dispose()
        }
    }
    $commands
}

# Whether a [Parameter()] sets ValueFromRemainingArguments = $true: its
# value blob holds the constructor's arguments (none, or an experiment's
# name and action), then each named argument with its type code, name
# and value (ECMA-335, II.23.3).
function Test-TakesRemainingArguments($Reader, $Attribute) {
    $value = $Reader.GetBlobReader($Attribute.Value)
    [void] $value.ReadUInt16()
    switch (Get-ConstructorArgumentCount $Reader $Attribute) {
        0 { }
        2 { [void] $value.ReadSerializedString(); [void] $value.ReadInt32() }
        default { throw 'a [Parameter()] constructor of unknown arguments' }
    }
    for ($count = $value.ReadUInt16(); $count -gt 0; $count--) {
        [void] $value.ReadByte()
        $code = $value.ReadByte()
        if ($code -eq 0x55) { [void] $value.ReadSerializedString() }
        $argument = $value.ReadSerializedString()
        $set = switch ($code) {
            0x02 { $value.ReadBoolean() }
            0x08 { [void] $value.ReadInt32() }
            0x0E { [void] $value.ReadSerializedString() }
            0x55 { [void] $value.ReadInt32() }
            default { throw "a [Parameter()] argument of type code $code" }
        }
        if ($argument -eq 'ValueFromRemainingArguments' -and $set) { return $true }
    }
    $false
}

# Argument counts as the fewest ranges that hold them all, each [least,
# most], most $null when there is no bound.
function Merge-ArgumentCounts($Counts) {
    $merged = [System.Collections.Generic.List[int[]]]::new()
    foreach ($range in $Counts | Sort-Object { $_[0] }, { $_[1] }) {
        $last = $null
        if ($merged.Count) { $last = $merged[$merged.Count - 1] }
        if ($null -ne $last -and $range[0] -le [long] $last[1] + 1) { $last[1] = [Math]::Max($last[1], $range[1]) }
        else { $merged.Add([int[]] @($range[0], $range[1])) }
    }
    , $merged
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

"Running in PowerShell $($PSVersionTable.PSVersion) on .NET $([Environment]::Version)"
if ($PSVersionTable.PSVersion.ToString() -ne '7.6.10') {
    Write-Warning "this is PowerShell $($PSVersionTable.PSVersion), not 7.6.10: the data will describe it instead"
}
$clock = [System.Diagnostics.Stopwatch]::StartNew()
$shipped = @(Get-ChildItem -LiteralPath $WindowsFolder -Filter *.dll -ErrorAction Ignore)
if (-not ($shipped.Name -contains 'System.Management.Automation.dll')) {
    throw "$WindowsFolder holds no PowerShell 7 for Windows: give its folder as -WindowsFolder"
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
$profile51 = Read-Profile $ProfileFile

# 7.6's type accelerators, before any module can add its own.
$accelerators7 = @{}
foreach ($entry in [psobject].Assembly.GetType('System.Management.Automation.TypeAccelerators')::Get.GetEnumerator()) {
    $accelerators7[$entry.Key] = $entry.Value.FullName
}
foreach ($name in $WindowsOnlyAccelerators7.Keys) { $accelerators7[$name] = $WindowsOnlyAccelerators7[$name] }

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
        if ($name -notin $BuiltInFunctions51 -and -not $profile51.Commands.ContainsKey($name)) { $only7[$name] = $command.ModuleName }
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

# 5.1's own parameters of the commands that 7.6 ships (on Linux or on
# Windows) and 5.1 has, from both builds, and the most positional
# arguments that any of its parameter sets takes. A parameter that takes
# the remaining arguments takes any number: 7.6 says which do, and the
# later build's profile says so where it lists a command's parameter sets.
$commands7 = New-NameSet @($found.Name)
# 7.6's commands on Windows only: those its manifests for Windows export,
# where a cmdlet is one that its assemblies define (CimCmdlets' manifest
# names Export-BinaryMiLog, which 7 lacks).
$remainingWindows = Read-RemainingArguments @($shipped | Where-Object { $_.BaseName -in $Assemblies51 }).FullName
# The scan must agree with the metadata of the cmdlets that pwsh loads.
foreach ($command in $found | Where-Object { $_.CommandType -eq 'Cmdlet' -and $remainingWindows.ContainsKey($_.Name) }) {
    $loaded = @($command.Parameters.Values | Where-Object { $_.ParameterSets.Values.ValueFromRemainingArguments -contains $true } | ForEach-Object Name)
    if ("$(Get-Sorted $loaded)" -ne "$(Get-Sorted $remainingWindows[$command.Name])") {
        throw "the assemblies for Windows give $($command.Name) remaining arguments in '$(Get-Sorted $remainingWindows[$command.Name])', pwsh in '$(Get-Sorted $loaded)'"
    }
}
$windowsOnly7 = [ordered]@{}
foreach ($module in Get-ChildItem -Directory -LiteralPath (Join-Path $WindowsFolder 'Modules') | Where-Object { $_.Name -notin $UnknownModules }) {
    $manifest = Import-PowerShellDataFile -LiteralPath (Join-Path $module.FullName "$($module.Name).psd1")
    foreach ($kind in 'CmdletsToExport', 'FunctionsToExport') {
        foreach ($name in @($manifest[$kind] | Where-Object { $_ -and -not $_.Contains('*') })) {
            if ($commands7.Contains($name) -or ($kind -eq 'CmdletsToExport' -and -not $remainingWindows.ContainsKey($name))) { continue }
            $windowsOnly7[$name] = $kind
        }
    }
}
$commandsOf51 = [ordered]@{}
foreach ($name in @($found.Name) + @($windowsOnly7.Keys) | Sort-Object -Culture '') {
    $command = $found | Where-Object { $_.Name -eq $name }
    $early = if ($commands51.ContainsKey($name)) { $commands51[$name] }
    $late = if ($profile51.Commands.ContainsKey($name)) { $profile51.Commands[$name] }
    if ($null -eq $early -and $null -eq $late) { continue }
    $names14393 = New-NameSet @(if ($early) { $early.Parameters | Where-Object { -not $common7.Contains($_) } })
    $names17763 = New-NameSet @(if ($late) { $late.Parameters.Keys | Where-Object { -not $common7.Contains($_) } })
    $all = New-NameSet (@($names14393) + @($names17763))
    $parameters = [ordered]@{}
    $sorted = Get-Sorted $all
    foreach ($parameter in $sorted) {
        $parameters[$parameter] = Get-Sorted @(if ($late) { $late.Aliases.Keys | Where-Object { $late.Aliases[$_] -eq $parameter } })
    }
    $switches = New-NameSet
    if ($early) { foreach ($parameter in $early.Sets | ForEach-Object { $_ }) { if ($parameter.Switch) { [void] $switches.Add($parameter.Name) } } }
    if ($late) { foreach ($parameter in $late.Parameters.Keys) { if ($late.Parameters[$parameter].Switch) { [void] $switches.Add($parameter) } } }
    # 7.6's commands for Windows only: a cmdlet's own metadata; a
    # function's is not read, so its count is not told.
    $remaining = @(if ($command) { $command.Parameters.Values | Where-Object { $all.Contains($_.Name) -and $_.ParameterSets.Values.ValueFromRemainingArguments -contains $true } }
        elseif ($remainingWindows.ContainsKey($name)) { $remainingWindows[$name] | Where-Object { $all.Contains($_) } }
        else { 'unknown' })
    $remaining += @(if ($late) { $late.Parameters.Keys | Where-Object { $late.Parameters[$_].Remaining } })
    # A function without [CmdletBinding()] (no common parameters) takes
    # any number of arguments in $args.
    $positional = $null
    if ($early -and $early.Common -and $early.Sets.Count -and $remaining.Count -eq 0) {
        $positional = [int] ($early.Sets | ForEach-Object { @($_ | Where-Object { $_.Positional }).Count } | Measure-Object -Maximum).Maximum
    }
    $entry = [ordered]@{ Positional = $positional; Parameters = $parameters; Switches = Get-Sorted @($switches | Where-Object { $all.Contains($_) }) }
    if ($early -and $late) {
        $only = @($names14393 | Where-Object { -not $names17763.Contains($_) })
        if ($only.Count) { $entry.Only14393 = Get-Sorted $only }
        $only = @($names17763 | Where-Object { -not $names14393.Contains($_) })
        if ($only.Count) { $entry.Only17763 = Get-Sorted $only }
    }
    $commandsOf51[$name] = $entry
}

# The commands of one 5.1 build that the other lacks, of any module.
$builds51 = [ordered]@{
    '14393' = 'Windows PowerShell 5.1.14393.206, as on Windows 10 1607 and Windows Server 2016'
    '17763' = "Windows PowerShell $($profile51.Version), as on $($profile51.System)"
}
$oneBuild = [ordered]@{ '14393' = [ordered]@{}; '17763' = [ordered]@{} }
$inBuilds = @{ '14393' = @($commands51.Keys | Where-Object { -not $profile51.Commands.ContainsKey($_) } | ForEach-Object { @{ Name = $_; Module = $commands51[$_].Module } })
    '17763' = @($profile51.Commands.Keys | Where-Object { -not $commands51.ContainsKey($_) } | ForEach-Object { @{ Name = $_; Module = $profile51.Commands[$_].Module } })
}
foreach ($build in $builds51.Keys) {
    foreach ($group in $inBuilds[$build] | Group-Object { $_.Module } | Sort-Object Name -Culture '') {
        $oneBuild[$build][$group.Name] = Get-Sorted $group.Group.Name
    }
}

# 5.1's aliases of a command where PowerShell 7 on Windows has no alias of
# that name, and so runs the program so named on the path, or reports no
# such command. Kept where 7.6 ships the command, or a program of that
# name is on 5.1's path (and so on 7's, on the same Windows).
$aliases7 = New-NameSet @($targets.Keys)
foreach ($module in Get-ChildItem -Directory -LiteralPath (Join-Path $WindowsFolder 'Modules')) {
    $exported = (Import-PowerShellDataFile -LiteralPath (Join-Path $module.FullName "$($module.Name).psd1"))['AliasesToExport']
    foreach ($alias in @($exported | Where-Object { $_ -and $_ -ne '*' })) { [void] $aliases7.Add($alias) }
}
$aliasesOnly51 = [ordered]@{}
foreach ($alias in $profile51.Aliases.Keys | Sort-Object -Culture '') {
    $target = $profile51.Aliases[$alias]
    $isCommand = $commands51.ContainsKey($target) -or $profile51.Commands.ContainsKey($target) -or $target -in $BuiltInFunctions51
    if ($aliases7.Contains($alias) -or -not $isCommand) { continue }
    $program = $ProgramExtensions | ForEach-Object { "$alias$_" } | Where-Object { $profile51.Programs.Contains($_) } | Select-Object -First 1
    if ($program -or $commands7.Contains($target)) { $aliasesOnly51[$alias] = [ordered]@{ Command = $target; Program = $program } }
}

# The types of PowerShell 7's own System.Management.Automation that 5.1
# lacks, each checked to be in 7.6.
foreach ($name in $PowerShellTypesOnly7.Keys) {
    if ($null -eq [psobject].Assembly.GetType($name)) { throw "PowerShell $($PSVersionTable.PSVersion) has no type $name" }
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
# 4.8's static methods, with the argument counts of their overloads, where
# .NET 10 has an overload of the same method that takes a count that no
# overload of 4.8 takes.
$overloads48 = [ordered]@{}
foreach ($name in $runtime.Keys | Sort-Object -Culture '') {
    if (-not $framework.ContainsKey($name)) { continue }
    $had = $framework[$name].Overloads
    $methods = [ordered]@{}
    foreach ($method in $runtime[$name].Overloads.Keys | Sort-Object -Culture '') {
        # A method is listed on the type that declares it, not on every
        # type that inherits it (each enum has Enum's Parse).
        if (-not $had.ContainsKey($method) -or -not ($framework[$name].Declared.Contains($method) -or $runtime[$name].Declared.Contains($method))) { continue }
        $counts = Merge-ArgumentCounts $had[$method]
        $beyond = @($runtime[$name].Overloads[$method] | Where-Object {
                $range = $_
                @($counts | Where-Object { $_[0] -le $range[0] -and $_[1] -ge $range[1] }).Count -eq 0
            })
        if ($beyond.Count -eq 0) { continue }
        $methods[$method] = @($counts | ForEach-Object { , @($_[0], $(if ($_[1] -eq [int]::MaxValue) { $null } else { $_[1] })) })
    }
    if ($methods.Count) { $overloads48[$name] = $methods }
}

# The types of the assemblies that PowerShell 7 ships for Windows beside
# .NET and 5.1 has none of, by name: each type that 4.8 lacks, or "*" for
# a namespace that 4.8 has no type in.
$dotnet = New-NameSet @((Get-ChildItem -LiteralPath ([System.Runtime.InteropServices.RuntimeEnvironment]::GetRuntimeDirectory()) -Filter *.dll).BaseName)
$own = Read-Assemblies @($shipped | Where-Object { $_.BaseName -notin $Assemblies51 + $ToolOnly -and -not $dotnet.Contains($_.BaseName) }).FullName -TypesOnly
$namespaces51 = New-NameSet @($namespaces48)
foreach ($name in (Read-Assemblies @($shipped | Where-Object { $_.BaseName -in $Assemblies51 }).FullName -TypesOnly).Keys) {
    [void] $namespaces51.Add((Get-Namespace $name))
}
$assembliesOnly7 = [ordered]@{}
foreach ($group in $own.Keys | Where-Object { -not $framework.ContainsKey($_) } | Group-Object { $own[$_].Assembly } | Sort-Object Name -Culture '') {
    $table = Group-ByNamespace $group.Group
    foreach ($namespace in @($table.Keys)) { if (-not $namespaces51.Contains($namespace)) { $table[$namespace] = @('*') } }
    $assembliesOnly7[$group.Name] = $table
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
    Builds51              = $builds51
    Commands51            = $commandsOf51
    CommandsOneBuild51    = $oneBuild
    AliasesOnly51         = $aliasesOnly51
    Accelerators51        = Get-SortedTable $profile51.Accelerators
    Accelerators7         = Get-SortedTable $accelerators7
    PowerShellTypesOnly7  = $PowerShellTypesOnly7
    AssembliesOnly7       = $assembliesOnly7
    StaticOverloads48     = $overloads48
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
"Wrote $OutFile ($((Get-Item -LiteralPath $OutFile).Length) bytes) in $([int] $clock.Elapsed.TotalSeconds) s"
