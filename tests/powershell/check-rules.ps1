<#
    The author's check, rule by rule, in one PowerShell process: each row
    puts its text in one script beside the other script of the default
    pair, and gives every finding the check must make of it, in order, as
    "SEVERITY: LINE:COLUMN: MESSAGE", or none for a script that passes. A
    row that also lists "note: LINE:COLUMN: write instead: FIX" lines gives
    every finding's fix so; the others leave the fixes to those rows. The
    findings themselves are compared, not the printed report, whose forms
    have rows of their own ($Formats), as do the fixes in the data
    ($FixSpans) and what 5.1 makes of each version test ($Conditions). A
    row's text may be bytes, for what 5.1 makes of each encoding; $Shipped
    holds scripts that PowerShell 7.6.10 ships for Windows.
        pwsh -NoProfile -File check-rules.ps1 [-SarifSchema sarif-2.1.0.json]
    With -SarifSchema, the SARIF log is validated against that schema.
#>
param([string] $SarifSchema = '')
Set-StrictMode -Version Latest
$ErrorActionPreference = 'Stop'
$project = Join-Path $PSScriptRoot '../..'
Import-Module (Join-Path $project 'check/check-scripts.psm1')

$s = 'Windows PowerShell 5.1, which the launcher starts,'
$fx = "$s runs on .NET Framework 4.8, which"
$remaining = 'param([Parameter(ValueFromRemainingArguments = $true)] $Rest)'
# The parts of the behaviour warnings that many rows meet.
$tls = 'may offer only SSL 3 and TLS 1.0 to the server for'
$tlsEnd = ', and fails against one that requires TLS 1.2, unless the script adds TLS 1.2 to [Net.ServicePointManager]::SecurityProtocol before it'
$parse = "with Internet Explorer's engine unless -UseBasicParsing is given, and stops where that engine is missing or was never started (Server Core, a new user profile, SYSTEM or a service account)"
$progress = "as it goes, which makes it many times slower, unless `$ProgressPreference is 'SilentlyContinue'"
$utf16 = 'writes UTF-16LE with a byte-order mark through'
$ansi = 'writes the ANSI code page through'
$noMark = 'without -Encoding, where PowerShell 7 writes UTF-8 without a byte-order mark'
$stderr = "makes each line an error there and `$ErrorActionPreference is 'Stop'; PowerShell 7.2 and later do not"
$tls12 = '[Net.ServicePointManager]::SecurityProtocol = [Net.ServicePointManager]::SecurityProtocol -bor 3072'
$b14393 = 'Windows PowerShell 5.1.14393.206, as on Windows 10 1607 and Windows Server 2016'
$b17763 = 'Windows PowerShell 5.1.17763.134, as on Microsoft Windows 10 Pro 10.0.17763.0'
$Rows = @(
    # What 5.1 cannot parse
    , @('Optimize', "param([int] `$FPS)`n`$x = (1", "error: 2:8: Missing closing ')' in expression.")
    , @('Optimize', "param([int] `$FPS)`n`$x = `$FPS ?? 60", "error: 2:11: $s cannot parse ``??``")
    , @('Optimize', "param([int] `$FPS)`n`$FPS ??= 60", "error: 2:6: $s cannot parse ``??=``")
    , @('Install', '${env:HOME}?.Length', "error: 1:1: $s cannot parse ``?.``")
    , @('Install', "`$a = @(1)`n`${a}?[0]", "error: 2:1: $s cannot parse ``?[]``")
    , @('Optimize', "param([int] `$FPS)`n`$x = `$FPS ? `$FPS : 60", "error: 2:6: $s cannot parse ``a ? b : c``")
    , @('Install', 'Get-Item . && exit 0', "error: 1:1: $s cannot parse ``&&``")
    , @('Install', 'Get-Item . || exit 1', "error: 1:1: $s cannot parse ``||``")
    , @('Install', "$remaining`nprocess { `$Rest }`nclean { exit 0 }", "error: 3:1: $s cannot parse ``clean {}``")
    , @('Install', 'Start-Sleep 1 &', "error: 1:15: $s cannot parse ``&`` at the end of a pipeline")
    , @('Install', "Get-Item .`n  # a comment`n  | Out-Null", "error: 3:3: $s cannot parse ``|`` at the start of a line")
    , @('Install', "`$x = 0b101, -0B1", "error: 1:6: $s does not read ``0b101`` as a number", "error: 1:13: $s does not read ``-0B1`` as a number")
    , @('Install', '$x = 1u, 1ul, 1y, 1uy, 1s, 1us, 0xFFu, 1n',
        "error: 1:6: $s does not read ``1u`` as a number", "error: 1:10: $s does not read ``1ul`` as a number", "error: 1:15: $s does not read ``1y`` as a number",
        "error: 1:19: $s does not read ``1uy`` as a number", "error: 1:24: $s does not read ``1s`` as a number", "error: 1:28: $s does not read ``1us`` as a number",
        "error: 1:33: $s does not read ``0xFFu`` as a number", "error: 1:40: $s does not read ``1n`` as a number")
    , @('Install', '[Array]::Empty[int]()', "error: 1:1: $s cannot parse the type arguments of ``Empty[int]()``")
    , @('Install', '"`e[32mgreen"; "`u{263A}"', "error: 1:1: $s knows no escape ``e in a string and reads it as the letter e",
        "error: 1:16: $s knows no escape ``u in a string and reads it as the letter u")
    , @('Install', "#Requires -Version 7.2`n#requires -PSEdition Core", "error: 1:1: $s refuses to run a script that says #Requires -Version 7.2",
        "error: 2:1: $s refuses to run a script that says #Requires -PSEdition Core")
    , @('Install', "'a-b' -replace '-', { '+' }", "error: 1:7: $s does not call a script block given to -replace: it replaces with the block's text")
    # Commands, parameters and values
    , @('Install', "'a' | Join-String`ngerr`nMicrosoft.PowerShell.Utility\Test-Json '{}'",
        "error: 1:7: $s has no command Join-String", "error: 2:1: $s has no command Get-Error (called as gerr)",
        "error: 3:1: $s has no command Test-Json (called as Microsoft.PowerShell.Utility\Test-Json)")
    , @('Install', "'{}' | ConvertFrom-Json -AsHash`nSplit-Path x -LeafBase",
        "error: 1:25: $s has no parameter -AsHashtable on ConvertFrom-Json (written -AsHash)", "error: 2:14: $s has no parameter -LeafBase on Split-Path")
    , @('Install', "gc x -AsByteStream`n1..4 | % -Parallel { `$_ }`niwr https://example.com -SkipCertificateCheck",
        "error: 1:6: $s has no parameter -AsByteStream on Get-Content (called as gc)",
        "error: 2:10: $s has no parameter -Parallel on ForEach-Object (called as %)",
        "warning: 3:1: $s $tls Invoke-WebRequest (called as iwr)$tlsEnd", "warning: 3:1: $s parses the response of Invoke-WebRequest (called as iwr) $parse",
        "error: 3:25: $s has no parameter -SkipCertificateCheck on Invoke-WebRequest (called as iwr)")
    , @('Install', "Get-Item . -proga SilentlyContinue`nsort -Top 3", "error: 1:12: $s has no parameter -ProgressAction on Get-Item (written -proga)",
        "error: 2:6: $s has no parameter -Top on Sort-Object (called as sort)")
    , @('Install', "Out-File x -Encoding utf8NoBOM`nSet-Content x '' -Enc:1252`nAdd-Content x '' -Encoding 'utf-8'",
        "error: 1:12: $s has no -Encoding utf8NoBOM on Out-File", "error: 2:18: $s has no -Encoding 1252 on Set-Content",
        "error: 3:18: $s has no -Encoding utf-8 on Add-Content")
    # .NET types and static members
    , @('Install', "[System.IO.Path]::GetRelativePath('a', 'b')`n[IO.Path]::Join('a', 'b')`n[math]::Clamp(5, 1, 3)",
        "error: 1:19: $fx has no static member GetRelativePath on System.IO.Path", "error: 2:12: $fx has no static member Join on System.IO.Path",
        "error: 3:9: $fx has no static member Clamp on System.Math")
    , @('Install', "[System.Text.Json.JsonSerializer]::Serialize(1)`n[Collections.Generic.PriorityQueue[string, int]]::new()",
        "error: 1:1: $fx has no type System.Text.Json.JsonSerializer",
        "error: 2:1: $fx has no type System.Collections.Generic.PriorityQueue``2")
    # Warnings
    , @('Install', "if (`$IsWindows) { 'Windows' }`n`$PSStyle.Reset", "warning: 1:5: $s does not set `$IsWindows: there it reads as `$null, or stops a script under Set-StrictMode",
        "warning: 2:1: $s does not set `$PSStyle: there it reads as `$null, or stops a script under Set-StrictMode")
    , @('Install', "[System.Windows.Forms.MessageBox]::Show('x')`n[Windows.Forms.Form]::new()",
        "warning: 1:1: $s does not load System.Windows.Forms by itself, so System.Windows.Forms.MessageBox is unknown there")
    , @('Install', "[CmdletBinding()]`nparam([string] `$Path)`nexit 0",
        'warning: 2:1: takes no remaining arguments (a [Parameter(ValueFromRemainingArguments = $true)] parameter), so PowerShell refuses any argument typed after Install-Yorn-UI.exe that names none of its parameters')
    # What the launcher passes to the optimisation script
    , @('Optimize', "[CmdletBinding()]`nparam([int] `$Rate)`nexit 0",
        'error: 2:1: declares no -FPS parameter and takes no remaining arguments, so PowerShell would refuse "Install-Yorn-UI.exe --optimize 144", which passes -FPS 144')
    , @('Optimize', 'param([switch] $FPS)', 'error: 1:7: declares -FPS as a switch, which takes no value, so the 144 of "Install-Yorn-UI.exe --optimize 144" would not reach it')
    , @('Optimize', 'param([int] $FPSMin, [int] $FPSMax)', 'error: 1:1: has both -FPSMin and -FPSMax, so PowerShell would refuse the -FPS of "Install-Yorn-UI.exe --optimize 144" as ambiguous')
    , @('Optimize', "[CmdletBinding()]`nparam([Alias('FPSMax')] [int] `$FPSLimit)")
    , @('Optimize', "[CmdletBinding()]`nparam([Alias('FPS')] [int] `$Rate)")
    , @('Optimize', "param([string] `$Name)`n`$args")
    # What passes
    , @('Install', ("if (`$PSVersionTable.PSVersion.Major -ge 6) { 'a' | Join-String; iwr https://example.com -SkipCertificateCheck }`n" +
        "if (`$PSEdition -eq 'Desktop') { `$h = @{} } elseif (`$IsCoreCLR -and `$IsLinux) { `$h = '{}' | ConvertFrom-Json -AsHashtable }`n" +
        "if (`$PSVersionTable.PSVersion.Major -lt 6) { 'five' } else { if (`$IsMacOS) { [System.IO.Path]::GetRelativePath('a', 'b') } }"))
    , @('Install', "function Join-String { 'mine' }`n'a' | Join-String`n`$IsWindows = `$true`nif (`$IsWindows) { 'set by the script' }`nclass HashCode { static [int] Combine() { return 1 } }`n[HashCode]::Combine()")
    , @('Install', "$tls12`n`$params = @{ AsHashtable = `$true }`n'{}' | ConvertFrom-Json @params -ea Stop -ev problem`niwr https://example.com -TimeoutSec 5 -UseBasicParsing")
    , @('Install', "# Join-String -AsHashtable [System.IO.Path]::GetRelativePath ``e`n'Join-String [System.IO.Path]::GetRelativePath ``e 1u'")
    , @('Install', "gc x -Raw -Encoding UTF8 -tail 1`ndir -File -Attributes Hidden`nOut-File x -Encoding ascii`n'a-b' -replace '-', '+'")
    , @('Install', "$tls12`nInstall-Module Pester -Scope CurrentUser`nInstall-PackageProvider NuGet -Force`ntar -xf x.tar`ncmd.exe /c ver`n& `$command -AsHashtable")
    , @('Install', "Add-Type -AssemblyName PresentationFramework, System.Windows.Forms`n[System.Windows.MessageBox]::Show('x')`n[System.Windows.Forms.Form]::new()")
    , @('Install', "`$x = 0x10L + 1d + 1kb + 1.5e3 + 0xFFFFFFFF`n`"``n``t```$`"`n[System.IO.Path]::GetFullPath('x')`n[System.Text.Encoding]::UTF8")
    , @('Install', ("[Diagnostics.CodeAnalysis.SuppressMessageAttribute('PSUseCompatibleTypes', '')]`n$remaining`n[System.Text.Json.JsonSerializer]`n" +
        "function Test-It {`n  [Diagnostics.CodeAnalysis.SuppressMessageAttribute('PSUseCompatibleCommands', '')]`n" +
        "  [Diagnostics.CodeAnalysis.SuppressMessageAttribute('PSUseCompatibleCmdlets', 'LeafBase')]`n  param()`n  Get-Uptime`n  Split-Path x -LeafBase`n}"))
    , @('Install', "function Test-It {`n  [Diagnostics.CodeAnalysis.SuppressMessageAttribute('PSUseCompatibleCmdlets', 'Extension')]`n  param()`n  Split-Path x -LeafBase`n}`nGet-Uptime",
        "error: 4:16: $s has no parameter -LeafBase on Split-Path", "error: 6:1: $s has no command Get-Uptime")
    # Parsed as 5.1 parses: what 7 on Linux cannot read is not refused; a
    # part the check cannot read is named once, and the rest is checked.
    , @('Install', "workflow W { parallel { Get-Uptime } }`nGet-Uptime",
        'warning: 1:1: not checked: workflow W, which PowerShell 7 cannot read; the rest of the script is checked', "error: 2:1: $s has no command Get-Uptime")
    , @('Install', "using module ScheduledTasks`nusing module BitsTransfer`nGet-ScheduledTask")
    , @('Install', "using module Yorn.Helpers`n'{}' | ConvertFrom-Json -AsHashtable",
        'warning: 1:1: not checked: module Yorn.Helpers, which `using module` loads: Windows PowerShell 5.1 does not ship it and it is not here, so the check cannot read its classes; 5.1 stops before the script starts where it is not installed',
        "error: 2:25: $s has no parameter -AsHashtable on ConvertFrom-Json")
    , @('Install', "using assembly System.Windows.Forms`n[System.Windows.Forms.MessageBox]::Show('x')")
    , @('Install', "class Inventory { [wmiclass] `$Disks; [adsi] `$User }")
    , @('Install', 'class Inventory { [Yorn.Disk] $Disk }', 'warning: 1:20: not checked: type [Yorn.Disk], which neither PowerShell 7 here nor the check knows')
    , @('Install', "Configuration Empty {}`nGet-Uptime",
        'warning: 1:1: not checked: Configuration Empty, a DSC configuration, which PowerShell 7 on Linux cannot read; the rest of the script is checked',
        "error: 2:1: $s has no command Get-Uptime")
    , @('Install', "`$a = 1 b$([char] 1)c", "error: 1:8: Unexpected token 'b[U+0001]c' in expression or statement.")
    # Guards: only the branches 5.1 does not take are excused.
    , @('Install', @'
if ((Get-Command Get-Content).Parameters.ContainsKey('AsByteStream')) { Get-Content x -AsByteStream } else { Get-Content x -Encoding Byte }
if (-not (Get-Command Get-Content).Parameters.ContainsKey('AsByteStream')) { Get-Content x -AsByteStream }
'@, "error: 2:92: $s has no parameter -AsByteStream on Get-Content")
    , @('Install', @'
function Test-IsCore { $PSVersionTable.PSEdition -eq 'Core' }
if (Test-IsCore) { 'a' | Join-String } else { Get-Uptime }
'@, "error: 2:47: $s has no command Get-Uptime")
    , @('Install', @'
function Test-Modern {
    if ($PSVersionTable.PSVersion.Major -ge 7) { return $true }
    return $false
}
if (Test-Modern) { Get-Uptime }
if (-not (Test-Modern)) { Get-Uptime }
'@, "error: 6:27: $s has no command Get-Uptime")
    , @('Install', @'
$isCore = $PSVersionTable.PSEdition -eq 'Core'
if ($isCore) { 'a' | Join-String }
$hasUptime = Get-Command Get-Uptime -ErrorAction SilentlyContinue
if ($hasUptime) { Get-Uptime } else { 'unknown' }
$modern = $false
if ($PSVersionTable.PSVersion.Major -ge 7) { $modern = $true }
if ($modern) { Get-Uptime } else { 'a' | Join-String }
'@, "error: 7:42: $s has no command Join-String")
    , @('Install', @'
switch ($PSVersionTable.PSVersion.Major) { 7 { Get-Uptime } default { 'a' | Join-String } }
switch ($PSVersionTable.PSEdition) { 'Core' { Get-Uptime } 'Desktop' { 'five' } }
switch ($PSVersionTable.PSVersion.Major) { { $_ -ge 6 } { Get-Uptime } { $_ -lt 6 } { Get-Uptime -Since } }
'@, "error: 1:77: $s has no command Join-String", "error: 3:87: $s has no command Get-Uptime")
    , @('Install', @'
$PSVersionTable.PSVersion.Major -ge 7 -and (Get-Uptime)
$PSVersionTable.PSVersion.Major -lt 6 -or (Get-Uptime)
$PSVersionTable.PSVersion.Major -ge 6 -or (Get-Uptime)
'@, "error: 3:44: $s has no command Get-Uptime")
    , @('Install', @'
try { Get-Uptime } catch { 'no uptime' }
try { '{}' | ConvertFrom-Json -AsHashtable } catch [Exception] { @{} }
try { [System.IO.Path]::GetRelativePath('a', 'b') } catch [System.Management.Automation.RuntimeException] { 'b' }
try { Get-Uptime } catch [System.IO.IOException] { 'locked' }
try { Get-Uptime } finally { 'done' }
try { $x = $y ?? 1 } catch { }
'@, "error: 4:7: $s has no command Get-Uptime", "error: 5:7: $s has no command Get-Uptime", "error: 6:15: $s cannot parse ``??``")
    , @('Install', @'
function Get-Uptime7 {
    if ($PSVersionTable.PSVersion.Major -lt 7) { return }
    Get-Uptime
}
function Get-Uptime5 {
    if ($PSVersionTable.PSVersion.Major -ge 7) { return Get-Uptime }
    'a' | Join-String
}
'@, "error: 7:11: $s has no command Join-String")
    , @('Install', @'
if ($PSVersionTable.PSVersion.Major -lt 7) { throw 'This installer needs PowerShell 7' }
Get-Uptime
'@, "error: 1:46: $s stops the script at this throw: the version test before it sends 5.1 here, so the rest runs only in PowerShell 7")
    , @('Install', @'
if ($PSVersionTable.PSVersion.Major -lt 6) { 'a', 'b' | Join-String }
if ($PSVersionTable.PSVersion.Major -ge 7) { } else { Get-Uptime }
if (-not $IsCoreCLR) { '{}' | ConvertFrom-Json -AsHashtable }
if ($PSVersionTable.PSVersion -lt [version] '6.0') { Get-Uptime }
if ($x) { Get-Uptime }
'@, "error: 1:57: $s has no command Join-String", "error: 2:55: $s has no command Get-Uptime",
        "warning: 3:10: $s does not set `$IsCoreCLR: there it reads as `$null, or stops a script under Set-StrictMode",
        "error: 3:48: $s has no parameter -AsHashtable on ConvertFrom-Json", "error: 4:54: $s has no command Get-Uptime", "error: 5:11: $s has no command Get-Uptime")
    , @('Install', @'
if ($PSVersionTable.PSVersion -ge '5.1.19041') { Get-Uptime }
if ([System.IO.Path].GetMethod('GetRelativePath')) { [IO.Path]::GetRelativePath('a', 'b') }
if ('System.Text.Json.JsonSerializer' -as [type]) { [System.Text.Json.JsonSerializer]::Serialize(1) }
if (Test-Path variable:IsCoreCLR) { Get-Uptime }
'@)
    # What the script defines or brings: its aliases and its modules.
    , @('Install', @'
Set-Alias gerr Get-ChildItem
gerr
function Get-Thing { [Alias('glu')] param() 'mine' }
glu
Set-Alias up Get-Uptime
up
'@, "error: 6:1: $s has no command Get-Uptime (called as up)")
    , @('Install', @'
Install-Module ThreadJob -Scope CurrentUser
Import-Module ThreadJob
Start-ThreadJob { 1 }
Install-Module Microsoft.PowerShell.PSResourceGet
Install-PSResource Yorn.Tools
Import-Module Microsoft.PowerShell.Utility
'a' | Join-String
'@, "warning: 1:1: $s $tls Install-Module$tlsEnd", "error: 7:7: $s has no command Join-String")
    , @('Install', "#Requires -Modules ThreadJob`nStart-ThreadJob { 1 }")
    , @('Install', "[Diagnostics.CodeAnalysis.SuppressMessageAttribute('CommandOnly7', 'Get-Uptime')]`n$remaining`nGet-Uptime`n'a' | Join-String",
        "error: 4:7: $s has no command Join-String")
    # Escapes: case matters, guards apply, and $( ) holds strings of its own.
    , @('Install', @'
if ($PSVersionTable.PSVersion.Major -ge 7) { "`e[32m" }
"Run `Enable-PSRemoting` first: ``e is a backtick and an e"
"$('`e')"
"$("`e")"
Write-Output bell`e
@"
`u{263A}
"@
'@, "error: 4:4: $s knows no escape ``e in a string and reads it as the letter e",
        "error: 5:14: $s knows no escape ``e in a string and reads it as the letter e",
        "error: 6:1: $s knows no escape ``u in a string and reads it as the letter u")
    # Numbers that only 7 reads, as a command's argument: words in 5.1.
    , @('Install', "kubectl wait --timeout 60s`ncmd.exe /c exit 0b1`nWrite-Output 1s",
        "warning: 3:14: $s passes ``1s`` to Write-Output as the word '1s', where PowerShell 7 passes the number 1")
    # Letter ranges.
    , @('Install', "'a'..'z'`n[char]'a'..[char]'f'`n'1'..'9'`n1..3`nif (`$PSVersionTable.PSVersion.Major -ge 7) { 'a'..'c' }",
        "error: 1:1: $s has no ranges of letters: it takes both ends of ``'a'..'z'`` for numbers",
        "error: 2:1: $s has no ranges of letters: it takes both ends of ``[char]'a'..[char]'f'`` for numbers")
    # Types resolved from the data, not from the PowerShell that checks.
    , @('Install', "using namespace System.IO`n[Path]::GetRelativePath('a', 'b')`n[Text.Json.JsonSerializer]::Serialize(1)`n[semver] '1.0.0'",
        "error: 2:9: $fx has no static member GetRelativePath on System.IO.Path", "error: 3:1: $fx has no type System.Text.Json.JsonSerializer",
        "error: 4:1: $s has no type [semver]: it is PowerShell 7's short name for System.Management.Automation.SemanticVersion")
    , @('Install', "function Show-It([System.Windows.Forms.Form] `$Form) { }`n[System.Windows.Forms.Form]::new()`nif (`$PSVersionTable.PSVersion.Major -ge 7) { [System.Drawing.Color]::Red }`n[System.Drawing.Color]::Blue",
        "warning: 1:18: $s does not load System.Windows.Forms by itself, so System.Windows.Forms.Form is unknown there",
        "warning: 4:1: $s does not load System.Drawing by itself, so System.Drawing.Color is unknown there")
    # What 5.1 does differently: where each rule fires, and where the script
    # already does the right thing or 5.1 does not go.
    , @('Install', @"
`$ProgressPreference = 'SilentlyContinue'
$tls12
`$page = Invoke-WebRequest https://example.com
wget https://example.com/a.zip -OutFile a.zip -PassThru
curl https://example.com
iwr https://example.com/a.json -UseBasicParsing
Invoke-WebRequest https://example.com/b.zip -OutFile b.zip
Invoke-WebRequest @request
if (`$PSVersionTable.PSVersion.Major -ge 6) { iwr https://example.com }
"@, "warning: 3:9: $s parses the response of Invoke-WebRequest $parse",
        "error: 4:1: $s runs Invoke-WebRequest for wget, where PowerShell 7 has no such alias and runs the program wget of Linux or macOS, or of Windows where one is installed",
        "error: 5:1: $s runs Invoke-WebRequest for curl, where PowerShell 7 on Windows runs curl.exe, which 5.1 runs only when written curl.exe")
    , @('Install', @'
$ProgressPreference = 'SilentlyContinue'
Invoke-RestMethod https://example.com/release.json
[Net.ServicePointManager]::SecurityProtocol = 'Tls12'
(New-Object Net.WebClient).DownloadFile('https://example.com/a.zip', 'a.zip')
'@, "warning: 2:1: $s $tls Invoke-RestMethod$tlsEnd")
    , @('Install', @'
[Net.ServicePointManager]::SecurityProtocol = [Net.SecurityProtocolType]::Tls11
if ($PSVersionTable.PSVersion.Major -ge 7) { [Net.ServicePointManager]::SecurityProtocol = 'Tls12' }
[Net.WebClient]::new().DownloadString('https://example.com')
'@, "warning: 3:24: $s $tls a WebClient's DownloadString$tlsEnd")
    , @('Install', @'
function Get-Package { Start-BitsTransfer https://example.com/a.zip a.zip }
if ([Net.ServicePointManager]::SecurityProtocol -ne 0) { [Net.ServicePointManager]::SecurityProtocol = [Net.ServicePointManager]::SecurityProtocol -bor [Net.SecurityProtocolType]::Tls12 }
Get-Package
Install-Module Pester -Scope CurrentUser
'@)
    , @('Install', @"
$tls12
function Expand-Files {
    `$ProgressPreference = 'SilentlyContinue'
    Expand-Archive a.zip a
}
if (`$PSVersionTable.PSVersion.Major -ge 7) { `$ProgressPreference = 'SilentlyContinue' }
Invoke-RestMethod https://example.com/release.json
Invoke-WebRequest https://example.com/b.zip -OutFile b.zip -UseBasicParsing
Expand-Archive b.zip b
"@, "warning: 8:1: $s draws a progress bar for Invoke-WebRequest $progress")
    , @('Install', "$tls12`niwr https://example.com/a.zip -OutFile a.zip -UseBasicParsing -ProgressAction SilentlyContinue",
        "error: 2:63: $s has no parameter -ProgressAction on Invoke-WebRequest (called as iwr)")
    , @('Install', @'
'done' > install.log
Get-Date >> install.log
$settings | Out-File settings.ini
Set-Content config.json $json
Add-Content -Path mod.cfg -Value 'name=Yorn' -Encoding UTF8
git status 2> git-errors.txt
'@, "warning: 1:8: $s $utf16 >, where PowerShell 7 writes UTF-8 without one", "warning: 2:10: $s $utf16 >>, where PowerShell 7 writes UTF-8 without one",
        "warning: 3:13: $s $utf16 Out-File $noMark", "warning: 4:1: $s $ansi Set-Content $noMark",
        "warning: 5:56: $s writes a UTF-8 byte-order mark with -Encoding UTF8 on Add-Content, where PowerShell 7 writes none",
        "warning: 6:12: $s $utf16 >, where PowerShell 7 writes UTF-8 without one")
    , @('Install', @'
git status > $null
git status 2>&1 | Out-Null
'x' | Out-File (Join-Path $PSScriptRoot 'Setup.ps1')
$module = Join-Path $PSScriptRoot 'Yorn.psm1'
Set-Content $module $text
Set-Content a.psd1 '@{}' -Encoding UTF8
Set-Content a.txt $text -Encoding ASCII
Out-File a.txt -InputObject $text -Encoding $encoding
Set-Content version.txt '1.0.0'
[IO.File]::WriteAllText("$PWD\a.txt", $text, (New-Object Text.UTF8Encoding $false))
if ($PSVersionTable.PSVersion.Major -ge 6) { Set-Content a.txt $text }
Set-Content a.bin $bytes -AsByteStream
'@, "error: 12:26: $s has no parameter -AsByteStream on Set-Content")
    # A path variable is read in the function it is used in, where that
    # function assigns it.
    , @('Install', @'
function Save-Module { $path = Join-Path $PSScriptRoot 'Yorn.psm1'; Set-Content $path $text }
function Save-Config { $path = Join-Path $env:APPDATA 'yorn.cfg'; Set-Content $path $text }
function Save-Other { $path = Join-Path $PSScriptRoot 'Other.psm1'; Set-Content $path $text }
Save-Module; Save-Config; Save-Other
'@, "warning: 2:67: $s $ansi Set-Content $noMark")
    , @('Install', @'
$ErrorActionPreference = 'Stop'
git fetch 2>&1 | Out-Null
& "$env:ProgramFiles\Git\bin\git.exe" fetch 2>$null
$ErrorActionPreference = 'Continue'
git fetch 2>&1
$ErrorActionPreference = 'Stop'
Get-Item x 2>$null
git fetch
& $git fetch 2>&1
cmd.exe /c "git fetch 2>&1"
'@, "warning: 2:11: $s stops the script at the first line that git writes to stderr, since 2>&1 $stderr",
        "warning: 3:45: $s stops the script at the first line that `"`$env:ProgramFiles\Git\bin\git.exe`" writes to stderr, since 2>`$null $stderr")
    , @('Install', @'
[CmdletBinding()]
param([string] $Root = (Split-Path $PSScriptRoot), [string] $Log = "$PSCommandPath.log",
    [Parameter(ValueFromRemainingArguments = $true)] $Rest)
'@, "error: 2:36: $s leaves `$PSScriptRoot empty in the parameter defaults of an advanced script, so the default of -Root is wrong or fails there",
        "error: 2:69: $s leaves `$PSCommandPath empty in the parameter defaults of an advanced script, so the default of -Log is wrong or fails there")
    , @('Install', @'
param([string] $Root = $PSScriptRoot, $Rest)
function Get-Root { [CmdletBinding()] param([string] $Root = $PSScriptRoot) $Root }
'@)
    , @('Install', @'
if (!$IsWindows) { Write-Warning 'not Windows' }
$onOther = $IsWindows -ne $true
if ($IsWindows -eq $false) { throw 'not Windows' }
if ($PSEdition -eq 'Core' -and -not $IsWindows) { throw 'This installer runs on Windows' }
if (-not $IsWindows) { throw 'This installer runs on Windows' }
'installing'
'@, "warning: 1:5: $s does not set `$IsWindows, so ``!`$IsWindows`` is true there, on Windows",
        "warning: 2:12: $s does not set `$IsWindows, so ```$IsWindows -ne `$true`` is true there, on Windows",
        "warning: 3:5: $s does not set `$IsWindows: there it reads as `$null, or stops a script under Set-StrictMode",
        "error: 5:5: $s does not set `$IsWindows, so ``-not `$IsWindows`` is true there and this branch throws on every Windows machine")
    , @('Install', "if (`$PSVersionTable.PSVersion.Major -lt 6) { `$IsWindows = `$true }`nif (-not `$IsWindows) { exit 1 }`n'installing'")
    , @('Install', "if (-not `$IsWindows) { Write-Error 'Windows only'; return }`n'installing'",
        "error: 1:5: $s does not set `$IsWindows, so ``-not `$IsWindows`` is true there and this branch returns from the script on every Windows machine")
    # They are silenced by their own names, a subject at a time; $PROFILE
    # is PowerShell's own file; a WebClient is one however it is named,
    # and only a WebClient's Download methods download.
    , @('Install', @'
function Save-Log {
    [Diagnostics.CodeAnalysis.SuppressMessageAttribute('WriteEncoding', 'Out-File')]
    param()
    'done' | Out-File install.log
    Set-Content settings.ini $text
}
Add-Content $PROFILE $line
'done' | Out-File install.log
'@, "warning: 5:5: $s $ansi Set-Content $noMark", "warning: 8:10: $s $utf16 Out-File $noMark")
    , @('Install', @'
[Diagnostics.CodeAnalysis.SuppressMessageAttribute('DownloadTls', '')]
param([Parameter(ValueFromRemainingArguments = $true)] $Rest)
Invoke-WebRequest https://example.com/a.zip -OutFile a.zip
'@, "warning: 3:1: $s draws a progress bar for Invoke-WebRequest $progress")
    , @('Install', @'
using namespace System.Net
$ProgressPreference = 'SilentlyContinue'
$client = New-Object WebClient
$client.DownloadFileTaskAsync('https://example.com/a.zip', 'a.zip')
$bytes = $client.DownloadData('https://example.com/b.zip')
'@, "warning: 4:9: $s $tls a WebClient's DownloadFileTaskAsync$tlsEnd")
    , @('Install', @'
$ProgressPreference = 'SilentlyContinue'
$stream = New-Object IO.MemoryStream
$stream.DownloadData('https://example.com/b.zip')
Invoke-RestMethod https://example.com/release.json | Out-Null
'@, "warning: 4:1: $s $tls Invoke-RestMethod$tlsEnd")
    # Each of them says how to write it for 5.1.
    , @('Install', @'
[CmdletBinding()]
param([string] $Root = $PSScriptRoot, [string] $Log = "$PSCommandPath.log", [Parameter(ValueFromRemainingArguments = $true)] $Rest)
$ErrorActionPreference = 'Stop'
$onOther = !$IsWindows
Invoke-WebRequest https://example.com/a.zip -OutFile a.zip
$page = curl https://example.com
git fetch 2>&1
'done' > install.log
Get-Date >> install.log
Add-Content mod.cfg $line
if (-not $IsWindows) { throw 'This installer runs on Windows' }
'@,
        "error: 2:24: $s leaves `$PSScriptRoot empty in the parameter defaults of an advanced script, so the default of -Root is wrong or fails there",
        'note: 2:24: write instead: the default in the body: `param([string] $Root)`, then first `if (-not $Root) { $Root = $PSScriptRoot }`',
        "error: 2:56: $s leaves `$PSCommandPath empty in the parameter defaults of an advanced script, so the default of -Log is wrong or fails there",
        'note: 2:56: write instead: the default in the body: `param([string] $Log)`, then first `if (-not $Log) { $Log = "$PSCommandPath.log" }`',
        "warning: 4:12: $s does not set `$IsWindows, so ``!`$IsWindows`` is true there, on Windows",
        'note: 4:12: write instead: `($PSVersionTable.PSEdition -eq ''Core'' -and -not $IsWindows)`, false in 5.1',
        "warning: 5:1: $s draws a progress bar for Invoke-WebRequest as it goes, which makes it many times slower, unless `$ProgressPreference is 'SilentlyContinue'",
        'note: 5:1: write instead: `$ProgressPreference = ''SilentlyContinue''` at the top of the script',
        "warning: 5:1: $s may offer only SSL 3 and TLS 1.0 to the server for Invoke-WebRequest, and fails against one that requires TLS 1.2, unless the script adds TLS 1.2 to [Net.ServicePointManager]::SecurityProtocol before it",
        'note: 5:1: write instead: `if ([Net.ServicePointManager]::SecurityProtocol -ne 0) { [Net.ServicePointManager]::SecurityProtocol = [Net.ServicePointManager]::SecurityProtocol -bor [Net.SecurityProtocolType]::Tls12 }` before the first download, which keeps SystemDefault (0)',
        "error: 6:9: $s runs Invoke-WebRequest for curl, where PowerShell 7 on Windows runs curl.exe, which 5.1 runs only when written curl.exe",
        'note: 6:9: write instead: `curl.exe -fsSLo yorn.zip https://example.com/yorn.zip` (Windows 10 1803 and later), or `Invoke-WebRequest https://example.com/yorn.zip -OutFile yorn.zip -UseBasicParsing`',
        "warning: 7:11: $s stops the script at the first line that git writes to stderr, since 2>&1 makes each line an error there and `$ErrorActionPreference is 'Stop'; PowerShell 7.2 and later do not",
        'note: 7:11: write instead: `$ErrorActionPreference = ''Continue''` before the call and `''Stop''` after it, then `if ($LASTEXITCODE -ne 0) { throw ''failed'' }`',
        "warning: 8:8: $s writes UTF-16LE with a byte-order mark through >, where PowerShell 7 writes UTF-8 without one",
        'note: 8:8: write instead: `[IO.File]::WriteAllLines($path, [string[]] $lines)` with a full $path: UTF-8 without a byte-order mark in 5.1 and 7',
        "warning: 9:10: $s writes UTF-16LE with a byte-order mark through >>, where PowerShell 7 writes UTF-8 without one",
        'note: 9:10: write instead: `[IO.File]::AppendAllLines($path, [string[]] $lines)` with a full $path: UTF-8 without a byte-order mark in 5.1 and 7',
        "warning: 10:1: $s writes the ANSI code page through Add-Content without -Encoding, where PowerShell 7 writes UTF-8 without a byte-order mark",
        'note: 10:1: write instead: `[IO.File]::AppendAllLines($path, [string[]] $lines)` with a full $path: UTF-8 without a byte-order mark in 5.1 and 7',
        "error: 11:5: $s does not set `$IsWindows, so ``-not `$IsWindows`` is true there and this branch throws on every Windows machine",
        'note: 11:5: write instead: `if ($PSVersionTable.PSEdition -eq ''Core'' -and -not $IsWindows) { throw ''This installer runs on Windows'' }`')
    # 5.1's own view of its commands: positions, parameter aliases, aliases.
    , @('Install', @'
Join-Path $PSScriptRoot 'lib' 'Helpers.ps1'
Join-Path (Join-Path $PSScriptRoot 'lib') 'Helpers.ps1'
Write-Output one two three four
Get-ChildItem -Recurse . *.txt
Get-ChildItem -Recurse . *.txt extra
Get-Content -Tail:5 a.log b.log
Join-Path @parts a b c
Out-Null x
'@, "error: 1:31: $s takes at most 2 positional arguments for Join-Path and stops at this 3rd one",
        "error: 5:32: $s takes at most 2 positional arguments for Get-ChildItem and stops at this 3rd one",
        "error: 6:27: $s takes one positional argument at most for Get-Content and stops at this 2nd one",
        "error: 8:10: $s takes no positional argument for Out-Null and stops at this one")
    , @('Install', "Test-Connection yorn.example -TTL 64 -Count 1`nTest-Connection yorn.example -MaxHops 64",
        "error: 2:30: $s has no parameter -MaxHops on Test-Connection")
    , @('Install', @'
curl -fsSL https://example.com/yorn.zip -o yorn.zip
wget https://example.com/yorn.zip
sc stop MySvc
curl.exe -fsSL https://example.com/yorn.zip -o yorn.zip
iwr https://example.com/yorn.zip -OutFile yorn.zip
trcm Yorn { 1 }
'@, "error: 1:1: $s runs Invoke-WebRequest for curl, where PowerShell 7 on Windows runs curl.exe, which 5.1 runs only when written curl.exe",
        "error: 2:1: $s runs Invoke-WebRequest for wget, where PowerShell 7 has no such alias and runs the program wget of Linux or macOS, or of Windows where one is installed",
        "error: 3:1: $s runs Set-Content for sc, where PowerShell 7 on Windows runs sc.exe, which 5.1 runs only when written sc.exe",
        "warning: 5:1: $s draws a progress bar for Invoke-WebRequest (called as iwr) $progress",
        "warning: 5:1: $s $tls Invoke-WebRequest (called as iwr)$tlsEnd")
    , @('Install', @'
function sc { sc.exe @args }
Set-Alias wget Invoke-WebRequest
sc stop MySvc
wget https://example.com/yorn.zip -OutFile yorn.zip
if ($PSVersionTable.PSVersion.Major -ge 7) { curl -fsSL https://example.com/yorn.zip -o yorn.zip }
curl https://example.com/yorn.zip
'@, "warning: 4:1: $s draws a progress bar for Invoke-WebRequest (called as wget) $progress",
        "warning: 4:1: $s $tls Invoke-WebRequest (called as wget)$tlsEnd",
        "error: 6:1: $s runs Invoke-WebRequest for curl, where PowerShell 7 on Windows runs curl.exe, which 5.1 runs only when written curl.exe")
    # PowerShell 7's own type names, and the assemblies it ships.
    , @('Install', @'
[semver] '1.0.0'
$x = [uint] 1 + [ushort] 1 + [ulong] 1 + [short] 1 + [uint32] 1 + [int16] 1
function Set-Name { param([ValidateNotNullOrWhiteSpace()] [string] $Name, [ArgumentCompletions('a', 'b')] $Letter, [ValidateNotNullOrEmpty()] $Other) }
[Newtonsoft.Json.JsonConvert]::SerializeObject(1)
[wmiclass] 'Win32_Process'; [adsi] 'WinNT://.'; $h = [ordered] @{ a = 1 }
[System.Collections.Generic.List[semver]]::new()
'@, "error: 1:1: $s has no type [semver]: it is PowerShell 7's short name for System.Management.Automation.SemanticVersion",
        "error: 2:6: $s has no type [uint]: it is PowerShell 7's short name for System.UInt32",
        "error: 2:17: $s has no type [ushort]: it is PowerShell 7's short name for System.UInt16",
        "error: 2:30: $s has no type [ulong]: it is PowerShell 7's short name for System.UInt64",
        "error: 2:42: $s has no type [short]: it is PowerShell 7's short name for System.Int16",
        "error: 3:27: $s has no attribute [ValidateNotNullOrWhiteSpace()]: it is PowerShell 7's short name for System.Management.Automation.ValidateNotNullOrWhiteSpaceAttribute, which PowerShell 7.4 added",
        "error: 3:75: $s has no attribute [ArgumentCompletions()]: it is PowerShell 7's short name for System.Management.Automation.ArgumentCompletionsAttribute, which PowerShell 6.0 added",
        "error: 4:1: $s has no type [Newtonsoft.Json.JsonConvert]: it comes with Newtonsoft.Json, an assembly that PowerShell 7 ships and .NET Framework 4.8 lacks",
        "error: 6:1: $s has no type [semver]: it is PowerShell 7's short name for System.Management.Automation.SemanticVersion")
    , @('Install', @'
Add-Type -Path (Join-Path $PSScriptRoot 'Newtonsoft.Json.dll')
[Newtonsoft.Json.JsonConvert]::SerializeObject(1)
'@)
    , @('Install', @'
Add-Type -LiteralPath 'lib\Newtonsoft.Json.dll'
[Newtonsoft.Json.JsonConvert]::SerializeObject(1)
[Markdig.Markdown]::ToHtml('# Yorn')
'@, "error: 3:1: $s has no type [Markdig.Markdown]: it comes with Markdig.Signed, an assembly that PowerShell 7 ships and .NET Framework 4.8 lacks")
    # Static methods, by their number of arguments.
    , @('Install', @'
[IO.File]::Move($from, $to, $true)
[IO.File]::Move($from, $to)
[Enum]::Parse([DayOfWeek], 'Monday', $true)
[Math]::DivRem(7, 2)
[System.Math]::DivRem(7, 2, [ref] $rest)
[DayOfWeek]::Parse('Monday')
'@, "error: 1:12: $fx has no overload of System.IO.File::Move that takes 3 arguments: it takes 2",
        "error: 4:9: $fx has no overload of System.Math::DivRem that takes 2 arguments: it takes 3")
    # What each of 5.1's rules says to write instead, by what it names.
    , @('Install', @'
Join-Path $PSScriptRoot 'lib' 'Helpers.ps1'
Curl -fsSL https://example.com/yorn.zip -o yorn.zip
[SemVer] '1.0.0'
[IO.File]::Move($from, $to, $true)
'@, "error: 1:31: $s takes at most 2 positional arguments for Join-Path and stops at this 3rd one",
        'note: 1:31: write instead: a `Join-Path` for each part: `Join-Path (Join-Path $PSScriptRoot ''lib'') ''Helpers.ps1''`, or `[IO.Path]::Combine($PSScriptRoot, ''lib'', ''Helpers.ps1'')`',
        "error: 2:1: $s runs Invoke-WebRequest for Curl, where PowerShell 7 on Windows runs curl.exe, which 5.1 runs only when written curl.exe",
        'note: 2:1: write instead: `curl.exe -fsSLo yorn.zip https://example.com/yorn.zip` (Windows 10 1803 and later), or `Invoke-WebRequest https://example.com/yorn.zip -OutFile yorn.zip -UseBasicParsing`',
        "error: 3:1: $s has no type [SemVer]: it is PowerShell 7's short name for System.Management.Automation.SemanticVersion",
        'note: 3:1: write instead: `[version] ''1.0.0''`, with any pre-release label kept apart as a string',
        "error: 4:12: $fx has no overload of System.IO.File::Move that takes 3 arguments: it takes 2",
        'note: 4:12: write instead: `Move-Item -LiteralPath $from -Destination $to -Force`, which replaces the target')
    # A catch of what 5.1 throws there excuses each; an alias that runs
    # another cmdlet throws nothing, and an overload is no IOException.
    , @('Install', @'
try { Join-Path $PSScriptRoot 'lib' 'Helpers.ps1' } catch [System.Management.Automation.ParameterBindingException] { 'lib\Helpers.ps1' }
try { [IO.File]::Move($a, $b, $true) } catch [System.Management.Automation.MethodException] { Move-Item $a $b -Force }
try { [semver] '1.0.0' } catch { [version] '1.0.0' }
try { Get-VM } catch [System.Management.Automation.CommandNotFoundException] { }
try { sc stop MySvc } catch { }
try { [IO.File]::Move($a, $b, $true) } catch [System.IO.IOException] { }
try { if (-not $IsWindows) { throw 'not Windows' } } catch { 'going on' }
'@, "error: 5:7: $s runs Set-Content for sc, where PowerShell 7 on Windows runs sc.exe, which 5.1 runs only when written sc.exe",
        "error: 6:18: $fx has no overload of System.IO.File::Move that takes 3 arguments: it takes 2")
    # Commands of one 5.1 build: a warning, once a command.
    , @('Install', @'
Get-VM
if (Get-Command Get-VM -ErrorAction SilentlyContinue) { Get-VM | Stop-VM }
Get-StorageBusDisk
Get-VM
'@, "warning: 1:1: $s has Get-VM (module Hyper-V) only where Windows brings that module: the check's data of $b14393, has it; that of $b17763, does not",
        "warning: 3:1: $s has Get-StorageBusDisk (module StorageBusCache) only where Windows brings that module: the check's data of $b17763, has it; that of $b14393, does not")
    # Read as 5.1 reads the file: each byte-order mark, UTF-32 first.
    , @('Install', [byte[]] (@(0xFF, 0xFE, 0, 0) + [System.Text.Encoding]::UTF32.GetBytes("'ok'`nGet-Uptime")), "error: 2:1: $s has no command Get-Uptime")
    , @('Install', [byte[]] (@(0, 0, 0xFE, 0xFF) + [System.Text.UTF32Encoding]::new($true, $false).GetBytes("'ok'`nGet-Uptime")), "error: 2:1: $s has no command Get-Uptime")
    , @('Install', [byte[]] (@(0xFE, 0xFF) + [System.Text.Encoding]::BigEndianUnicode.GetBytes("'ok'`nGet-Uptime")), "error: 2:1: $s has no command Get-Uptime")
    , @('Install', [System.Text.Encoding]::Unicode.GetBytes("'ok'`nGet-Uptime"),
        "error: 1:2: holds NUL bytes and has no byte-order mark, so Windows PowerShell 5.1 reads it in the user's ANSI code page, NULs included, and cannot run it (UTF-16 saved without its mark looks so)")
    # 5.1 reads a script that is not UTF-8 in the ANSI code page, where
    # byte 0x92 is a closing quote that PowerShell takes for a single quote.
    , @('Install', [byte[]] (0x27, 0x69, 0x74, 0x92, 0x73, 0x27),
        "warning: 1:4: is not UTF-8, so Windows PowerShell 5.1 reads it in the user's ANSI code page and its meaning depends on that code page (checked here as Windows-1252)",
        "error: 1:5: Unexpected token 's'' in expression or statement.", "error: 1:6: The string is missing the terminator: '.")
    , @('Install', [byte[]] (0x92, 0x0A, 0x27, 0x6F, 0x6B, 0x27),
        "warning: 1:1: is not UTF-8, so Windows PowerShell 5.1 reads it in the user's ANSI code page and its meaning depends on that code page (checked here as Windows-1252)",
        "error: 2:2: Unexpected token 'ok'' in expression or statement.", "error: 2:4: The string is missing the terminator: '.")
    # How to write each for 5.1: the fix for the finding's subject, else
    # the rule's own (-Stable), and none where there is no way (NotChecked).
    , @('Install', "'{}' | ConvertFrom-Json -AsHashtable`nOut-File x -Encoding utf8NoBOM`n`"``e[1m`"`nGet-Item . && exit 0",
        "error: 1:25: $s has no parameter -AsHashtable on ConvertFrom-Json",
        'note: 1:25: write instead: `ConvertFrom-Json` without it: its object reads the same (`$o.name`, `$o.PSObject.Properties`)',
        "error: 2:12: $s has no -Encoding utf8NoBOM on Out-File",
        'note: 2:12: write instead: `[IO.File]::WriteAllText($path, $text, (New-Object Text.UTF8Encoding $false))`; to read, `-Encoding UTF8`',
        "error: 3:1: $s knows no escape ``e in a string and reads it as the letter e",
        'note: 3:1: write instead: `$([char]27)` in the string, as in `"$([char]27)[32mgreen"`',
        "error: 4:1: $s cannot parse ``&&``",
        'note: 4:1: write instead: `a; if ($?) { b }`, or `if ($LASTEXITCODE -eq 0) { b }` after a program')
    , @('Optimize', "param([int] `$FPS)`n`$x = `$FPS ? `$FPS : 60`n[IO.Path]::GetRelativePath('a', 'b')`n'a-b' -replace '-', { '+' }`nJoin-Path a -AdditionalChildPath b, c`n'a', 'b' | Join-String`n'a'..'z'",
        "error: 2:6: $s cannot parse ``a ? b : c``",
        'note: 2:6: write instead: `if ($a) { $b } else { $c }`, inside `$( )` where it is a value',
        "error: 3:12: $fx has no static member GetRelativePath on System.IO.Path",
        'note: 3:12: write instead: `Resolve-Path -Relative $path` after `Push-Location $base` (then `Pop-Location`)',
        "error: 4:7: $s does not call a script block given to -replace: it replaces with the block's text",
        'note: 4:7: write instead: `[regex]::Replace($text, $pattern, { param($m) $m.Value.ToUpper() }, ''IgnoreCase'')`, which calls the block for each match',
        "error: 5:13: $s has no parameter -AdditionalChildPath on Join-Path",
        'note: 5:13: write instead: a nested `Join-Path`, one child each: `Join-Path (Join-Path $a $b) $c`',
        "error: 6:12: $s has no command Join-String",
        'note: 6:12: write instead: `$items -join '', ''`; for a format, `($items | ForEach-Object { "[$_]" }) -join '', ''`',
        "error: 7:1: $s has no ranges of letters: it takes both ends of ``'a'..'z'`` for numbers",
        'note: 7:1: write instead: the code points, cast back to letters: `[char[]] (97..122)`')
    , @('Install', "workflow W { parallel { Get-Uptime } }`nGet-Uptime`nSort-Object -Stable`nSet-Content x 'y' -Encoding UTF8NOBOM",
        'warning: 1:1: not checked: workflow W, which PowerShell 7 cannot read; the rest of the script is checked',
        "error: 2:1: $s has no command Get-Uptime",
        'note: 2:1: write instead: `(Get-Date) - (Get-CimInstance Win32_OperatingSystem).LastBootUpTime`',
        "error: 3:13: $s has no parameter -Stable on Sort-Object",
        'note: 3:13: write instead: the call without it, as 5.1''s `Get-Help` shows the command',
        "error: 4:19: $s has no -Encoding UTF8NOBOM on Set-Content",
        'note: 4:19: write instead: `[IO.File]::WriteAllText($path, $text, (New-Object Text.UTF8Encoding $false))`; to read, `-Encoding UTF8`')
    , @('Install', (Get-Content -Raw (Join-Path $project 'package/Install-Yorn-UI.ps1')))
    , @('Optimize', (Get-Content -Raw (Join-Path $project 'package/Optimize-Yorn-UI.ps1')))
)

# What 5.1 makes of a condition (T true, F false, U cannot tell, O
# ordinary: not about the version), after the lines before it.
$Conditions = @(
    , @('$PSVersionTable.PSVersion.Major -ge 7', 'F')
    , @('$PSVersionTable.PSVersion.Major -lt 6', 'T')
    , @('($PSVersionTable.PSVersion.Major) -ge 6', 'F')
    , @('$PSVersionTable.PSVersion.Major -eq 5 -and $PSVersionTable.PSVersion.Minor -eq 1', 'T')
    , @('$PSVersionTable.PSVersion -ge [version] "7.0"', 'F')
    , @('$PSVersionTable.PSVersion -ge "5.1"', 'T')
    , @('$PSVersionTable.PSVersion -gt "5.1.17763"', 'U')
    , @('$PSVersionTable.PSVersion.Major -ge $minimum', 'U')
    , @('$PSVersionTable.GitCommitId', 'U')
    , @('$PSVersionTable.PSEdition -eq "Core"', 'F')
    , @('$PSEdition -ne "Desktop"', 'F')
    , @('$PSVersionTable.PSEdition -like "Desk*"', 'T')
    , @('$PSVersionTable.Platform -eq "Unix"', 'F')
    , @('$PSVersionTable.ContainsKey("PSEdition")', 'T')
    , @('$IsCoreCLR', 'F')
    , @('[bool] $IsCoreCLR', 'F')
    , @('-not $IsWindows', 'T')
    , @('!$IsLinux', 'T')
    , @('$null -eq $IsMacOS', 'T')
    , @('$PSVersionTable.PSVersion.Major -ge 7 -and $x', 'F')
    , @('$PSVersionTable.PSVersion.Major -lt 7 -and $x', 'O')
    , @('$PSVersionTable.PSVersion.Major -ge 7 -or $x', 'O')
    , @('$PSVersionTable.PSVersion.Major -lt 7 -or $x', 'T')
    , @('$x -gt 3', 'O')
    , @('Get-Command Get-Uptime -ErrorAction SilentlyContinue', 'F')
    , @('Get-Command Get-Item', 'T')
    , @('Get-Command choco -ErrorAction Ignore', 'O')
    , @('(Get-Command Get-Content).Parameters.ContainsKey("AsByteStream")', 'F')
    , @('(Get-Command gc).Parameters.ContainsKey("Raw")', 'T')
    , @('(Get-Command Get-Content).Parameters["Encoding"]', 'T')
    , @('(Get-Command ConvertFrom-Json).Parameters.Keys -contains "AsHashtable"', 'F')
    , @('"AsHashtable" -notin (Get-Command ConvertFrom-Json).Parameters.Keys', 'T')
    , @('[System.IO.Path].GetMethod("GetRelativePath")', 'F')
    , @('[System.IO.Path].GetMethod("Combine")', 'O')
    , @('[IO.Path]::GetRelativePath', 'F')
    , @('"System.Text.Json.JsonSerializer" -as [type]', 'F')
    , @('Test-Path variable:IsCoreCLR', 'F')
    , @('Test-Path Variable:\PSEdition', 'T')
    , @('Get-Variable IsCoreCLR -ErrorAction Ignore', 'F')
    , @('Test-IsCore', 'F', "function Test-IsCore { `$PSVersionTable.PSEdition -eq 'Core' }")
    , @('Test-Old', 'T', "function Test-Old {`n  Write-Verbose 'asked'`n  if (`$PSVersionTable.PSVersion.Major -lt 6) { return `$true }`n  `$false`n}")
    , @('Test-Later', 'U', "function Test-Later { foreach (`$v in `$PSVersionTable.PSVersion) { `$v } }")
    , @('$isCore', 'F', "`$isCore = `$PSEdition -eq 'Core'")
    , @('$core', 'F', "`$core = `$false`nif (`$PSVersionTable.PSVersion.Major -ge 6) { `$core = `$true }")
    , @('$answer', 'O', '$answer = Read-Host')
    , @('$IsWindows', 'T', '$IsWindows = $true')
)

# Scripts that PowerShell 7.6.10 ships for Windows, as they are: modules
# that run on 5.1 must pass, and scripts that need 7 must be refused. They
# lie beside the PowerShell that runs this (the .NET tool's win/ folder);
# with a PowerShell installed otherwise, these rows are skipped and said so.
# PowerShellGet writes files in 5.1's encodings (CLIXML through Out-File, a
# project file, a manifest), which it reads back in 5.1 itself.
$windowsFolder = Join-Path $PSHOME '../win'
$outFile = "Out-File (called as Microsoft.PowerShell.Utility\Out-File)"
$Shipped = @(
    , @('Modules/PowerShellGet/PSModule.psm1', "warning: 1027:5: $s $utf16 $outFile $noMark", "warning: 4579:9: $s $ansi Set-Content $noMark",
        "warning: 6196:9: $s $utf16 $outFile $noMark", "warning: 6214:9: $s $utf16 $outFile $noMark",
        "warning: 14034:17: $s $ansi Set-Content (called as Microsoft.PowerShell.Management\Set-Content) $noMark")
    , @('Modules/PackageManagement/PackageProviderFunctions.psm1')
    # 1.2.7, as 7 ships it, extracts with an overload that 4.8 lacks;
    # 5.1's own Archive module is another.
    , @('Modules/Microsoft.PowerShell.Archive/Microsoft.PowerShell.Archive.psm1',
        "error: 1162:56: $fx has no overload of System.IO.Compression.ZipFileExtensions::ExtractToDirectory that takes 3 arguments: it takes 2")
    , @('Modules/PSDiagnostics/PSDiagnostics.psm1')
    , @('Modules/PSReadLine/PSReadLine.psm1')
    , @('RegisterMicrosoftUpdate.ps1', "error: 45:8: $s has no command Start-ThreadJob")
    , @('pwsh.profile.resource.ps1', "error: 48:47: $s has no parameter -EnumsAsStrings on ConvertTo-Json",
        "error: 91:146: $s has no parameter -EnumsAsStrings on ConvertTo-Json", "error: 92:140: $s has no parameter -EnumsAsStrings on ConvertTo-Json",
        "error: 93:146: $s has no parameter -EnumsAsStrings on ConvertTo-Json", "error: 94:153: $s has no parameter -EnumsAsStrings on ConvertTo-Json",
        "warning: 147:17: $s $ansi Set-Content $noMark")
)

$check = Get-Module check-scripts

# Findings as the rows write them: "SEVERITY: LINE:COLUMN: MESSAGE", the
# file named before the line only when it is not the row's script, and,
# with $Notes, "note: LINE:COLUMN: write instead: FIX" after each that has
# a fix. A message is one line, as every report prints it.
function Get-RowLines([object[]] $Findings, [string] $Name, [bool] $Notes) {
    foreach ($finding in $Findings) {
        $at = "$($finding.Line):$($finding.Column):"
        if ($finding.File -ne $Name) { $at = "$($finding.File):$at" }
        "$($finding.Severity): $at $(& $check { ConvertTo-OneLine $args[0] } $finding.Message)"
        if ($Notes -and $finding.Fix) { "note: $at write instead: $($finding.Fix)" }
    }
}

$folder = Join-Path ([System.IO.Path]::GetTempPath()) "check-rules-$PID"
$failures = 0
try {
    foreach ($row in $Rows) {
        $name = "$($row[0])-Yorn-UI.ps1"
        [void] (New-Item -ItemType Directory -Force $folder)
        Copy-Item (Join-Path $project 'package/*.ps1') $folder
        # Bytes as they are, for what 5.1 reads in each encoding; text as UTF-8.
        if ($row[1] -is [byte[]]) {
            [System.IO.File]::WriteAllBytes((Join-Path $folder $name), $row[1])
        } else {
            Set-Content -LiteralPath (Join-Path $folder $name) -Value $row[1] -NoNewline
        }
        $want = @($row | Select-Object -Skip 2)
        $notes = @($want -like 'note: *').Count -gt 0
        $got = @(foreach ($script in 'Install-Yorn-UI.ps1', 'Optimize-Yorn-UI.ps1') { Get-RowLines (Get-ScriptFindings $folder $script) $name $notes })
        if (($want -join "`n") -cne ($got -join "`n")) {
            $failures++
            $shown = if ($row[1] -is [byte[]]) { [BitConverter]::ToString($row[1]) } else { $row[1] }
            [Console]::Error.WriteLine("$name holding:`n$shown`nexpected:`n$($want -join "`n")`ngot:`n$($got -join "`n")`n")
        }
    }
} finally {
    Remove-Item -Recurse -Force -LiteralPath $folder -ErrorAction Ignore
}
foreach ($condition in $Conditions) {
    $text = "$(if ($condition.Count -gt 2) { $condition[2] })`nif ($($condition[0])) { }"
    $got = & $check {
        param([string] $Text)
        $parsed = Read-ScriptTree $Text 'Install-Yorn-UI.ps1'
        $context = New-CheckContext 'Install-Yorn-UI.ps1' $parsed.Text $parsed.Tree $parsed.Tokens
        $if = @($context.Nodes[[System.Management.Automation.Language.IfStatementAst]])[-1]
        (Get-IfReach $context $context.IfTests[$if] 0 $false).State
    } $text
    if ($got -cne $condition[1]) {
        $failures++
        [Console]::Error.WriteLine("the condition ($($condition[0])) after:`n$text`nexpected $($condition[1]), got $got`n")
    }
}
# A parameter that one 5.1 build has and the other lacks: none of 7.6's
# commands has one in the data, so Test-Connection's entry, as the data
# holds it, is given -Protocol as one of 14393's for this row alone.
$text = "Test-Connection yorn.example -Protocol WSMan`nTest-Connection yorn.example -Count 1"
$want = @("warning: 1:30: $s has -Protocol of Test-Connection only where Windows brings it: the check's data of $b14393, has it; that of $b17763, does not"
    'note: 1:30: write instead: a test before the call: `if (Get-Command Get-VM -ErrorAction SilentlyContinue) { Get-VM }`, or for a parameter `if ((Get-Command Test-Connection).Parameters.ContainsKey(''Protocol'')) { }`')
$found = & $check {
    param([string] $Text)
    $real = $Known.Commands51['Test-Connection']
    $entry = ConvertFrom-Json $Known.Generated.GetProperty('Commands51').GetProperty('Test-Connection').GetRawText() -AsHashtable
    $entry.Only14393 = @('Protocol')
    $Known.Commands51['Test-Connection'] = [System.Text.Json.JsonDocument]::Parse((ConvertTo-Json $entry -Depth 5 -Compress)).RootElement
    try {
        $parsed = Read-ScriptTree $Text 'Install-Yorn-UI.ps1'
        $context = New-CheckContext 'Install-Yorn-UI.ps1' $parsed.Text $parsed.Tree $parsed.Tokens
        Find-CommandOneBuild51 $context
    } finally {
        $Known.Commands51['Test-Connection'] = $real
    }
} $text
$got = @(Get-RowLines @($found) 'Install-Yorn-UI.ps1' $true)
if (($got -join "`n") -cne ($want -join "`n")) {
    $failures++
    [Console]::Error.WriteLine("a parameter of one build:`n$text`nexpected:`n$($want -join "`n")`ngot:`n$($got -join "`n")`n")
}
$shippedChecked = 0
if (Test-Path -LiteralPath $windowsFolder) {
    foreach ($script in $Shipped) {
        $name = "win/$($script[0])"
        $want = @($script | Select-Object -Skip 1 | ForEach-Object { $_ -replace '^(\w+): ', "`$1: ${name}:" })
        $got = @(Get-RowLines @(Get-FileFindings (Join-Path $windowsFolder $script[0]) $name) '' $false)
        $shippedChecked++
        if (($want -join "`n") -cne ($got -join "`n")) {
            $failures++
            [Console]::Error.WriteLine("$name`nexpected:`n$($want -join "`n")`ngot:`n$($got -join "`n")`n")
        }
    }
} else {
    "The scripts that PowerShell ships for Windows are not at ${windowsFolder}: their $($Shipped.Count) rows are skipped."
}

# The fixes in the data: every rule says whether there is a way (Fix,
# null where there is none, or Fixes), each fix is one line, and no code
# that a fix gives (between backticks) is what 5.1 lacks: each piece that
# parses on its own is checked, and must give no error.
$known = & $check { $Known }
$spans = 0
$file = Join-Path ([System.IO.Path]::GetTempPath()) "check-fix-$PID.ps1"
try {
    foreach ($rule in $known.Rules.Keys | Sort-Object) {
        $properties = $known.Rules[$rule]
        if (-not $properties.ContainsKey('Fix') -and -not $properties.ContainsKey('Fixes')) {
            $failures++
            [Console]::Error.WriteLine("check-data.json gives $rule neither a Fix (null where there is no way) nor Fixes`n")
            continue
        }
        $texts = @{}
        if ($properties['Fix']) { $texts[''] = $properties.Fix }
        if ($null -ne $properties['Fixes']) { foreach ($subject in $properties.Fixes.Keys) { $texts[$subject] = $properties.Fixes[$subject] } }
        foreach ($subject in $texts.Keys) {
            $text = $texts[$subject]
            $pieces = $text.Split('`')
            $problems = @(
                if ($text -cne (& $check { ConvertTo-OneLine $args[0] } $text)) { 'it is not one line' }
                if ($pieces.Count % 2 -eq 0) { 'a backtick is not closed' }
                for ($i = 1; $i -lt $pieces.Count; $i += 2) {
                    $errors = $null
                    [void] [System.Management.Automation.Language.Parser]::ParseInput($pieces[$i], [ref] $null, [ref] $errors)
                    if ($errors.Count -gt 0) { continue }
                    $spans++
                    [System.IO.File]::WriteAllText($file, $pieces[$i])
                    foreach ($finding in Get-FileFindings $file 'fix.ps1') {
                        if ($finding.Severity -eq 'error') { "``$($pieces[$i])`` gives: $($finding.Message)" }
                    }
                })
            if ($problems.Count -gt 0) {
                $failures++
                [Console]::Error.WriteLine("the fix of $rule$(if ($subject) { " for $subject" }): $text`n$($problems -join "`n")`n")
            }
        }
    }
} finally {
    Remove-Item -LiteralPath $file -ErrorAction Ignore
}

# The command as an author runs it, in this process, from a folder that
# holds the package pkg (a warning and an error), the package warn (a
# warning only), the package mods (findings in its other files),
# lone.ps1, other/Install-Yorn-UI.ps1 and 'odd,name:1.ps1'
# (which PowerShell reads as a drive's unless it is given as ./odd...):
# each row's arguments, its exit code, and every line it writes on
# standard error (Err) and standard output (Out), or for SARIF the
# results, as "LEVEL RULE URI:LINE:COLUMN" with the message's lines.
$noIsWindows = "$s does not set `$IsWindows: there it reads as `$null, or stops a script under Set-StrictMode"
$noIsWindowsFix = 'write instead: `$env:OS -eq ''Windows_NT''`, true on Windows in both'
$asHashtable = "$s has no parameter -AsHashtable on ConvertFrom-Json"
$asHashtableFix = 'write instead: `ConvertFrom-Json` without it: its object reads the same (`$o.name`, `$o.PSObject.Properties`)'
$escapeE = "$s knows no escape ``e in a string and reads it as the letter e"
$escapeFix = 'write instead: `$([char]27)` in the string, as in `"$([char]27)[32mgreen"`'
$remainingFix = 'write instead: a parameter that takes them: `param([Parameter(ValueFromRemainingArguments = $true)] [string[]] $Rest)`'
$remainingMessage = 'takes no remaining arguments (a [Parameter(ValueFromRemainingArguments = $true)] parameter), so PowerShell refuses any argument typed after Install-Yorn-UI.exe that names none of its parameters'
$gone = 'dot-sources lib/Gone.ps1, which is not in the package'
$goneFix = 'write instead: the file in the package folder, or the path of one that is there, from the folder of the file that names it (`$PSScriptRoot`)'
$coreOnly = "$s loads this module, but its manifest says it is not meant for 5.1: CompatiblePSEditions 'Core' without 'Desktop'"
$coreOnlyFix = "write instead: ``CompatiblePSEditions = 'Desktop', 'Core'``, once the module runs in 5.1"
$noUptime = "$s has no command Get-Uptime"
$noUptimeFix = 'write instead: `(Get-Date) - (Get-CimInstance Win32_OperatingSystem).LastBootUpTime`'
$passed = "The package's 2 PowerShell files parse in Windows PowerShell 5.1, use nothing that the check knows it to lack and no file that the package lacks, and the two scripts can take what the launcher passes."
$usage = 'usage: check-scripts.ps1 [--format text|github|sarif] [--strict] PATH...'
$Formats = @(
    @{ Args = @('pkg'); Exit = 2; Out = @(); Err = @(
            "pkg/Install-Yorn-UI.ps1:1:5: warning: $noIsWindows [VariableOnly7]", "pkg/Install-Yorn-UI.ps1:1:5: note: $noIsWindowsFix",
            "pkg/Install-Yorn-UI.ps1:2:30: error: $asHashtable [ParameterOnly7]", "pkg/Install-Yorn-UI.ps1:2:30: note: $asHashtableFix") }
    @{ Args = @('warn'); Exit = 0; Out = @($passed); Err = @("warn/Install-Yorn-UI.ps1:1:5: warning: $noIsWindows [VariableOnly7]", "warn/Install-Yorn-UI.ps1:1:5: note: $noIsWindowsFix") }
    @{ Args = @('--strict', 'warn'); Exit = 2; Out = @(); Err = @("warn/Install-Yorn-UI.ps1:1:5: error: $noIsWindows [VariableOnly7]", "warn/Install-Yorn-UI.ps1:1:5: note: $noIsWindowsFix") }
    # In the package folder itself, as ./build.sh runs it.
    @{ In = 'warn'; Args = @('.'); Exit = 0; Out = @($passed); Err = @("Install-Yorn-UI.ps1:1:5: warning: $noIsWindows [VariableOnly7]", "Install-Yorn-UI.ps1:1:5: note: $noIsWindowsFix") }
    # Single files: 5.1's rules, and the launcher's for a script so named.
    @{ Args = @('lone.ps1', 'other/Install-Yorn-UI.ps1'); Exit = 2; Out = @(); Err = @(
            "lone.ps1:3:1: error: $escapeE [EscapeOnly7]", "lone.ps1:3:1: note: $escapeFix",
            "other/Install-Yorn-UI.ps1:2:1: warning: $remainingMessage [ContractRemainingArguments]", "other/Install-Yorn-UI.ps1:2:1: note: $remainingFix") }
    @{ Args = @('other/Install-Yorn-UI.ps1', 'warn'); Exit = 0; Err = @(
            "other/Install-Yorn-UI.ps1:2:1: warning: $remainingMessage [ContractRemainingArguments]", "other/Install-Yorn-UI.ps1:2:1: note: $remainingFix",
            "warn/Install-Yorn-UI.ps1:1:5: warning: $noIsWindows [VariableOnly7]", "warn/Install-Yorn-UI.ps1:1:5: note: $noIsWindowsFix")
        Out = @('Every file checked parses in Windows PowerShell 5.1 and uses nothing that the check knows it to lack.') }
    # GitHub's workflow commands: % and line breaks escaped in the message,
    # and , and : too in a property.
    @{ Args = @('--format', 'github', 'pkg', './odd,name:1.ps1'); Exit = 2; Err = @(); Out = @(
            "::warning file=pkg/Install-Yorn-UI.ps1,line=1,col=5,title=VariableOnly7::$noIsWindows%0A$noIsWindowsFix"
            "::error file=pkg/Install-Yorn-UI.ps1,line=2,col=30,title=ParameterOnly7::$asHashtable%0A$asHashtableFix"
            "::error file=odd%2Cname%3A1.ps1,line=1,col=8,title=Parse::Unexpected token 'b%25c' in expression or statement.") }
    @{ Args = @('--format', 'github', '--strict', 'warn'); Exit = 2; Err = @(); Out = @(
            "::error file=warn/Install-Yorn-UI.ps1,line=1,col=5,title=VariableOnly7::$noIsWindows%0A$noIsWindowsFix") }
    @{ Args = @('--format', 'sarif', 'pkg', 'lone.ps1', './odd,name:1.ps1'); Exit = 2; Err = @(); Sarif = @(
            "warning VariableOnly7 pkg/Install-Yorn-UI.ps1:1:5 $noIsWindows`n$noIsWindowsFix"
            "error ParameterOnly7 pkg/Install-Yorn-UI.ps1:2:30 $asHashtable`n$asHashtableFix"
            "error EscapeOnly7 lone.ps1:3:1 $escapeE`n$escapeFix"
            "error Parse odd%2Cname%3A1.ps1:1:8 Unexpected token 'b%c' in expression or statement.") }
    @{ Args = @('--strict', '--format', 'sarif', 'warn'); Exit = 2; Err = @(); Sarif = @("error VariableOnly7 warn/Install-Yorn-UI.ps1:1:5 $noIsWindows`n$noIsWindowsFix") }
    @{ Args = @('--format', 'sarif', 'warn'); Exit = 0; Err = @(); Sarif = @("warning VariableOnly7 warn/Install-Yorn-UI.ps1:1:5 $noIsWindows`n$noIsWindowsFix") }
    # A package's other files, by their paths in it: a missing dot-source,
    # a manifest not meant for 5.1, a helper module that 5.1 cannot run.
    @{ Args = @('mods'); Exit = 2; Out = @(); Err = @(
            "mods/Install-Yorn-UI.ps1:1:3: error: $gone [ReferenceMissing]", "mods/Install-Yorn-UI.ps1:1:3: note: $goneFix",
            "mods/modules/YornUI/YornUI.psd1:1:50: warning: $coreOnly [ManifestEdition]", "mods/modules/YornUI/YornUI.psd1:1:50: note: $coreOnlyFix",
            "mods/modules/YornUI/YornUI.psm1:2:5: error: $noUptime [CommandOnly7]", "mods/modules/YornUI/YornUI.psm1:2:5: note: $noUptimeFix") }
    @{ Args = @('--format', 'github', 'mods'); Exit = 2; Err = @(); Out = @(
            "::error file=mods/Install-Yorn-UI.ps1,line=1,col=3,title=ReferenceMissing::$gone%0A$goneFix"
            "::warning file=mods/modules/YornUI/YornUI.psd1,line=1,col=50,title=ManifestEdition::$coreOnly%0A$coreOnlyFix"
            "::error file=mods/modules/YornUI/YornUI.psm1,line=2,col=5,title=CommandOnly7::$noUptime%0A$noUptimeFix") }
    @{ Args = @('--format', 'sarif', 'mods'); Exit = 2; Err = @(); Sarif = @(
            "error ReferenceMissing mods/Install-Yorn-UI.ps1:1:3 $gone`n$goneFix"
            "warning ManifestEdition mods/modules/YornUI/YornUI.psd1:1:50 $coreOnly`n$coreOnlyFix"
            "error CommandOnly7 mods/modules/YornUI/YornUI.psm1:2:5 $noUptime`n$noUptimeFix") }
    # What the command refuses before it checks anything.
    @{ Args = @('--format', 'xml', 'pkg'); Exit = 2; Out = @(); Err = @('error: --format xml: the formats are text, github and sarif', $usage) }
    @{ Args = @('--format'); Exit = 2; Out = @(); Err = @('error: --format needs one of text, github, sarif', $usage) }
    @{ Args = @('-Strict', 'pkg'); Exit = 2; Out = @(); Err = @('error: no option -Strict', $usage) }
    @{ Args = @('--strict'); Exit = 2; Out = @(); Err = @('error: no PATH to check', $usage) }
    @{ Args = @('pkg', 'missing.ps1'); Exit = 2; Out = @(); Err = @('error: missing.ps1: there is no such file or folder', $usage) }
    @{ Args = @('--', '--strict'); Exit = 2; Out = @(); Err = @('error: --strict: there is no such file or folder', $usage) }
    @{ Args = @('empty'); Exit = 2; Out = @(); Err = @('error: empty: holds neither Install-Yorn-UI.ps1 nor Optimize-Yorn-UI.ps1', $usage) }
)

# The SARIF log's results as the rows write them, after the checks that
# every log must pass: the schema's (when it is given), and every rule of
# the data listed with its level, and its fixes as its help.
function Get-SarifLines([string] $Json) {
    if ($SarifSchema) {
        $problems = @(Test-Json -Json $Json -SchemaFile $SarifSchema -ErrorAction SilentlyContinue -ErrorVariable invalid)
        if (-not $problems[0]) { "not valid SARIF 2.1.0: $($invalid -join '; ')" }
    }
    $run = ($Json | ConvertFrom-Json -AsHashtable).runs[0]
    $rules = $run.tool.driver.rules
    $names = @($known.Rules.Keys | Sort-Object)
    if ((@($rules | ForEach-Object { $_.id }) -join ' ') -cne ($names -join ' ')) { "the log's rules are not the data's: $(@($rules | ForEach-Object { $_.id }) -join ' ')" }
    foreach ($rule in $rules) {
        $properties = $known.Rules[$rule.id]
        if ($rule.defaultConfiguration.level -cne $properties.Severity) { "$($rule.id) is at level $($rule.defaultConfiguration.level)" }
        $fix = if ($properties['Fix']) { "write instead: $($properties.Fix)" }
        $hasHelp = $rule.ContainsKey('help')
        if (($fix -or $null -ne $properties['Fixes']) -ne $hasHelp) { "$($rule.id) has$(if (-not $hasHelp) { ' no' }) help" }
        if ($fix -and $rule.help.text.Split("`n")[0] -cne $fix) { "the help of $($rule.id) does not start with its fix: $($rule.help.text)" }
    }
    foreach ($result in $run.results) {
        $place = $result.locations[0].physicalLocation
        if ($rules[$result.ruleIndex].id -cne $result.ruleId) { "the result of $($result.ruleId) points to the rule $($result.ruleIndex)" }
        "$($result.level) $($result.ruleId) $($place.artifactLocation.uri):$($place.region.startLine):$($place.region.startColumn) $($result.message.text)"
    }
}

$folder = Join-Path ([System.IO.Path]::GetTempPath()) "check-formats-$PID"
$command = Join-Path $project 'check/check-scripts.ps1'
[void] (New-Item -ItemType Directory -Force (Join-Path $folder 'pkg'), (Join-Path $folder 'warn'), (Join-Path $folder 'other'), (Join-Path $folder 'empty'))
Copy-Item (Join-Path $project 'package/*.ps1') (Join-Path $folder 'pkg')
Copy-Item (Join-Path $project 'package/*.ps1') (Join-Path $folder 'warn')
Set-Content -LiteralPath (Join-Path $folder 'pkg/Install-Yorn-UI.ps1') -Value "if (`$IsWindows) { 'Windows' }`n`$h = '{}' | ConvertFrom-Json -AsHashtable"
Set-Content -LiteralPath (Join-Path $folder 'warn/Install-Yorn-UI.ps1') -Value "if (`$IsWindows) { 'Windows' }"
Set-Content -LiteralPath (Join-Path $folder 'lone.ps1') -Value "[CmdletBinding()]`nparam([string] `$Path)`n`"``e[1m`$Path`""
Set-Content -LiteralPath (Join-Path $folder 'other/Install-Yorn-UI.ps1') -Value "[CmdletBinding()]`nparam([string] `$Path)`n`$Path"
Set-Content -LiteralPath (Join-Path $folder 'odd,name:1.ps1') -Value '$a = 1 b%c'
[void] (New-Item -ItemType Directory -Force (Join-Path $folder 'mods/modules/YornUI'))
Copy-Item (Join-Path $project 'package/*.ps1') (Join-Path $folder 'mods')
Set-Content -LiteralPath (Join-Path $folder 'mods/Install-Yorn-UI.ps1') -Value ". `"`$PSScriptRoot\lib\Gone.ps1`""
Set-Content -LiteralPath (Join-Path $folder 'mods/modules/YornUI/YornUI.psm1') -Value "function Get-Up {`n    Get-Uptime`n}"
Set-Content -LiteralPath (Join-Path $folder 'mods/modules/YornUI/YornUI.psd1') -Value "@{ ModuleVersion = '1.0'; CompatiblePSEditions = 'Core' }"
$standardError = [Console]::Error
try {
    foreach ($row in $Formats) {
        $errors = [System.IO.StringWriter]::new()
        Push-Location -LiteralPath (Join-Path $folder $(if ($row.ContainsKey('In')) { $row.In } else { '.' }))
        [Console]::SetError($errors)
        $global:LASTEXITCODE = 0
        $arguments = $row.Args
        try {
            $out = @(& $command @arguments)
        } finally {
            [Console]::SetError($standardError)
            Pop-Location
        }
        $exit = $LASTEXITCODE
        $err = @($errors.ToString().Split([Environment]::NewLine, [StringSplitOptions]::RemoveEmptyEntries))
        $problems = @(
            if ($exit -ne $row.Exit) { "exit code $exit, not $($row.Exit)" }
            if (($err -join "`n") -cne ($row.Err -join "`n")) { "standard error:`n$($err -join "`n")`nnot:`n$($row.Err -join "`n")" }
            if ($row.ContainsKey('Sarif')) {
                $sarif = @(Get-SarifLines ($out -join "`n"))
                if (($sarif -join "`n") -cne ($row.Sarif -join "`n")) { "the SARIF log:`n$($sarif -join "`n")`nnot:`n$($row.Sarif -join "`n")" }
            } elseif (($out -join "`n") -cne ($row.Out -join "`n")) {
                "standard output:`n$($out -join "`n")`nnot:`n$($row.Out -join "`n")"
            })
        if ($problems.Count -gt 0) {
            $failures++
            [Console]::Error.WriteLine("check-scripts.ps1 $($row.Args -join ' '):`n$($problems -join "`n")`n")
        }
    }
} finally {
    Remove-Item -Recurse -Force -LiteralPath $folder -ErrorAction Ignore
}


"$($Rows.Count + 1) rows, $($Conditions.Count) conditions and $shippedChecked shipped scripts of the author's check, $spans pieces of code in its fixes, $($Formats.Count) rows of its command$(if (-not $SarifSchema) { ' (SARIF not validated: no schema given)' }), $failures failed"
if ($failures -gt 0) { exit 1 }
