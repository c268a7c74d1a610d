# The test's install script for the module path: calls Get-FileHash, a
# command of Microsoft.PowerShell.Utility, which PowerShell loads from its
# module path when the command is first used. The launcher and the command
# script start PowerShell without PSModulePath, and PowerShell then builds
# the path itself; this shows that pwsh, the command script's fallback, still
# finds the module, and its own copy of it. The default install script calls
# no Get-FileHash, which is why this script stands in for it.
Set-StrictMode -Version Latest
$ErrorActionPreference = 'Stop'

# The SHA-256 of no bytes, a fixed value.
'Get-FileHash ' + (Get-FileHash -InputStream ([System.IO.MemoryStream]::new()) -Algorithm SHA256).Hash
'From PowerShell''s own folder: ' + (Get-Command Get-FileHash).Module.ModuleBase.StartsWith($PSHOME)
exit 0
