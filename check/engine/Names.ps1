# What a name written in the script stands for, as far as the script and
# the data can tell: commands (the script's own functions and aliases,
# then 7.6's aliases), parameters, and .NET types. Nothing here asks the
# PowerShell that runs the check: its answer would depend on what it has
# loaded on this machine.
using namespace System.Collections.Generic

# @{ Name; Module; Own } for a command name as called, or $null for a
# path. Own: the script defines it (a function, or an alias of one).
# Module\Name names the command of that module. Precedence as the script
# means it: its own aliases, its own functions, then 7.6's aliases.
function Resolve-CommandName($Context, [string] $Written) {
    $module = $Written.Substring(0, [Math]::Max(0, $Written.LastIndexOf('\')))
    if ($module.StartsWith('.') -or $module.IndexOfAny([char[]] ':\/ ') -ge 0) { return $null }
    $name = $Written.Substring($Written.LastIndexOf('\') + 1)
    $seen = New-NameSet
    while ($seen.Add($name)) {
        if ($Context.Aliases.ContainsKey($name)) { $name = $Context.Aliases[$name]; continue }
        if ($Context.Functions.ContainsKey($name)) { return @{ Name = $name; Module = $module; Own = $true } }
        if ($Known.Aliases.ContainsKey($name)) { $name = $Known.Aliases[$name]; continue }
        break
    }
    @{ Name = $name; Module = $module; Own = $false }
}

# The same, remembered for the script: the rules ask about every call.
function Get-CommandTarget($Context, [string] $Written) {
    $target = $Context.CommandTargets[$Written]
    if ($null -eq $target) {
        $target = Resolve-CommandName $Context $Written
        if ($null -eq $target) { $target = @{ Name = ''; Module = ''; Own = $false } }
        $Context.CommandTargets[$Written] = $target
    }
    $target
}

# Whether 5.1 has a command: $true, $false, or $null when the data does
# not say. A 7-only command of a module that the script imports or
# installs is there.
function Test-Command51($Context, [string] $Name) {
    if ($Known.CommandsOnly7.ContainsKey($Name)) { return $Context.Modules.Contains($Known.CommandsOnly7[$Name]) }
    if ($Known.Commands.ContainsKey($Name) -or $Known.Common51.Contains($Name) -or $Known.Commands51.ContainsKey($Name)) { return $true }
    return $null
}

# Whether 5.1's command has a parameter of exactly that name (as the
# .Parameters of Get-Command lists them): $true, $false, or $null.
function Test-Parameter51([string] $Command, [string] $Parameter) {
    if ($Known.CommonParameters.ContainsKey($Parameter)) { return -not $Known.CommonOnly7.Contains($Parameter) }
    if (-not $Known.Commands.ContainsKey($Command)) { return $null }
    $entry = Get-CommandEntry $Command
    if ($entry.Only51.Contains($Parameter)) { return $true }
    if ($entry.Parameters.ContainsKey($Parameter)) { return -not $entry.Only7.Contains($Parameter) }
    return $null
}

# The 7.6 parameter that a name stands for, as PowerShell binds it: its
# own name or an alias, else the one parameter that it starts. $null when
# none or more than one.
function Resolve-Parameter([Dictionary[string, object]] $Parameters, [string] $Written) {
    $starting = New-NameSet
    foreach ($name in $Parameters.Keys) {
        foreach ($candidate in @($name) + $Parameters[$name]) {
            if ($candidate -eq $Written) { return $name }
            if ($candidate.StartsWith($Written, [StringComparison]::OrdinalIgnoreCase)) { [void] $starting.Add($name) }
        }
    }
    if ($starting.Count -eq 1) { return @($starting)[0] }
}

function Test-NamespaceOnly7([string] $FullName) {
    foreach ($namespace in $Known.NamespacesOnly7) {
        if ($FullName.StartsWith("$namespace.", [StringComparison]::OrdinalIgnoreCase)) { return $true }
    }
    return $false
}

# The assembly that holds a type which 5.1 does not load by itself, or $null.
function Get-NotLoadedAssembly([string] $FullName) {
    if ($Known.NotLoaded.ContainsKey($FullName)) { return $Known.NotLoaded[$FullName] }
    $namespace = "$($FullName.Substring(0, [Math]::Max(0, $FullName.LastIndexOf('.')))).*"
    if ($Known.NotLoaded.ContainsKey($namespace)) { return $Known.NotLoaded[$namespace] }
}

# The assembly that only PowerShell 7 ships (Newtonsoft.Json) which holds
# a type that .NET Framework 4.8 lacks, or $null.
function Get-AssemblyOnly7([string] $FullName) {
    $only7 = $Known.AssembliesOnly7
    if ($only7.ContainsKey($FullName)) { return $only7[$FullName] }
    $namespace = "$($FullName.Substring(0, [Math]::Max(0, $FullName.LastIndexOf('.')))).*"
    if ($only7.ContainsKey($namespace)) { return $only7[$namespace] }
}

# The full name a type name written in the script stands for, as far as
# the data knows it: an accelerator, the name itself, System. in front,
# or under one of the script's using namespaces; the first candidate that
# the data names (or that lies in a namespace only 7 has). $null when the
# data knows none of them: such a name is passed.
function Resolve-TypeName($Context, [string] $Name) {
    if ($Context.TypeNames.ContainsKey($Name)) { return $Context.TypeNames[$Name] }
    $resolved = $null
    $candidates = [System.Collections.Generic.List[string]]::new()
    if ($Known.Accelerators.ContainsKey($Name)) { $candidates.Add($Known.Accelerators[$Name]) }
    $candidates.Add($Name)
    $candidates.Add("System.$Name")
    foreach ($namespace in $Context.Namespaces) { $candidates.Add("$namespace.$Name") }
    foreach ($candidate in $candidates) {
        $spelled = $null
        if ($Known.KnownTypes.TryGetValue($candidate, [ref] $spelled)) { $resolved = $spelled; break }
        if ((Test-NamespaceOnly7 $candidate) -or (Get-NotLoadedAssembly $candidate) -or (Get-AssemblyOnly7 $candidate)) { $resolved = $candidate; break }
    }
    $Context.TypeNames[$Name] = $resolved
    $resolved
}

# The plain type names within a type name: the element of an array and the
# generic type with its arguments, as Name`N.
function Get-PlainTypeNames([System.Management.Automation.Language.ITypeName] $TypeName) {
    if ($TypeName -is [System.Management.Automation.Language.ArrayTypeName]) { return Get-PlainTypeNames $TypeName.ElementType }
    if ($TypeName -is [System.Management.Automation.Language.GenericTypeName]) {
        "$($TypeName.TypeName.FullName)``$($TypeName.GenericArguments.Count)"
        foreach ($argument in $TypeName.GenericArguments) { Get-PlainTypeNames $argument }
        return
    }
    $TypeName.FullName
}

# Whether 5.1 has a type: $false for a type of .NET 10 that 4.8 lacks, or
# of an assembly that 5.1 does not load and the script does not load
# either; $null when the data does not say.
function Test-Type51($Context, [string] $FullName) {
    if ($Known.TypesOnly7.Contains($FullName) -or (Test-NamespaceOnly7 $FullName)) { return $false }
    $assembly = Get-NotLoadedAssembly $FullName
    if ($assembly -and -not $Context.Assemblies.Contains($assembly)) { return $false }
    return $null
}

# What a parameter as written on a command of the data stands for:
# @{ Name; Only7 }, Name $null when it names none. Only7 is set when 7.6's
# parameter is missing in 5.1 and the spelling does not start one of 5.1's
# own names either (a start that 5.1 binds otherwise is not sure).
# Without the command's own parameters (a command of 5.1 that the data
# lists only as taking the common ones), only a common parameter's own
# name or alias can be told apart from a start. Remembered: the answer
# depends on the data only.
$ParameterVerdicts = New-NameTable
function Get-ParameterVerdict([string] $Command, [string] $Spelled) {
    $key = "$Command $Spelled"
    if ($ParameterVerdicts.ContainsKey($key)) { return $ParameterVerdicts[$key] }
    $entry = Get-CommandEntry $Command
    $parameter = $null
    if ($null -ne $entry) {
        if (-not $entry.Contains('AllParameters')) {
            $entry.AllParameters = New-NameTable
            foreach ($name in $entry.Parameters.Keys) { $entry.AllParameters[$name] = $entry.Parameters[$name] }
            foreach ($name in $Known.CommonParameters.Keys) { $entry.AllParameters[$name] = $Known.CommonParameters[$name] }
        }
        $parameter = Resolve-Parameter $entry.AllParameters $Spelled
    } else {
        foreach ($name in $Known.CommonParameters.Keys) {
            if ($name -eq $Spelled -or $Known.CommonParameters[$name] -contains $Spelled) { $parameter = $name }
        }
    }
    $verdict = @{ Name = $null; Only7 = $false }
    if ($parameter) {
        $only7 = $Known.CommonOnly7.Contains($parameter) -or ($null -ne $entry -and $entry.Only7.Contains($parameter))
        $command51 = Get-Command51 $Command
        if ($only7 -and $null -ne $command51) {
            # 5.1's own names and aliases say whether the spelling binds
            # there (Test-Connection -TTL is 5.1's alias of -TimeToLive,
            # and 7's of -MaxHops).
            if ($null -ne (Find-Parameters51 $command51 $Spelled)) { $only7 = $false }
        } elseif ($only7) {
            $names51 = @(
                if ($null -ne $entry) {
                    foreach ($name in $entry.Parameters.Keys) {
                        if (-not $entry.Only7.Contains($name)) { $name; $entry.Parameters[$name] }
                    }
                    $entry.Only51
                }
                foreach ($name in $Known.CommonParameters.Keys) {
                    if (-not $Known.CommonOnly7.Contains($name)) { $name; $Known.CommonParameters[$name] }
                }
            )
            if (@($names51 | Where-Object { $_.StartsWith($Spelled, [StringComparison]::OrdinalIgnoreCase) }).Count -gt 0) { $only7 = $false }
        }
        $verdict = @{ Name = $parameter; Only7 = $only7 }
    }
    $ParameterVerdicts[$key] = $verdict
    $verdict
}

# The parameters that 5.1's command (Get-Command51) binds by name: its own,
# with 5.1's aliases of each, and 5.1's common parameters.
function Get-Parameters51($Command51) {
    $all = $Command51['Bindable']
    if ($null -eq $all) {
        $all = New-NameTable
        foreach ($name in $Command51.Parameters.Keys) { $all[$name] = $Command51.Parameters[$name] }
        foreach ($name in $Known.CommonParameters.Keys) {
            if (-not $Known.CommonOnly7.Contains($name)) { $all[$name] = $Known.CommonParameters[$name] }
        }
        $Command51.Bindable = $all
    }
    $all
}

# The parameters of 5.1's command that a spelling binds to, as 5.1 binds
# it: its own name or alias, else every parameter whose name or alias it
# starts (one binds; more are ambiguous). $null when none.
function Find-Parameters51($Command51, [string] $Spelled) {
    $key = "?$Spelled"
    if ($Command51.ContainsKey($key)) {
        $found = $Command51[$key]
        if ($null -eq $found) { return $null }
        return , $found
    }
    $parameters = Get-Parameters51 $Command51
    $found = $null
    $starting = [System.Collections.Generic.List[string]]::new()
    foreach ($name in $parameters.Keys) {
        foreach ($candidate in @($name) + $parameters[$name]) {
            if ($candidate -eq $Spelled) { $found = [string[]] @($name); break }
            if ($candidate.StartsWith($Spelled, [StringComparison]::OrdinalIgnoreCase) -and -not $starting.Contains($name)) { $starting.Add($name) }
        }
        if ($null -ne $found) { break }
    }
    if ($null -eq $found -and $starting.Count -gt 0) { $found = $starting.ToArray() }
    $Command51[$key] = $found
    if ($null -eq $found) { return $null }
    , $found
}

# Whether 7 takes an -Encoding value that 5.1 does not: its own names, a
# code page's number, or a name .NET knows other than 5.1's. .NET is asked
# here on purpose: what it takes is what the author's PowerShell 7 takes.
function Test-EncodingOnly7([string] $Value) {
    if ($Known.EncodingsOnly7.Contains($Value)) { return $true }
    if ($Known.Encodings51.Contains($Value)) { return $false }
    $number = 0
    if ([int]::TryParse($Value, [ref] $number)) { return $true }
    try { [void] [System.Text.Encoding]::GetEncoding($Value); return $true } catch { return $false }
}

# Every type name written in the script that the data knows, with the
# node it is written at: type literals, casts and constraints (attributes
# are not types here). Each as @{ Node; FullName; Only7; Assembly }: Only7
# for a type that 4.8 lacks, Assembly for one of an assembly that 5.1 does
# not load by itself. Found once for the rules that ask.
function Get-WrittenTypes($Context) {
    if ($Context.Memo.ContainsKey('WrittenTypes')) { return $Context.Memo.WrittenTypes }
    $found = [System.Collections.Generic.List[object]]::new()
    $resolved = $Context.TypeNames
    $facts = @{}
    foreach ($nodes in $Context.Nodes[[System.Management.Automation.Language.TypeExpressionAst]], $Context.Nodes[[System.Management.Automation.Language.TypeConstraintAst]]) {
        foreach ($node in $nodes) {
            # Assignments from if statements are avoided here: each one runs
            # a pipeline, which costs more than the rest of the loop.
            $typeName = $node.TypeName
            $names = $typeName.FullName
            if ($typeName -isnot [System.Management.Automation.Language.TypeName]) { $names = Get-PlainTypeNames $typeName }
            foreach ($name in $names) {
                # Most names are known by the second time: asked without a call.
                $fullName = $resolved[$name]
                if ($null -eq $fullName -and -not $resolved.ContainsKey($name)) { $fullName = Resolve-TypeName $Context $name }
                if (-not $fullName -or $Context.Classes.Contains($name)) { continue }
                $fact = $facts[$fullName]
                if ($null -eq $fact) {
                    $fact = $facts[$fullName] = @{
                        Only7    = $Known.TypesOnly7.Contains($fullName) -or (Test-NamespaceOnly7 $fullName)
                        Assembly = Get-NotLoadedAssembly $fullName
                    }
                }
                $found.Add(@{ Node = $node; FullName = $fullName; Only7 = $fact.Only7; Assembly = $fact.Assembly })
            }
        }
    }
    $Context.Memo.WrittenTypes = $found
    $found
}

# Every call of a command that the data or the script knows, with what
# its name stands for: @{ Command; Written; Name; Own }. Found once for
# the rules that ask.
function Get-KnownCalls($Context) {
    if ($Context.Memo.ContainsKey('KnownCalls')) { return $Context.Memo.KnownCalls }
    $found = [System.Collections.Generic.List[object]]::new()
    $targets = $Context.CommandTargets
    $commands = $Known.Commands
    $common = $Known.Common51
    $only7 = $Known.CommandsOnly7
    foreach ($command in $Context.Nodes[[System.Management.Automation.Language.CommandAst]]) {
        $written = $command.GetCommandName()
        if (-not $written) { continue }
        $target = $targets[$written]
        if ($null -eq $target) { $target = Get-CommandTarget $Context $written }
        $name = $target.Name
        if ($target.Own -or $only7.ContainsKey($name) -or $commands.ContainsKey($name) -or $common.Contains($name)) {
            $found.Add(@{ Command = $command; Written = $written; Name = $name; Own = $target.Own })
        }
    }
    $Context.Memo.KnownCalls = $found
    $found
}
