# What the check knows, read once when the module loads: what 7.6 has
# and 5.1 lacks (compatibility/windows-powershell-5.1.json, generated) and
# the check's own data (check-data.json, kept by hand). Names are looked
# up as PowerShell looks them up: without regard to case.
using namespace System.Collections.Generic

function New-NameSet([string[]] $Names = @()) {
    $set = [HashSet[string]]::new([StringComparer]::OrdinalIgnoreCase)
    foreach ($name in $Names) { [void] $set.Add($name) }
    , $set
}

function New-NameTable { , [Dictionary[string, object]]::new([StringComparer]::OrdinalIgnoreCase) }

# A JSON object as a name table, its values as they are.
function ConvertTo-NameTable([System.Collections.IDictionary] $Object) {
    $table = New-NameTable
    foreach ($name in $Object.Keys) { $table[$name] = $Object[$name] }
    , $table
}

function Read-JsonFile([string] $Path) {
    [System.IO.File]::ReadAllText($Path) | ConvertFrom-Json -AsHashtable
}

function Read-CheckData([string] $Folder) {
    $raw = Read-JsonFile (Join-Path $Folder 'compatibility/windows-powershell-5.1.json')
    $own = Read-JsonFile (Join-Path $Folder 'check-data.json')
    $data = @{
        CommonParameters   = New-NameTable
        CommonOnly7        = New-NameSet $raw.CommonParametersOnly7
        Aliases            = ConvertTo-NameTable $raw.Aliases
        CommandsOnly7      = ConvertTo-NameTable $raw.CommandsOnly7
        Commands           = New-NameTable
        Common51           = New-NameSet $raw.CommonParameters51
        NamespacesOnly7    = [string[]] $raw.NamespacesOnly7
        TypesOnly7         = New-NameSet
        MembersOnly7       = New-NameTable
        NotLoaded          = New-NameTable
        Rules              = New-NameTable
        Variables51        = ConvertTo-NameTable $own.Facts51.Variables
        VersionTable51     = ConvertTo-NameTable $own.Facts51.PSVersionTable
        VariablesOnly7     = New-NameSet $own.VariablesOnly7
        Encodings51        = New-NameSet $own.Encodings51
        EncodingsOnly7     = New-NameSet $own.EncodingsOnly7
        NumberTypesOnly7   = New-NameSet $own.NumberTypesOnly7
        Accelerators       = ConvertTo-NameTable $own.Accelerators
        AcceleratorsOnly51 = ConvertTo-NameTable $own.AcceleratorsOnly51
        Modules51          = New-NameSet $own.Modules51
        ModulesInstalled   = ConvertTo-NameTable $own.ModulesInstalled
        Assemblies51       = New-NameSet (@($own.Assemblies51) + @($raw.NotLoaded51.Keys))
        ParseErrorsOf7     = ConvertTo-NameTable $own.ParseErrorsOf7
        CatchesAll         = New-NameSet $own.CatchesAll
        Quiet              = New-NameSet $own.Quiet
        # Every full type name the data speaks of, so that a name written
        # in a script can be resolved against them.
        KnownTypes         = New-NameSet
        # Both files as read, for a rule that needs a table not shaped here.
        Generated          = $raw
        Own                = $own
    }
    foreach ($name in $own.Rules.Keys) { $data.Rules[$name] = $own.Rules[$name] }
    foreach ($name in $raw.CommonParameters.Keys) { $data.CommonParameters[$name] = [string[]] $raw.CommonParameters[$name] }
    # Built in place rather than through New-NameSet: the tables are long,
    # and a call each would cost more than the reading.
    $ignoringCase = [StringComparer]::OrdinalIgnoreCase
    foreach ($name in $raw.Commands.Keys) {
        $entry = $raw.Commands[$name]
        $parameters = New-NameTable
        foreach ($parameter in $entry.Parameters.Keys) { $parameters[$parameter] = [string[]] $entry.Parameters[$parameter] }
        $data.Commands[$name] = @{
            Parameters = $parameters
            Only7      = [HashSet[string]]::new([string[]] @(if ($entry.Contains('Only7')) { $entry.Only7 }), $ignoringCase)
            Only51     = [HashSet[string]]::new([string[]] @(if ($entry.Contains('Only51')) { $entry.Only51 }), $ignoringCase)
        }
    }
    foreach ($namespace in $raw.TypesOnly7.Keys) {
        foreach ($type in $raw.TypesOnly7[$namespace]) { [void] $data.TypesOnly7.Add("$namespace.$type") }
    }
    foreach ($type in $raw.StaticMembersOnly7.Keys) { $data.MembersOnly7[$type] = [HashSet[string]]::new([string[]] $raw.StaticMembersOnly7[$type], $ignoringCase) }
    foreach ($assembly in $raw.NotLoaded51.Keys) {
        foreach ($namespace in $raw.NotLoaded51[$assembly].Keys) {
            foreach ($type in $raw.NotLoaded51[$assembly][$namespace]) { $data.NotLoaded["$namespace.$type"] = $assembly }
        }
    }
    foreach ($name in @($data.TypesOnly7) + @($data.MembersOnly7.Keys) + @($data.NotLoaded.Keys) +
        @($data.Accelerators.Values) + @($data.AcceleratorsOnly51.Values) + @($data.CatchesAll) +
        @($data.Rules.Values | ForEach-Object { $_.Caught } | Where-Object { $_ })) {
        [void] $data.KnownTypes.Add($name)
    }
    $data
}
