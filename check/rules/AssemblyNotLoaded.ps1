# A type of an assembly that 5.1 does not load by itself (Windows Forms,
# WPF, System.Drawing, System.Net.Http, System.IO.Compression), with no
# Add-Type -AssemblyName, using assembly, #Requires -Assembly or
# [Reflection.Assembly]::Load for it in the script: said once a script and
# assembly, at the first use that 5.1 reaches.
using namespace System.Management.Automation.Language

function Find-AssemblyNotLoaded($Context) {
    foreach ($written in Get-WrittenTypes $Context) {
        $assembly = $written.Assembly
        if (-not $assembly -or $Context.Assemblies.Contains($assembly)) { continue }
        New-FindingAt $Context AssemblyNotLoaded $written.Node.Extent "$Starts does not load $assembly by itself, so $($written.FullName) is unknown there" $assembly
    }
}
