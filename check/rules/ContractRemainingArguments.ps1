# The install script gets whatever the user typed after
# Install-Yorn-UI.exe: an advanced script without a remaining-arguments
# parameter refuses any argument that names none of its parameters.
using namespace System.Management.Automation.Language

function Find-ContractRemainingArguments($Context) {
    if ($Context.Name -ne 'Install-Yorn-UI.ps1') { return }
    $script = Get-ScriptParameters $Context
    if ($null -eq $script -or -not $script.Advanced -or $script.Remaining) { return }
    New-FindingAt $Context ContractRemainingArguments $script.Block.Extent 'takes no remaining arguments (a [Parameter(ValueFromRemainingArguments = $true)] parameter), so PowerShell refuses any argument typed after Install-Yorn-UI.exe that names none of its parameters'
}
