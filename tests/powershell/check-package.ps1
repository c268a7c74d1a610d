<#
    The author's check of a whole package, in one PowerShell process: each
    row is a package folder, the default pair plus the row's files (by
    their paths in the package; one named as a script of the pair takes
    its place), and every finding the check must make of it, in order, as
    its first line prints it, "PATH:LINE:COLUMN: SEVERITY: MESSAGE [RULE]"
    with the path in the package, or none for a package that passes. The
    notes with the fixes, and the other forms of the report, are
    check-rules.ps1's.
        pwsh -NoProfile -File check-package.ps1
#>
Set-StrictMode -Version Latest
$ErrorActionPreference = 'Stop'
$project = Join-Path $PSScriptRoot '../..'
Import-Module (Join-Path $project 'check/check-scripts.psm1')

$s = 'Windows PowerShell 5.1, which the launcher starts,'
$outside = 'outside the package folder: what is there depends on where the user extracted the package'
$made = 'which is not in the package: fine only if the script makes it first'
$manifest = "@{`n    ModuleVersion = '1.0'`n    RootModule = 'YornUI.psm1'`n"
$Rows = @(
    # Every PowerShell file, at any depth, by its path in the package,
    # sorted by file, then line.
    , @(@{ 'YornUI.psm1' = "function Get-Up { Get-Uptime }"; 'lib/deep/Helpers.ps1' = "`n'a' | Join-String"; 'LICENSE.txt' = 'Get-Uptime' },
        "lib/deep/Helpers.ps1:2:7: error: $s has no command Join-String [CommandOnly7]", "YornUI.psm1:1:19: error: $s has no command Get-Uptime [CommandOnly7]")
    # The contract's rules read only the two scripts that the launcher starts.
    , @(@{ 'lib/Optimize-Yorn-UI.ps1' = "[CmdletBinding()]`nparam([int] `$Rate)"; 'Tune.psm1' = "[CmdletBinding()]`nparam([switch] `$FPS)"
            'lib/Install-Yorn-UI.ps1' = "[CmdletBinding()]`nparam([string] `$Path)" })
    # Manifests, read as data.
    , @(@{ 'YornUI.psd1' = "$manifest    PowerShellVersion = '7.0'`n}"; 'YornUI.psm1' = '' },
        "YornUI.psd1:4:25: error: $s refuses to load a module whose manifest says PowerShellVersion 7.0 [ManifestVersion]")
    , @(@{ 'modules/YornUI/YornUI.psd1' = "@{ ModuleVersion = '1.0'; CompatiblePSEditions = 'Core'; PowerShellVersion = '5.1' }" },
        "modules/YornUI/YornUI.psd1:1:50: warning: $s loads this module, but its manifest says it is not meant for 5.1: CompatiblePSEditions 'Core' without 'Desktop' [ManifestEdition]")
    , @(@{ 'YornUI.psd1' = "$manifest    CompatiblePSEditions = @('Desktop', 'Core')`n    PowerShellVersion = '5.1.14393'`n}"; 'YornUI.psm1' = '' })
    , @(@{ 'config/strings.psd1' = "@{ PowerShellVersion = '7.0'; CompatiblePSEditions = 'Core'; Greeting = 'Hello' }"
            'config/empty.psd1' = '# nothing yet'; 'config/Yorn.PSD1' = "ConvertFrom-StringData @'`nGreeting = Hello`n'@" })
    # 5.1 reads a data file with its own parser: what only 7 parses is
    # refused there too; the rules about commands and variables are not.
    , @(@{ 'config/settings.psd1' = "@{`n    Retries = 3u`n    Colour = `"``e[32m`"`n    Windows = `$IsWindows`n}" },
        "config/settings.psd1:2:15: error: $s does not read ``3u`` as a number [NumberOnly7]",
        "config/settings.psd1:3:14: error: $s knows no escape ``e in a string and reads it as the letter e [EscapeOnly7]")
    , @(@{ 'YornUI.psd1' = "$manifest    PowerShellVersion = '5.1'`n"; 'YornUI.psm1' = '' },
        "YornUI.psd1:1:3: error: Missing closing '}' in statement block or type definition. [Parse]")
    # What a manifest loads, from its own folder.
    , @(@{ 'modules/YornUI/YornUI.psd1' = "@{ ModuleVersion = '1.0'; RootModule = 'YornUI.psm1'; NestedModules = @('lib\Tools.psm1', 'Microsoft.PowerShell.Utility', @{ ModuleName = 'x.psm1'; ModuleVersion = '1.0' }) }"
            'modules/YornUI/YORNUI.PSM1' = '' },
        "modules/YornUI/YornUI.psd1:1:73: error: names modules/YornUI/lib/Tools.psm1 in NestedModules, and it is not in the package [ReferenceMissing]")
    # A dot-source of a missing file, in each form, is an error where it
    # names the file; with another case it is there.
    , @(@{ 'Install-Yorn-UI.ps1' = ". (Join-Path `$PSScriptRoot 'lib\Helpers.ps1')`n. `"`$PSScriptRoot\lib\Helpers.ps1`"`n  . `$PSScriptRoot/lib/Helpers.ps1" },
        'Install-Yorn-UI.ps1:1:3: error: dot-sources lib/Helpers.ps1, which is not in the package [ReferenceMissing]',
        'Install-Yorn-UI.ps1:2:3: error: dot-sources lib/Helpers.ps1, which is not in the package [ReferenceMissing]',
        'Install-Yorn-UI.ps1:3:5: error: dot-sources lib/Helpers.ps1, which is not in the package [ReferenceMissing]')
    , @(@{ 'Install-Yorn-UI.ps1' = ". (Join-Path `$PSScriptRoot 'LIB\helpers.ps1')`n. `"`$PSScriptRoot\Lib\HELPERS.ps1`"`n. `$PSScriptRoot/lib/Helpers.PS1"
            'lib/Helpers.ps1' = '' })
    # Imports: a file, a manifest, a module folder; by name, nothing.
    , @(@{ 'Install-Yorn-UI.ps1' = "Import-Module (Join-Path `$PSScriptRoot 'YornUI.psm1')`nipmo `"`$PSScriptRoot\modules\Yorn.psd1`" -Force`nImport-Module -Name `$PSScriptRoot\modules\Tools`nImport-Module `$PSScriptRoot\payload`nImport-Module YornUI, ThreadJob"
            'payload/readme.txt' = '' },
        'Install-Yorn-UI.ps1:1:15: error: imports YornUI.psm1, which is not in the package [ReferenceMissing]',
        'Install-Yorn-UI.ps1:2:6: error: imports modules/Yorn.psd1, which is not in the package [ReferenceMissing]',
        'Install-Yorn-UI.ps1:3:21: error: imports modules/Tools, which is not in the package [ReferenceMissing]',
        'Install-Yorn-UI.ps1:4:15: error: imports the folder payload, which holds no module of its name (payload.psd1, payload.psm1 or payload.dll) [ReferenceMissing]')
    , @(@{ 'Install-Yorn-UI.ps1' = "Import-Module (Join-Path `$PSScriptRoot 'yornui.PSM1')`nipmo `"`$PSScriptRoot\Modules\yorn.psd1`" -Force`nImport-Module -Name `$PSScriptRoot\modules\tools`nImport-Module `$PSScriptRoot\Helper"
            'YornUI.psm1' = ''; 'modules/Yorn.psd1' = "@{ ModuleVersion = '1.0' }"; 'modules/Tools/2.1.0/Tools.psd1' = "@{ ModuleVersion = '2.1.0' }"; 'helper.psm1' = '' })
    # using module by a relative path, from the script's folder.
    , @(@{ 'lib/Helpers.ps1' = "using module .\Types.psm1`nusing module ../YornUI.psm1`nusing module ScheduledTasks"; 'YornUI.psm1' = '' },
        'lib/Helpers.ps1:1:14: error: loads lib/Types.psm1 with `using module`, and it is not in the package [ReferenceMissing]')
    # Running a file (&), and the files that the build adds.
    , @(@{ 'Install-Yorn-UI.ps1' = "& `"`$PSScriptRoot\tools\7z.exe`" x data.7z`n& (Join-Path `$PSScriptRoot Install-Yorn-UI.cmd) --optimize`n& `$PSScriptRoot\Install-Yorn-UI.exe" },
        'Install-Yorn-UI.ps1:1:3: error: runs tools/7z.exe, which is not in the package [ReferenceMissing]')
    # Join-Path $PSScriptRoot of a missing path is a warning, nested ones
    # said once, at the outer one; a path that Test-Path asks about may be
    # missing; a part that is not a constant passes.
    , @(@{ 'Install-Yorn-UI.ps1' = ("`$log = Join-Path `$PSScriptRoot 'install.log'`n`$json = Join-Path (Join-Path `$PSScriptRoot -ChildPath config) 'Yorn.json'`n" +
                "`$here = Join-Path `$PSScriptRoot 'Payload'`nif (Test-Path `"`$PSScriptRoot\local.ps1`") { . `"`$PSScriptRoot\local.ps1`" }`n" +
                ". (Join-Path `$PSScriptRoot `$name)`n. `"`$PSScriptRoot\`$name.ps1`"`nImport-Module (Join-Path `$env:TEMP 'x.psm1')`n. (Join-Path `$PSScriptRoot '*.ps1')")
            'payload/readme.txt' = '' },
        "Install-Yorn-UI.ps1:1:8: warning: names install.log, $made [PathMissing]", "Install-Yorn-UI.ps1:2:9: warning: names config/Yorn.json, $made [PathMissing]")
    # A path that leaves the package is a warning, whatever names it; a
    # helper's $PSScriptRoot is its own folder.
    , @(@{ 'Install-Yorn-UI.ps1' = ". `"`$PSScriptRoot\..\shared\Common.ps1`"`n`$config = Join-Path `$PSScriptRoot '..\Yorn.json'"
            'lib/Helpers.ps1' = ". `$PSScriptRoot\Util.ps1`n. `$PSScriptRoot\..\Top.ps1`nImport-Module `$PSScriptRoot/../../Other/Other.psm1"; 'lib/Util.ps1' = ''; 'Top.ps1' = ''; 'Util.ps1' = '' },
        "Install-Yorn-UI.ps1:1:3: warning: names ../shared/Common.ps1, $outside [PathLeavesPackage]", "Install-Yorn-UI.ps1:2:11: warning: names ../Yorn.json, $outside [PathLeavesPackage]",
        "lib/Helpers.ps1:3:15: warning: names ../Other/Other.psm1, $outside [PathLeavesPackage]")
    , @(@{ 'lib/Helpers.ps1' = ". (Join-Path `$PSScriptRoot 'Top.ps1')"; 'Top.ps1' = '' }, 'lib/Helpers.ps1:1:3: error: dot-sources lib/Top.ps1, which is not in the package [ReferenceMissing]')
    # What the author silences.
    , @(@{ 'Install-Yorn-UI.ps1' = "[Diagnostics.CodeAnalysis.SuppressMessageAttribute('ReferenceMissing', 'lib/Later.ps1')]`nparam([Parameter(ValueFromRemainingArguments = `$true)] `$Rest)`n. `"`$PSScriptRoot\lib\Later.ps1`"" })
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
        $got = @(foreach ($finding in (Get-PackageFindings $folder).Findings) { @(Format-Finding $finding)[0] })
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
