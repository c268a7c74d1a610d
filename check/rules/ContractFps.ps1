# The launcher passes "-FPS VALUE" to the optimisation script. -FPS binds
# as PowerShell binds it: to the parameter so named or aliased, else to
# the one parameter whose name or alias starts with FPS. It must take a
# value, and an advanced script without it must take remaining arguments.
# The subject of each finding says which of the three it is, for its fix.
using namespace System.Management.Automation.Language

function Find-ContractFps($Context) {
    if ($Context.Name -ne 'Optimize-Yorn-UI.ps1') { return }
    $script = Get-ScriptParameters $Context
    $parameters = @(if ($null -ne $script) { $script.Parameters })
    $namespaces = $Context.Namespaces
    $exact = [System.Collections.Generic.List[object]]::new()
    $starting = [System.Collections.Generic.List[object]]::new()
    foreach ($parameter in $parameters) {
        $names = @(Get-ParameterNames $parameter $namespaces)
        if ($names -contains 'FPS') { $exact.Add($parameter) }
        if ($names -like 'FPS*') { $starting.Add($parameter) }
    }
    $fps = $starting
    if ($exact.Count -gt 0) { $fps = $exact }
    $switch = $false
    if ($fps.Count -eq 1) {
        foreach ($attribute in $fps[0].Attributes) {
            if ($attribute -is [TypeConstraintAst] -and (Test-TypeNameIs $attribute.TypeName.FullName 'System.Management.Automation.SwitchParameter' $namespaces)) { $switch = $true }
        }
    }
    if ($fps.Count -gt 1) {
        $names = @($fps | ForEach-Object { "-$($_.Name.VariablePath.UserPath)" }) -join ' and '
        New-FindingAt $Context ContractFps $script.Block.Extent "has both $names, so PowerShell would refuse the -FPS of ""Install-Yorn-UI.exe --optimize 144"" as ambiguous" 'Ambiguous'
    } elseif ($switch) {
        New-FindingAt $Context ContractFps $fps[0].Extent "declares -FPS as a switch, which takes no value, so the 144 of ""Install-Yorn-UI.exe --optimize 144"" would not reach it" 'Switch'
    } elseif ($fps.Count -eq 0 -and $null -ne $script -and $script.Advanced -and -not $script.Remaining) {
        New-FindingAt $Context ContractFps $script.Block.Extent 'declares no -FPS parameter and takes no remaining arguments, so PowerShell would refuse "Install-Yorn-UI.exe --optimize 144", which passes -FPS 144' 'Missing'
    }
}
