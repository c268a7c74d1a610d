# A .NET type that .NET Framework 4.8 lacks, in a type literal, a cast or
# a constraint: the name as the data resolves it (an accelerator such as
# [math], System. in front, the script's using namespaces). The script's
# own classes and enums are neither side's; a name the data does not know
# is passed.
using namespace System.Management.Automation.Language

function Find-TypeOnly7($Context) {
    foreach ($written in Get-WrittenTypes $Context) {
        if ($written.Only7) { New-FindingAt $Context TypeOnly7 $written.Node.Extent "$Framework has no type $($written.FullName)" $written.FullName }
    }
}
