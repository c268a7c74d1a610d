<#
    Facts about Windows PowerShell 5.1 and PowerShell 7 that the author's
    check's data (check/compatibility/windows-powershell-5.1.json) must
    hold, one row each: what the row states, how to read it from the data,
    and the answer. Then how its generator reads its sources: syntax
    strings of 5.1's parameter sets, and argument counts of overloads.
        pwsh -NoProfile -File compatibility-facts.ps1 [-DataFile FILE]
#>
param([string] $DataFile = (Join-Path $PSScriptRoot '../../check/compatibility/windows-powershell-5.1.json'))
Set-StrictMode -Version Latest
$ErrorActionPreference = 'Stop'
$Data = Get-Content -Raw -LiteralPath $DataFile | ConvertFrom-Json -AsHashtable
# The generator's functions, taken from its syntax tree without running it.
$generator = [System.Management.Automation.Language.Parser]::ParseFile(
    (Join-Path $PSScriptRoot '../../check/compatibility/Update-CompatibilityData.ps1'), [ref] $null, [ref] $null)
foreach ($function in $generator.FindAll({ param($node) $node -is [System.Management.Automation.Language.FunctionDefinitionAst] }, $false)) {
    . ([scriptblock]::Create($function.Extent.Text))
}

# 4.8's argument counts of a static method, as "least..most" ranges ("2.."
# has no bound), or "not listed".
function Format-Counts([string] $Type, [string] $Method) {
    if (-not ($Data.StaticOverloads48.Contains($Type) -and $Data.StaticOverloads48[$Type].Contains($Method))) { return 'not listed' }
    @($Data.StaticOverloads48[$Type][$Method] | ForEach-Object { "$($_[0])..$($_[1])" }) -join ', '
}

# The assembly that only PowerShell 7 ships a type in, or "".
function Get-AssemblyOnly7([string] $FullName) {
    $namespace = $FullName.Substring(0, $FullName.LastIndexOf('.'))
    foreach ($assembly in $Data.AssembliesOnly7.Keys) {
        $types = $Data.AssembliesOnly7[$assembly]
        if ($types.Contains($namespace) -and ($types[$namespace] -contains '*' -or $types[$namespace] -contains $FullName.Substring($namespace.Length + 1))) { return $assembly }
    }
    ''
}

$Rows = @(
    # Positions and switches
    , @('Join-Path takes two positional arguments in 5.1', { $Data.Commands51['Join-Path'].Positional }, 2)
    , @("Write-Output's -InputObject takes the remaining arguments, so any number", { $null -eq $Data.Commands51['Write-Output'].Positional }, $true)
    , @("ForEach-Object's -RemainingScripts, a named parameter, takes any number too", { $null -eq $Data.Commands51['ForEach-Object'].Positional }, $true)
    , @('Where-Object takes a property and a value', { $Data.Commands51['Where-Object'].Positional }, 2)
    , @('New-Service, which 7 has on Windows only, takes a name and a path', { $Data.Commands51['New-Service'].Positional }, 2)
    , @("Join-Path's -Resolve takes no value, -ChildPath does", { "$($Data.Commands51['Join-Path'].Switches)" }, 'Resolve UseTransaction')
    # Parameter aliases
    , @("Test-Connection -TTL is 5.1's alias of -TimeToLive", { "$($Data.Commands51['Test-Connection'].Parameters['TimeToLive'])" }, 'TTL')
    , @("and 7.6's of -MaxHops, with -TimeToLive", { "$($Data.Commands['Test-Connection'].Parameters['MaxHops'])" }, 'Hops TimeToLive Ttl')
    # Aliases that 5.1 has and 7 on Windows dropped
    , @('curl is Invoke-WebRequest in 5.1, and curl.exe is on its path', { "$($Data.AliasesOnly51['curl'].Command) $($Data.AliasesOnly51['curl'].Program)" }, 'Invoke-WebRequest curl.exe')
    , @('sc is Set-Content in 5.1, and sc.exe is on its path', { "$($Data.AliasesOnly51['sc'].Command) $($Data.AliasesOnly51['sc'].Program)" }, 'Set-Content sc.exe')
    , @('wget is Invoke-WebRequest in 5.1, with no wget program on its path', { "$($Data.AliasesOnly51['wget'].Command) $($Data.AliasesOnly51['wget'].Program)" }, 'Invoke-WebRequest ')
    , @('ls is an alias in 7 on Windows too', { $Data.AliasesOnly51.Contains('ls') }, $false)
    , @('kill is Stop-Process in 7 on Windows too (the second #if !UNIX of InitialSessionState.cs)', { "$($Data.AliasesOnly51.Contains('kill')) $($Data.Aliases['kill'])" }, 'False Stop-Process')
    # Type accelerators
    , @('semver is an accelerator of 7 and not of 5.1', { "$($Data.Accelerators7.Contains('semver')) $($Data.Accelerators51.Contains('semver'))" }, 'True False')
    , @('uint is an accelerator of 7 and not of 5.1', { "$($Data.Accelerators7.Contains('uint')) $($Data.Accelerators51.Contains('uint'))" }, 'True False')
    , @('ushort is an accelerator of 7 and not of 5.1', { "$($Data.Accelerators7.Contains('ushort')) $($Data.Accelerators51.Contains('ushort'))" }, 'True False')
    , @('ulong is an accelerator of 7 and not of 5.1', { "$($Data.Accelerators7.Contains('ulong')) $($Data.Accelerators51.Contains('ulong'))" }, 'True False')
    , @('short is an accelerator of 7 and not of 5.1', { "$($Data.Accelerators7.Contains('short')) $($Data.Accelerators51.Contains('short'))" }, 'True False')
    , @('wmiclass is an accelerator of 5.1, and of 7 on Windows', { "$($Data.Accelerators51['wmiclass']) $($Data.Accelerators7['wmiclass'])" }, 'System.Management.ManagementClass System.Management.ManagementClass')
    # PowerShell 7's own types and the assemblies it ships
    , @('ValidateNotNullOrWhiteSpace came with 7.4', { $Data.PowerShellTypesOnly7['System.Management.Automation.ValidateNotNullOrWhiteSpaceAttribute'] }, '7.4')
    , @('ArgumentCompletions came with 6.0', { $Data.PowerShellTypesOnly7['System.Management.Automation.ArgumentCompletionsAttribute'] }, '6.0')
    , @('Newtonsoft.Json.JsonConvert is in an assembly that only 7 ships', { Get-AssemblyOnly7 'Newtonsoft.Json.JsonConvert' }, 'Newtonsoft.Json')
    , @("Microsoft.PowerShell.ExecutionPolicy is 5.1's too, though 7's pwsh.dll has that namespace", { Get-AssemblyOnly7 'Microsoft.PowerShell.ExecutionPolicy' }, '')
    # Static method overloads of .NET Framework 4.8
    , @('[IO.File]::Move takes only 2 arguments in 4.8', { Format-Counts 'System.IO.File' 'Move' }, '2..2')
    , @("[Threading.Tasks.Task]::WhenAny takes a params array in 4.8, so also .NET 10's two tasks", { Format-Counts 'System.Threading.Tasks.Task' 'WhenAny' }, 'not listed')
    , @('[math]::DivRem takes 3 arguments in 4.8', { Format-Counts 'System.Math' 'DivRem' }, '3..3')
    # Commands in one 5.1 build
    , @('Get-VM is in the 14393 build only (Hyper-V)', { $Data.CommandsOneBuild51['14393']['Hyper-V'] -contains 'Get-VM' }, $true)
    , @('Get-DeliveryOptimizationStatus is in the 17763 build only', { $Data.CommandsOneBuild51['17763']['DeliveryOptimization'] -contains 'Get-DeliveryOptimizationStatus' }, $true)
    , @('the 17763 build is Windows 10 1809', { $Data.Builds51['17763'] }, 'Windows PowerShell 5.1.17763.134, as on Microsoft Windows 10 Pro 10.0.17763.0')
    , @('Get-Uptime is in neither build', { $Data.CommandsOnly7['Get-Uptime'] }, 'Microsoft.PowerShell.Utility')
)

# Syntax strings as the generator reads them: the positional parameters
# of each set, and the switches.
function Format-Sets([string[]] $Texts) {
    $sets = @(Read-SyntaxSets $Texts)
    $positional = @($sets | ForEach-Object { @($_ | Where-Object { $_.Positional } | ForEach-Object { $_.Name }) -join ',' })
    $switches = @($sets | ForEach-Object { $_ } | Where-Object { $_.Switch } | ForEach-Object { $_.Name } | Sort-Object -Unique)
    "$($positional -join ' / '); switches $($switches -join ',')"
}

function Format-Merged([int[][]] $Counts) {
    $ranges = Merge-ArgumentCounts ([System.Collections.Generic.List[int[]]] $Counts)
    @($ranges | ForEach-Object { "$($_[0])..$(if ($_[1] -ne [int]::MaxValue) { $_[1] })" }) -join ', '
}

$Rows += @(
    , @('Join-Path: two positionals and two switches',
        { Format-Sets '[-Path] <string[]> [-ChildPath] <string> [-Resolve] [-Credential <pscredential>] [-UseTransaction] [<CommonParameters>]' },
        'Path,ChildPath; switches Resolve,UseTransaction')
    , @('two sets in one string, an optional positional, a mandatory switch',
        { Format-Sets '[-Property] <string> [[-Value] <Object>] -CLike [-InputObject <psobject>] [<CommonParameters>] [-FilterScript] <scriptblock> [<CommonParameters>]' },
        'Property,Value / FilterScript; switches CLike')
    , @('a set of values in braces, an optional positional',
        { Format-Sets '[-FilePath] <string> [[-Encoding] {unknown | string | unicode}] [-Append] [<CommonParameters>]' },
        'FilePath,Encoding; switches Append')
    , @('a type with brackets and a space', { Format-Sets '[-Table] <Dictionary[string, Object]> [-Force] [<CommonParameters>]' }, 'Table; switches Force')
    , @('named parameters only', { Format-Sets '-Name <string> [-Value <Object>] [-PassThru] [<CommonParameters>]' }, '; switches PassThru')
    , @('a function without common parameters: one set', { Format-Sets '[[-Name] <Object>] [[-Value] <Object>]' }, 'Name,Value; switches ')
    , @('sets given as a list', { Format-Sets '[-Id] <int[]> [<CommonParameters>]', '[-Name] <string> [-Force] [<CommonParameters>]' }, 'Id / Name; switches Force')
    , @('argument counts: adjacent counts join', { Format-Merged @(3, 3), @(2, 2) }, '2..3')
    , @('argument counts: a gap stays', { Format-Merged @(1, 1), @(3, 3) }, '1..1, 3..3')
    , @('argument counts: a params array takes all above', { Format-Merged @(2, 2), @(1, [int]::MaxValue), @(0, 0) }, '0..')
)

$failures = 0
foreach ($row in $Rows) {
    try { $got = & $row[1] } catch { $got = "no answer: $_" }
    if ("$got" -cne "$($row[2])" -or ($null -eq $got) -ne ($null -eq $row[2])) {
        $failures++
        [Console]::Error.WriteLine("$($row[0]): expected '$($row[2])', got '$got'")
    }
}
"$($Rows.Count) facts of the compatibility data and its generator, $failures failed"
if ($failures -gt 0) { exit 1 }
