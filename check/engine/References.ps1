# What a file of the package names by a path, found once for the rules
# that ask (ReferenceMissing, PathMissing, PathLeavesPackage). A script
# names a file under $PSScriptRoot, its own folder, when it dot-sources or
# runs it (. or &), imports it (Import-Module, a module folder too), loads
# it with `using module` (a relative path is taken from the script's
# folder), or joins $PSScriptRoot with it (Join-Path); a manifest names
# its root and nested modules, scripts, types and formats, from its own
# folder. Only the constant parts of a path are read: where a part is not
# a constant, the path is passed. Paths compare as Windows compares them,
# without regard to case and with either slash.
using namespace System.Collections.Generic
using namespace System.Management.Automation.Language

# @{ Rooted; Text } for a path as written: Rooted when it starts at
# $PSScriptRoot, Text what follows it (or the whole text of a constant).
# $null when a part is not a constant. Each Join-Path that it reads is
# added to $Joins, so that a path is said once, where it is used.
function Get-WrittenPath($Context, [Ast] $Node, [List[Ast]] $Joins) {
    while ($true) {
        if ($Node -is [ParenExpressionAst]) { $Node = $Node.Pipeline }
        elseif ($Node -is [CommandExpressionAst]) { $Node = $Node.Expression }
        elseif ($Node -is [PipelineAst]) {
            if ($Node.PipelineElements.Count -ne 1) { return $null }
            $Node = $Node.PipelineElements[0]
        } elseif ($Node -is [SubExpressionAst]) {
            if ($Node.SubExpression.Statements.Count -ne 1) { return $null }
            $Node = $Node.SubExpression.Statements[0]
        } else { break }
    }
    if ($Node -is [VariableExpressionAst]) {
        if ((Get-VariableName $Node) -eq 'PSScriptRoot') { return @{ Rooted = $true; Text = '' } }
        return $null
    }
    $text = Get-ConstantText $Node
    if ($null -ne $text) { return @{ Rooted = $false; Text = $text } }
    if ($Node -is [ExpandableStringExpressionAst]) {
        # "$PSScriptRoot\lib\x.ps1" or $PSScriptRoot/lib/x.ps1: the value
        # keeps the variable as written, and the rest is constant.
        if ($Node.NestedExpressions.Count -ne 1) { return $null }
        $nested = $Node.NestedExpressions[0]
        $start = Get-WrittenPath $Context $nested $Joins
        $written = $nested.Extent.Text
        if ($null -eq $start -or -not $start.Rooted -or $start.Text -or -not $Node.Value.StartsWith($written, [StringComparison]::Ordinal)) { return $null }
        return @{ Rooted = $true; Text = $Node.Value.Substring($written.Length) }
    }
    if ($Node -is [BinaryExpressionAst] -and $Node.Operator -eq [TokenKind]::Plus) {
        $left = Get-WrittenPath $Context $Node.Left $Joins
        $right = Get-WrittenPath $Context $Node.Right $Joins
        if ($null -eq $left -or $null -eq $right -or $right.Rooted) { return $null }
        return @{ Rooted = $left.Rooted; Text = $left.Text + $right.Text }
    }
    if ($Node -is [CommandAst] -and (Get-CalledName $Context $Node) -eq 'Join-Path') { return Get-JoinedPath $Context $Node $Joins }
    $null
}

# What a call's name stands for ('' for a call by path or script block).
function Get-CalledName($Context, [CommandAst] $Command) {
    $written = $Command.GetCommandName()
    if (-not $written) { return '' }
    (Get-CommandTarget $Context $written).Name
}

# Join-Path PARENT CHILD as it binds: -Path, then -ChildPath, each named
# or the next positional argument. One parent, rooted at $PSScriptRoot,
# and a constant child; more children (7's -AdditionalChildPath) pass.
function Get-JoinedPath($Context, [CommandAst] $Command, [List[Ast]] $Joins) {
    $arguments = Get-CallArguments $Command
    if ($arguments.Splatted) { return $null }
    $next = 0
    $bound = [object[]]::new(3)
    $names = 'Path', 'ChildPath', 'AdditionalChildPath'
    for ($i = 0; $i -lt 3; $i++) {
        $argument = Get-NamedOrPositional $arguments $names[$i]
        if ($null -eq $argument -and $next -lt $arguments.Positional.Count) { $argument = $arguments.Positional[$next++] }
        $bound[$i] = $argument
    }
    if ($null -eq $bound[0] -or $null -ne $bound[2]) { return $null }
    $parent = Get-WrittenPath $Context $bound[0] $Joins
    if ($null -eq $parent -or -not $parent.Rooted) { return $null }
    $child = @{ Rooted = $false; Text = '' }
    if ($null -ne $bound[1]) { $child = Get-WrittenPath $Context $bound[1] $Joins }
    if ($null -eq $child -or $child.Rooted) { return $null }
    $Joins.Add($Command)
    @{ Rooted = $true; Text = "$($parent.Text)\$($child.Text)" }
}

# @{ Path; Leaves } for the text after a folder of the package ($From, ''
# for the package folder): its path in the package, each . and ..
# followed; Leaves when it climbs out of the package, and then Path starts
# with ../. $null for a wildcard, whose files the check cannot tell.
function Resolve-PackagePath([string] $From, [string] $Text) {
    if ($Text.IndexOfAny([char[]] '*?[') -ge 0) { return $null }
    $parts = [List[string]]::new()
    if ($From) { $parts.AddRange($From.Split('/')) }
    $up = 0
    foreach ($part in $Text.Split([char[]] '\/')) {
        if ($part -eq '' -or $part -eq '.') { continue }
        if ($part -ne '..') { $parts.Add($part) }
        elseif ($parts.Count -gt 0) { $parts.RemoveAt($parts.Count - 1) }
        else { $up++ }
    }
    @{ Path = (('../' * $up) + ($parts -join '/')).TrimEnd('/'); Leaves = $up -gt 0 }
}

# Whether the package holds a path; for a module (Import-Module, using
# module), as 5.1 looks one up: the file, a folder that holds a module of
# its name, or the path with one of the module extensions.
function Test-InPackage($Package, [string] $Path, [bool] $Module) {
    if (-not $Module) { return $Package.Entries.Contains($Path) }
    if ($Package.Folders.Contains($Path)) { return $Package.ModuleFolders.Contains($Path) }
    if ($Package.Entries.Contains($Path)) { return $true }
    foreach ($extension in $Package.ModuleExtensions) {
        if ($Package.Entries.Contains($Path + $extension)) { return $true }
    }
    $false
}

# Every path the file names from its folder, in the order of the text:
# @{ Kind (DotSource, Call, Import, UsingModule, Manifest, Join); At;
# Path; Leaves; Present; Folder, the path is a folder; Tested, the script
# asks Test-Path about it, so that it may be missing; Key, the manifest's
# key }. Nothing outside a package.
function Get-PackageReferences($Context) {
    if ($Context.Memo.ContainsKey('References')) { return $Context.Memo.References }
    $found = [List[object]]::new()
    if ($null -ne $Context.Package) {
        $slash = $Context.Name.LastIndexOf('/')
        $state = @{
            Package = $Context.Package; Found = $found; Tested = New-NameSet
            From = $(if ($slash -lt 0) { '' } else { $Context.Name.Substring(0, $slash) })
        }
        if ($Context.Name.EndsWith('.psd1', [StringComparison]::OrdinalIgnoreCase)) {
            if ($null -ne $Context.Manifest) { Add-ManifestReferences $Context $state }
        } else {
            Add-ScriptReferences $Context $state
        }
        if ($found.Count -gt 1) {
            $items = $found.ToArray()
            $starts = [int[]] @(foreach ($item in $items) { $item.At.StartOffset })
            [Array]::Sort([Array] $starts, [Array] $items)
            $found = [List[object]]::new($items)
        }
    }
    $Context.Memo.References = $found
    $found
}

# A path that NODE names (TEXT, from the file's folder), unless the check
# cannot tell which file it is.
function Add-Reference($State, [string] $Kind, [Ast] $Node, [string] $Text, [bool] $Module, [string] $Key = '') {
    $resolved = Resolve-PackagePath $State.From $Text
    if ($null -eq $resolved) { return }
    $package = $State.Package
    $State.Found.Add(@{
            Kind = $Kind; At = $Node.Extent; Path = $resolved.Path; Leaves = $resolved.Leaves; Key = $Key
            Present = -not $resolved.Leaves -and (Test-InPackage $package $resolved.Path $Module)
            Folder = $package.Folders.Contains($resolved.Path); Tested = $State.Tested.Contains($resolved.Path)
        })
}

# The paths a script names: its dot-sources, calls, imports and `using
# module` paths, then every Join-Path that none of them took in, outer
# before inner (Nodes are in the order of the text).
function Add-ScriptReferences($Context, $State) {
    $used = [List[object]]::new()
    $joinPaths = [List[Ast]]::new()
    $targets = $Context.CommandTargets
    $dot = [TokenKind]::Dot
    $ampersand = [TokenKind]::Ampersand
    # Where the script reads $PSScriptRoot: a command without it in its
    # text names no path under it, and is passed without a look.
    $roots = [List[int]]::new()
    foreach ($variable in $Context.Nodes[[VariableExpressionAst]]) {
        if ($variable.VariablePath.UserPath.EndsWith('PSScriptRoot', [StringComparison]::OrdinalIgnoreCase) -and (Get-VariableName $variable) -eq 'PSScriptRoot') {
            $roots.Add($variable.Extent.StartOffset)
        }
    }
    $commands = if ($roots.Count -gt 0) { $Context.Nodes[[CommandAst]] } else { @() }
    foreach ($command in $commands) {
        $extent = $command.Extent
        $at = $roots.BinarySearch($extent.StartOffset)
        if ($at -lt 0) { $at = -bnot $at }
        if ($at -ge $roots.Count -or $roots[$at] -ge $extent.EndOffset) { continue }
        $operator = $command.InvocationOperator
        if ($operator -eq $dot -or $operator -eq $ampersand) {
            $used.Add(@($(if ($operator -eq $dot) { 'DotSource' } else { 'Call' }), $command.CommandElements[0], $false))
            continue
        }
        $written = $command.GetCommandName()
        if (-not $written) { continue }
        $target = $targets[$written]
        if ($null -eq $target) { $target = Get-CommandTarget $Context $written }
        $name = $target.Name
        if ($name -eq 'Join-Path') {
            $joinPaths.Add($command)
        } elseif ($name -eq 'Import-Module') {
            $argument = Get-NamedOrPositional (Get-CallArguments $command) 'Name' 0
            $modules = if ($argument -is [ArrayLiteralAst]) { $argument.Elements } else { @($argument) }
            foreach ($module in $modules) {
                if ($null -ne $module) { $used.Add(@('Import', $module, $true)) }
            }
        } elseif ($name -eq 'Test-Path') {
            $argument = Get-NamedOrPositional (Get-CallArguments $command) 'Path', 'LiteralPath', 'PSPath', 'LP' 0
            $written = if ($null -ne $argument) { Get-WrittenPath $Context $argument ([List[Ast]]::new()) }
            if ($null -ne $written -and $written.Rooted) {
                $resolved = Resolve-PackagePath $State.From $written.Text
                if ($null -ne $resolved) { [void] $State.Tested.Add($resolved.Path) }
            }
        }
    }
    $joined = [HashSet[Ast]]::new()
    foreach ($use in $used) {
        $joins = [List[Ast]]::new()
        $written = Get-WrittenPath $Context $use[1] $joins
        if ($null -eq $written -or -not $written.Rooted) { continue }
        $joined.UnionWith($joins)
        Add-Reference $State $use[0] $use[1] $written.Text $use[2]
    }
    foreach ($statement in $Context.Tree.UsingStatements) {
        if ("$($statement.UsingStatementKind)" -ne 'Module') { continue }
        $module = if ($null -ne $statement.ModuleSpecification) { $statement.ModuleSpecification.Name } else { $statement.Name.Value }
        # A name with a slash is a path, from the script's folder; a rooted
        # one is elsewhere on the user's machine.
        if (-not $module -or $module.IndexOfAny([char[]] '\/') -lt 0 -or $module.StartsWith('\') -or $module.StartsWith('/') -or $module.Contains(':')) { continue }
        $at = if ($null -ne $statement.Name) { $statement.Name } else { $statement }
        Add-Reference $State UsingModule $at $module $true
    }
    foreach ($command in $joinPaths) {
        if ($joined.Contains($command)) { continue }
        $joins = [List[Ast]]::new()
        $written = Get-JoinedPath $Context $command $joins
        if ($null -eq $written) { continue }
        $joined.UnionWith($joins)
        Add-Reference $State Join $command $written.Text $false
    }
}

# The files a manifest names, from its own folder: each string of the
# keys that load files (check-data.json's ManifestFileKeys) that is a
# path, with a slash or a file's extension (ManifestFileExtensions);
# a module's bare name, or the hashtable that names a module and its
# version, is not.
function Add-ManifestReferences($Context, $State) {
    $extensions = New-NameSet $Known.Own.ManifestFileExtensions
    foreach ($key in $Known.Own.ManifestFileKeys) {
        $value = $Context.Manifest[$key]
        if ($null -eq $value) { continue }
        foreach ($node in $value.FindAll({ param($node) $node -is [StringConstantExpressionAst] }, $false)) {
            $text = $node.Value
            if ($text.IndexOfAny([char[]] '\/') -lt 0 -and -not $extensions.Contains([System.IO.Path]::GetExtension($text))) { continue }
            $inTable = $false
            for ($parent = $node.Parent; $parent -ne $value; $parent = $parent.Parent) {
                if ($parent -is [HashtableAst]) { $inTable = $true; break }
            }
            if (-not $inTable) { Add-Reference $State Manifest $node $text $false $key }
        }
    }
}
