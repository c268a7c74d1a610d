# The test pair's optimisation script: an [int] -FPS with no range, so that
# -1 ("uncapped") is taken, and the remaining arguments; reports what it was
# given.
[CmdletBinding(PositionalBinding = $false)]
param(
    [int] $FPS,

    [Parameter(ValueFromRemainingArguments = $true)]
    $Rest
)
. ([System.IO.Path]::Combine($PSScriptRoot, 'Show-Binding.ps1'))
Show-Binding $MyInvocation.MyCommand.Name $PSBoundParameters
