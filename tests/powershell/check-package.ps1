<#
    The author's check of a whole package, in one PowerShell process: each
    row is a package folder, the default pair plus the row's files (by
    their paths in the package; one named as a script of the pair takes
    its place), and every line the check must print for it, in order, or
    none for a package that passes.
        pwsh -NoProfile -File check-package.ps1
#>
Set-StrictMode -Version Latest
$ErrorActionPreference = 'Stop'
$project = Join-Path $PSScriptRoot '../..'
Import-Module (Join-Path $project 'check/check-scripts.psm1')

$s = 'Windows PowerShell 5.1, which the launcher starts,'
$manifest = "@{`n    ModuleVersion = '1.0'`n    RootModule = 'YornUI.psm1'`n"
$Rows = @(
    # Every PowerShell file, at any depth, by its path in the package,
    # sorted by file, then line.
    , @(@{ 'YornUI.psm1' = "function Get-Up { Get-Uptime }"; 'lib/deep/Helpers.ps1' = "`n'a' | Join-String"; 'LICENSE.txt' = 'Get-Uptime' },
        "error: lib/deep/Helpers.ps1:2:7: $s has no command Join-String", "error: YornUI.psm1:1:19: $s has no command Get-Uptime")
    # The contract's rules read only the two scripts that the launcher starts.
    , @(@{ 'lib/Optimize-Yorn-UI.ps1' = "[CmdletBinding()]`nparam([int] `$Rate)"; 'Tune.psm1' = "[CmdletBinding()]`nparam([switch] `$FPS)"
            'lib/Install-Yorn-UI.ps1' = "[CmdletBinding()]`nparam([string] `$Path)" })
    # Manifests, read as data.
    , @(@{ 'YornUI.psd1' = "$manifest    PowerShellVersion = '7.0'`n}"; 'YornUI.psm1' = '' },
        "error: YornUI.psd1:4:25: $s refuses to load a module whose manifest says PowerShellVersion 7.0")
    , @(@{ 'modules/YornUI/YornUI.psd1' = "@{ ModuleVersion = '1.0'; CompatiblePSEditions = 'Core'; PowerShellVersion = '5.1' }" },
        "warning: modules/YornUI/YornUI.psd1:1:50: $s loads this module, but its manifest says it is not meant for 5.1: CompatiblePSEditions 'Core' without 'Desktop'")
    , @(@{ 'YornUI.psd1' = "$manifest    CompatiblePSEditions = @('Desktop', 'Core')`n    PowerShellVersion = '5.1.14393'`n}"; 'YornUI.psm1' = '' })
    , @(@{ 'config/strings.psd1' = "@{ PowerShellVersion = '7.0'; CompatiblePSEditions = 'Core'; Greeting = 'Hello' }"
            'config/empty.psd1' = '# nothing yet'; 'config/Yorn.PSD1' = "ConvertFrom-StringData @'`nGreeting = Hello`n'@" })
    # 5.1 reads a data file with its own parser: what only 7 parses is
    # refused there too; the rules about commands and variables are not.
    , @(@{ 'config/settings.psd1' = "@{`n    Retries = 3u`n    Colour = `"``e[32m`"`n    Windows = `$IsWindows`n}" },
        "error: config/settings.psd1:2:15: $s does not read ``3u`` as a number",
        "error: config/settings.psd1:3:14: $s knows no escape ``e in a string and reads it as the letter e")
    , @(@{ 'YornUI.psd1' = "$manifest    PowerShellVersion = '5.1'`n"; 'YornUI.psm1' = '' },
        "error: YornUI.psd1:1:3: Missing closing '}' in statement block or type definition.")
)

$folder = Join-Path ([System.IO.Path]::GetTempPath()) "check-package-$PID"
$failures = 0
try {
    foreach ($row in $Rows) {
        Remove-Item -Recurse -Force -LiteralPath $folder -ErrorAction Ignore
        [void] (New-Item -ItemType Directory $folder)
        Copy-Item (Join-Path $project 'package/*.ps1') $folder
        foreach ($file in $row[0].Keys) {
            $path = Join-Path $folder $file
            [void] (New-Item -ItemType Directory -Force (Split-Path $path))
            Set-Content -LiteralPath $path -Value $row[0][$file] -NoNewline
        }
        $want = @($row | Select-Object -Skip 1)
        $got = @(foreach ($finding in (Get-PackageFindings $folder).Findings) { Format-Finding $finding })
        if (($want -join "`n") -cne ($got -join "`n")) {
            $failures++
            $shown = @(foreach ($file in $row[0].Keys | Sort-Object) { "--- ${file}:`n$($row[0][$file])" }) -join "`n"
            [Console]::Error.WriteLine("the package holding:`n$shown`nexpected:`n$($want -join "`n")`ngot:`n$($got -join "`n")`n")
        }
    }
} finally {
    Remove-Item -Recurse -Force -LiteralPath $folder -ErrorAction Ignore
}
"$($Rows.Count) packages of the author's check, $failures failed"
if ($failures -gt 0) { exit 1 }
