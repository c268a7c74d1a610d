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

# JSON as PowerShell values: an object as a hashtable (names without
# regard to case), an array as an array. Read with .NET's System.Text.Json,
# which costs a fraction of ConvertFrom-Json's first use; an array of
# strings, the common case, is read in one loop.
function ConvertFrom-JsonValue([System.Text.Json.JsonElement] $Element) {
    switch ($Element.ValueKind) {
        'Object' {
            $table = @{}
            foreach ($property in $Element.EnumerateObject()) {
                # Plain values here, so that a call is made only per object or
                # array inside.
                $value = $property.Value
                switch ($value.ValueKind) {
                    'String' { $table[$property.Name] = $value.GetString() }
                    'True' { $table[$property.Name] = $true }
                    'False' { $table[$property.Name] = $false }
                    'Null' { $table[$property.Name] = $null }
                    default { $table[$property.Name] = ConvertFrom-JsonValue $value }
                }
            }
            return , $table
        }
        'Array' {
            # Added one by one, so that an array of one array stays so.
            $items = [List[object]]::new()
            foreach ($item in $Element.EnumerateArray()) {
                if ($item.ValueKind -eq 'String') { $items.Add($item.GetString()) } else { $items.Add((ConvertFrom-JsonValue $item)) }
            }
            return , $items.ToArray()
        }
        'String' { return $Element.GetString() }
        'Number' { return $Element.GetDouble() }
        'True' { return $true }
        'False' { return $false }
    }
    $null
}

function Read-JsonFile([string] $Path) {
    [System.Text.Json.JsonDocument]::Parse([System.IO.File]::ReadAllText($Path)).RootElement
}

# A name table of a JSON object's members, their values as they are.
function ConvertTo-NameTable($Object) {
    $table = New-NameTable
    if ($Object -is [System.Text.Json.JsonElement]) {
        foreach ($property in $Object.EnumerateObject()) { $table[$property.Name] = $property.Value }
    } else {
        foreach ($name in $Object.Keys) { $table[$name] = $Object[$name] }
    }
    , $table
}

# Whether 4.8's type lacks a static member that 7.6's has; the type's list
# is read from the data the first time a script asks about that type.
function Test-MemberOnly7([string] $Type, [string] $Member) {
    $members = $Known.MembersOnly7[$Type]
    if ($null -eq $members) { return $false }
    if ($members -is [System.Text.Json.JsonElement]) {
        $members = $Known.MembersOnly7[$Type] = [HashSet[string]]::new([string[]] (ConvertFrom-JsonValue $members), [StringComparer]::OrdinalIgnoreCase)
    }
    $members.Contains($Member)
}

# Each parameter of a JSON object, with the list of its aliases, into a
# name table.
function Add-AliasLists($Table, [System.Text.Json.JsonElement] $Parameters) {
    foreach ($parameter in $Parameters.EnumerateObject()) {
        $Table[$parameter.Name] = [string[]] @(foreach ($alias in $parameter.Value.EnumerateArray()) { $alias.GetString() })
    }
}

# A command's entry in the data, read into the shape that $Entry gives:
# its Parameters object as lists of aliases, each list of names into the
# set of its name, a number as it is; read without a call per name, which
# cost more than all the rest.
function Read-CommandEntry([System.Text.Json.JsonElement] $Read, [hashtable] $Entry) {
    foreach ($part in $Read.EnumerateObject()) {
        $value = $part.Value
        if ($part.Name -eq 'Parameters') {
            Add-AliasLists $Entry.Parameters $value
        } elseif ($value.ValueKind -eq 'Array' -and $Entry[$part.Name] -is [HashSet[string]]) {
            foreach ($item in $value.EnumerateArray()) { [void] $Entry[$part.Name].Add($item.GetString()) }
        } elseif ($value.ValueKind -eq 'Number' -and $Entry.ContainsKey($part.Name)) {
            $Entry[$part.Name] = $value.GetInt32()
        }
    }
}

# The data's entry of a command that 7.6 and 5.1 both have: @{ Parameters
# (7.6's, with their aliases); Only7 and Only51 (parameters of one side) },
# or $null. Shaped from the data the first time a script asks about the
# command: most scripts call a few dozen of the hundreds it lists.
function Get-CommandEntry([string] $Name) {
    $entry = $Known.Commands[$Name]
    if ($entry -is [System.Text.Json.JsonElement]) {
        $read = $entry
        $entry = $Known.Commands[$Name] = @{
            Parameters = New-NameTable
            Only7      = [HashSet[string]]::new([StringComparer]::OrdinalIgnoreCase)
            Only51     = [HashSet[string]]::new([StringComparer]::OrdinalIgnoreCase)
        }
        Read-CommandEntry $read $entry
    }
    $entry
}

# 5.1's own view of a command of 7.6 that it has, or $null: @{ Name;
# Positional (the most positional arguments of any of its parameter sets,
# $null for any number); Parameters (5.1's parameters with 5.1's aliases
# of each); Switches; Only14393 and Only17763 (parameters of one build) }.
# Shaped from the data the first time a script asks about the command;
# Names.ps1 keeps its answers about the command's parameters in it too
# (Bindable, and "?SPELLING" for what a spelling binds).
function Get-Command51([string] $Name) {
    $entry = $Known.Commands51[$Name]
    if ($entry -is [System.Text.Json.JsonElement]) {
        $read = $entry
        $entry = $Known.Commands51[$Name] = @{
            Name       = $Name
            Positional = $null
            Parameters = New-NameTable
            Switches   = [HashSet[string]]::new([StringComparer]::OrdinalIgnoreCase)
            Only14393  = [HashSet[string]]::new([StringComparer]::OrdinalIgnoreCase)
            Only17763  = [HashSet[string]]::new([StringComparer]::OrdinalIgnoreCase)
        }
        Read-CommandEntry $read $entry
    }
    $entry
}

# 4.8's overloads of a type's static methods (StaticOverloads48): method
# -> ranges [least, most] of argument counts, or $null for a type the table
# does not list; read from the data when a script first asks.
function Get-Overloads48([string] $Type) {
    $methods = $Known.Overloads48[$Type]
    if ($methods -is [System.Text.Json.JsonElement]) { $methods = $Known.Overloads48[$Type] = ConvertFrom-JsonValue $methods }
    $methods
}

# A table of the generated data that Read-CheckData does not shape, as
# PowerShell values, read when a rule first asks for it.
function Get-GeneratedTable([string] $Name) {
    if (-not $Known.GeneratedTables.ContainsKey($Name)) {
        $table = $null
        $element = [System.Text.Json.JsonElement]::new()
        if ($Known.Generated.TryGetProperty($Name, [ref] $element)) { $table = ConvertFrom-JsonValue $element }
        $Known.GeneratedTables[$Name] = $table
    }
    $Known.GeneratedTables[$Name]
}

function Read-CheckData([string] $Folder) {
    $generated = Read-JsonFile ([System.IO.Path]::Combine($Folder, 'compatibility', 'windows-powershell-5.1.json'))
    $own = ConvertFrom-JsonValue (Read-JsonFile ([System.IO.Path]::Combine($Folder, 'check-data.json')))
    $data = @{
        CommonParameters   = New-NameTable
        CommonOnly7        = New-NameSet
        Aliases            = New-NameTable
        CommandsOnly7      = New-NameTable
        Commands           = New-NameTable
        Common51           = New-NameSet
        NamespacesOnly7    = [string[]] @()
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
        # 7.6's type accelerators (those it has only on Windows included)
        # and 5.1's, each with the full name it stands for.
        Accelerators       = New-NameTable
        Accelerators51     = New-NameTable
        # 5.1's own view of each command of 7.6 that it has, as read
        # (Get-Command51 shapes an entry when a script first asks).
        Commands51         = New-NameTable
        # The types of the assemblies that only PowerShell 7 ships, by full
        # name or "Namespace.*", with the assembly.
        AssembliesOnly7    = New-NameTable
        # 4.8's overloads of the static methods where .NET 10 takes another
        # number of arguments, by type, as read (Get-Overloads48).
        Overloads48        = New-NameTable
        # The commands of one 5.1 build: name -> "BUILD MODULE".
        CommandBuilds51    = New-NameTable
        CommonSwitches51   = New-NameSet $own.CommonSwitches51
        ProgramsOf7        = New-NameSet $own.ProgramsOf7
        Modules51          = New-NameSet $own.Modules51
        ModulesInstalled   = ConvertTo-NameTable $own.ModulesInstalled
        Assemblies51       = New-NameSet $own.Assemblies51
        ParseErrorsOf7     = ConvertTo-NameTable $own.ParseErrorsOf7
        CatchesAll         = New-NameSet $own.CatchesAll
        Quiet              = New-NameSet $own.Quiet
        # Every full type name the data speaks of, so that a name written
        # in a script can be resolved against them.
        KnownTypes         = New-NameSet
        # The generated file as read, for a rule that needs a table not
        # shaped here (Get-GeneratedTable), and the check's own file.
        Generated          = $generated
        GeneratedTables    = New-NameTable
        Own                = $own
    }
    foreach ($name in $own.Rules.Keys) { $data.Rules[$name] = $own.Rules[$name] }
    # The generated tables are taken apart here in loops of their own, with
    # no call per entry: they are long, and a call each would cost more than
    # the reading. StaticMembersOnly7, the longest, is left as read; each
    # type's list is read when a script first asks about it (Test-MemberOnly7).
    foreach ($table in $generated.EnumerateObject()) {
        $value = $table.Value
        switch ($table.Name) {
            'CommonParameters' {
                Add-AliasLists $data.CommonParameters $value
            }
            'CommonParametersOnly7' { foreach ($name in $value.EnumerateArray()) { [void] $data.CommonOnly7.Add($name.GetString()) } }
            'CommonParameters51' { foreach ($name in $value.EnumerateArray()) { [void] $data.Common51.Add($name.GetString()) } }
            'Aliases' { foreach ($alias in $value.EnumerateObject()) { $data.Aliases[$alias.Name] = $alias.Value.GetString() } }
            'CommandsOnly7' { foreach ($command in $value.EnumerateObject()) { $data.CommandsOnly7[$command.Name] = $command.Value.GetString() } }
            'NamespacesOnly7' { $data.NamespacesOnly7 = [string[]] @(foreach ($name in $value.EnumerateArray()) { $name.GetString() }) }
            'TypesOnly7' {
                foreach ($namespace in $value.EnumerateObject()) {
                    foreach ($type in $namespace.Value.EnumerateArray()) { [void] $data.TypesOnly7.Add("$($namespace.Name).$($type.GetString())") }
                }
            }
            'StaticMembersOnly7' { foreach ($type in $value.EnumerateObject()) { $data.MembersOnly7[$type.Name] = $type.Value } }
            'Commands51' { foreach ($command in $value.EnumerateObject()) { $data.Commands51[$command.Name] = $command.Value } }
            'StaticOverloads48' { foreach ($type in $value.EnumerateObject()) { $data.Overloads48[$type.Name] = $type.Value } }
            'CommandsOneBuild51' {
                foreach ($build in $value.EnumerateObject()) {
                    foreach ($module in $build.Value.EnumerateObject()) {
                        foreach ($command in $module.Value.EnumerateArray()) { $data.CommandBuilds51[$command.GetString()] = "$($build.Name) $($module.Name)" }
                    }
                }
            }
            'Accelerators7' { foreach ($accelerator in $value.EnumerateObject()) { $data.Accelerators[$accelerator.Name] = $accelerator.Value.GetString() } }
            'Accelerators51' { foreach ($accelerator in $value.EnumerateObject()) { $data.Accelerators51[$accelerator.Name] = $accelerator.Value.GetString() } }
            'AssembliesOnly7' {
                foreach ($assembly in $value.EnumerateObject()) {
                    foreach ($namespace in $assembly.Value.EnumerateObject()) {
                        foreach ($type in $namespace.Value.EnumerateArray()) { $data.AssembliesOnly7["$($namespace.Name).$($type.GetString())"] = $assembly.Name }
                    }
                }
            }
            'NotLoaded51' {
                foreach ($assembly in $value.EnumerateObject()) {
                    [void] $data.Assemblies51.Add($assembly.Name)
                    foreach ($namespace in $assembly.Value.EnumerateObject()) {
                        foreach ($type in $namespace.Value.EnumerateArray()) { $data.NotLoaded["$($namespace.Name).$($type.GetString())"] = $assembly.Name }
                    }
                }
            }
            'Commands' { foreach ($command in $value.EnumerateObject()) { $data.Commands[$command.Name] = $command.Value } }
        }
    }
    $known = $data.KnownTypes
    foreach ($names in $data.TypesOnly7, $data.MembersOnly7.Keys, $data.NotLoaded.Keys, $data.Accelerators.Values, $data.Accelerators51.Values, $data.CatchesAll) {
        $known.UnionWith([string[]] @($names))
    }
    $known.UnionWith([string[]] @($data.Overloads48.Keys))
    $element = [System.Text.Json.JsonElement]::new()
    if ($generated.TryGetProperty('PowerShellTypesOnly7', [ref] $element)) {
        foreach ($type in $element.EnumerateObject()) { [void] $known.Add($type.Name) }
    }
    foreach ($rule in $data.Rules.Values) {
        if ($rule.Caught) { [void] $known.Add($rule.Caught) }
    }
    $data
}
