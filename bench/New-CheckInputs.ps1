<#
    Writes the inputs of the check's benchmark (bench/check-speed.sh) into
    FOLDER, each a package folder of its own with both scripts:
      long/     an install script of 20,000 lines that 5.1 runs: functions,
                ifs, loops, pipelines, hashtables, strings, casts and .NET
                calls, as installers hold them;
      guarded/  an install script of 2,000 version tests, each guarding a
                command that 5.1 lacks (a finding that the guard excuses);
      helpers/  a package of 20 helper files beside the pair: 17 scripts of
                about 190 lines in lib/ that the install script dot-sources,
                and a module (manifest, root and nested module) that it
                imports;
      default/  the package's default pair.
        pwsh -NoProfile -File New-CheckInputs.ps1 FOLDER
#>
param([Parameter(Mandatory = $true)] [string] $Folder)
Set-StrictMode -Version Latest
$ErrorActionPreference = 'Stop'
$project = Join-Path $PSScriptRoot '..'

function Write-Package([string] $Name, [string] $Install) {
    $package = Join-Path $Folder $Name
    [void] (New-Item -ItemType Directory -Force $package)
    Copy-Item (Join-Path $project 'package/Optimize-Yorn-UI.ps1') $package
    [System.IO.File]::WriteAllText((Join-Path $package 'Install-Yorn-UI.ps1'), $Install)
}

$head = "[CmdletBinding()]`nparam([Parameter(ValueFromRemainingArguments = `$true)] [string[]] `$Rest)`n"
# A part of an installer; {0} makes each copy's names its own.
$block = @'
function Install-Part{0} {{
    param([string] $Target = (Join-Path $env:TEMP 'yorn-{0}'), [int] $Retries = 3)
    # Copies the part's files, trying again when a file is locked.
    $files = Get-ChildItem -LiteralPath $PSScriptRoot -Filter '*.dat' -File -ErrorAction SilentlyContinue
    foreach ($file in $files) {{
        for ($try = 1; $try -le $Retries; $try++) {{
            try {{
                Copy-Item -LiteralPath $file.FullName -Destination $Target -Force
                break
            }} catch [System.IO.IOException] {{
                Write-Verbose "Locked: $($file.Name), try $try of $Retries"
                Start-Sleep -Milliseconds (100 * $try)
            }}
        }}
    }}
    $settings = @{{ Name = 'part{0}'; Size = $files.Count; Hash = [System.BitConverter]::ToString([byte[]] @(1, 2, 3)) }}
    if ($PSVersionTable.PSVersion.Major -lt 6 -and $settings.Size -gt 0) {{
        $text = ($settings.GetEnumerator() | Sort-Object Name | ForEach-Object {{ '{{0}}={{1}}' -f $_.Name, $_.Value }}) -join "`r`n"
        Set-Content -LiteralPath (Join-Path $Target 'part{0}.ini') -Value $text -Encoding UTF8
    }} elseif ($Target.EndsWith('\')) {{
        Write-Warning "Target ends in a backslash: $Target"
    }}
    $key = 'HKCU:\Software\Yorn\Part{0}'
    if (-not (Test-Path $key)) {{ [void] (New-Item -Path $key -Force) }}
    New-ItemProperty -Path $key -Name Installed -Value ([datetime]::Now.ToString('o')) -PropertyType String -Force | Out-Null
    $sizes = $files | Where-Object {{ $_.Length -gt 1kb }} | Measure-Object -Property Length -Sum
    switch ($sizes.Count) {{
        0 {{ Write-Output "part{0}: nothing to copy" }}
        {{ $_ -gt 100 }} {{ Write-Output "part{0}: many files ($($sizes.Count))" }}
        default {{ Write-Output ("part{0}: {{0:N0}} bytes" -f $sizes.Sum) }}
    }}
    $path = [System.IO.Path]::Combine($Target, 'logs', "part{0}.log")
    $null = [System.IO.Directory]::CreateDirectory([System.IO.Path]::GetDirectoryName($path))
    Add-Content -LiteralPath $path -Value "$(Get-Date -Format s) installed part{0}"
    return [pscustomobject] @{{ Part = {0}; Target = $Target; Files = @($files).Count }}
}}
$result{0} = Install-Part{0} -Target (Join-Path $env:LOCALAPPDATA 'Yorn\{0}')
if ($null -ne $result{0} -and $result{0}.Files -eq 0) {{ Write-Verbose 'Nothing in part {0}' }}

'@
$long = [System.Text.StringBuilder]::new($head)
$copies = [Math]::Ceiling(20000 / ($block.Split("`n").Count - 1))
for ($i = 0; $i -lt $copies; $i++) { [void] $long.AppendFormat($block, $i) }
[void] $long.Append("exit 0`n")
Write-Package long $long.ToString()

$guarded = [System.Text.StringBuilder]::new($head)
for ($i = 0; $i -lt 2000; $i++) {
    [void] $guarded.AppendFormat("if (`$PSVersionTable.PSVersion.Major -ge 7) {{ `$uptime{0} = Get-Uptime }}`n", $i)
}
[void] $guarded.Append("exit 0`n")
Write-Package guarded $guarded.ToString()

# Write-File PATH TEXT: a file of the helpers' package.
function Write-File([string] $Path, [string] $Text) {
    $file = Join-Path $Folder "helpers/$Path"
    [void] (New-Item -ItemType Directory -Force (Split-Path $file))
    [System.IO.File]::WriteAllText($file, $Text)
}
$install = [System.Text.StringBuilder]::new($head)
for ($i = 0; $i -lt 17; $i++) {
    $helper = [System.Text.StringBuilder]::new()
    for ($j = 0; $j -lt 5; $j++) { [void] $helper.AppendFormat($block, $i * 5 + $j) }
    Write-File "lib/Part$i.ps1" $helper.ToString()
    [void] $install.AppendFormat(". (Join-Path `$PSScriptRoot 'lib\Part{0}.ps1')`n", $i)
}
Write-File modules/YornTools/YornTools.psd1 "@{`n    ModuleVersion = '1.0.0'`n    RootModule = 'YornTools.psm1'`n    NestedModules = @('Net.psm1')`n    PowerShellVersion = '5.1'`n    CompatiblePSEditions = @('Desktop', 'Core')`n    FunctionsToExport = '*'`n}`n"
Write-File modules/YornTools/YornTools.psm1 ([string]::Format($block, 100))
Write-File modules/YornTools/Net.psm1 ([string]::Format($block, 101))
[void] $install.Append("Import-Module (Join-Path `$PSScriptRoot 'modules\YornTools')`nexit 0`n")
Write-Package helpers $install.ToString()

$default = Join-Path $Folder 'default'
[void] (New-Item -ItemType Directory -Force $default)
Copy-Item (Join-Path $project 'package/*.ps1') $default
