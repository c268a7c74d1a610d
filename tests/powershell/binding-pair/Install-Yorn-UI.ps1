# The test pair's install script: binds as the default one does, and reports
# what it was given.
[CmdletBinding(PositionalBinding = $false)]
param(
    [Parameter(ValueFromRemainingArguments = $true)]
    $Rest
)
. ([System.IO.Path]::Combine($PSScriptRoot, 'Show-Binding.ps1'))
Show-Binding $MyInvocation.MyCommand.Name $PSBoundParameters
