# The walk: one pass over the script's tree that gives the rules their
# context, so that no rule rescans the tree.
#
# - Nodes: every node of the tree, grouped by its type, each group in the
#   order of the text. The walk (FindAll) and the grouping run in .NET with
#   two delegates of .NET's own, so no PowerShell runs per node; a rule
#   takes the group of the type it looks at.
# - What the script defines: its functions (and their [Alias()] names),
#   classes and enums, the aliases it sets (Set-Alias, New-Alias), the
#   modules it imports or installs (Import-Module, Install-Module,
#   #Requires -Modules, using module), the assemblies it loads (and
#   whether it loads any that cannot be named before it runs), its using
#   namespaces, and where it assigns each variable.
# - Frames: the parts of the text where something may excuse a finding.
#   Each branch of an if or a switch, the right side of -and and -or, the
#   rest of a block after a branch that returns, exits or throws (guards,
#   judged by Guards.ps1 as 5.1 would run them); the body of a try that has
#   a catch; a script block whose param() block carries
#   SuppressMessageAttribute; a workflow, which 7 cannot read. Frames nest
#   as the tree does; a finding looks up the innermost one that holds it
#   and walks out, so the cost of a finding does not grow with the number
#   of guards.
using namespace System.Collections.Generic
using namespace System.Management.Automation.Language

$IsAnyNode = [Delegate]::CreateDelegate([Func[Ast, bool]], [Ast], [type].GetMethod('IsInstanceOfType', [type[]] @([object])))
$TypeOfNode = [Delegate]::CreateDelegate([Func[Ast, type]], [object].GetMethod('GetType', [type[]] @()))

function New-CheckContext([string] $Name, [string] $Text, [ScriptBlockAst] $Tree, [Token[]] $Tokens) {
    $context = @{
        Name           = $Name
        Text           = $Text
        Tree           = $Tree
        Tokens         = $Tokens
        Nodes          = [System.Linq.Enumerable]::ToLookup($Tree.FindAll($IsAnyNode, $true), $TypeOfNode)
        Functions      = New-NameTable
        Classes        = New-NameSet
        Aliases        = New-NameTable
        Modules        = New-NameSet
        Namespaces     = [string[]] @()
        Assemblies     = New-NameSet
        LoadsUnnamed   = $false
        Assignments    = New-NameTable
        IfTests        = [Dictionary[Ast, object]]::new()
        Frames         = [object[]] @()
        FrameStarts    = [int[]] @()
        # Answers remembered for the script.
        CommandTargets = New-NameTable
        TypeNames      = New-NameTable
        Values         = New-NameTable
        FunctionValues = New-NameTable
        ReachByKey     = [Dictionary[string, object]]::new([StringComparer]::Ordinal)
        Memo           = @{}
    }
    Add-Definitions $context
    Add-Frames $context
    $context
}

# A module the script imports, installs or requires: 5.1's own modules
# give 5.1's commands, whatever the name; any other brings its commands.
function Add-ScriptModule($Context, [string] $Written) {
    if (-not $Written) { return }
    $module = $Written
    if ($module.IndexOfAny([char[]] '\/') -ge 0 -or $module.EndsWith('.psm1') -or $module.EndsWith('.psd1')) {
        $module = [System.IO.Path]::GetFileNameWithoutExtension($module.Replace('\', '/'))
    }
    if ($Known.Modules51.Contains($module)) { return }
    [void] $Context.Modules.Add($module)
    if ($Known.ModulesInstalled.ContainsKey($module)) { [void] $Context.Modules.Add($Known.ModulesInstalled[$module]) }
}

# Where the script sets each variable (its assignments, and the
# parameters and loop variables whose values come from elsewhere).
function Add-Assignments($Context) {
    $nodes = $Context.Nodes
    $assignments = $Context.Assignments
    $sources = [System.Collections.Generic.List[object]]::new()
    foreach ($assignment in $nodes[[AssignmentStatementAst]]) {
        $left = $assignment.Left
        if ($left -is [ConvertExpressionAst]) { $left = $left.Child }
        if ($left -is [VariableExpressionAst]) {
            $sources.Add(@($left, $assignment))
        } elseif ($left -is [ArrayLiteralAst]) {
            foreach ($element in $left.Elements) {
                if ($element -is [VariableExpressionAst]) { $sources.Add(@($element, $element)) }
            }
        }
    }
    foreach ($parameter in $nodes[[ParameterAst]]) { $sources.Add(@($parameter.Name, $parameter)) }
    foreach ($loop in $nodes[[ForEachStatementAst]]) { $sources.Add(@($loop.Variable, $loop.Variable)) }
    foreach ($source in $sources) {
        $path = $source[0].VariablePath
        if (-not $path.IsVariable) { continue }
        $name = $path.UserPath
        $colon = $name.IndexOf(':')
        if ($colon -ge 0) { $name = $name.Substring($colon + 1) }
        $list = $assignments[$name]
        if ($null -eq $list) { $list = $assignments[$name] = [List[Ast]]::new() }
        $list.Add($source[1])
    }
}

# What a call of Set-Alias, New-Alias, Import-Module, Install-Module,
# Install-PSResource or Add-Type defines.
function Add-CallDefinition($Context, [CommandAst] $Command, [string] $Name) {
    $arguments = Get-CallArguments $Command
    if ($Name -eq 'Set-Alias' -or $Name -eq 'New-Alias') {
        $alias = Get-ConstantText (Get-NamedOrPositional $arguments 'Name' 0)
        $target = Get-ConstantText (Get-NamedOrPositional $arguments 'Value' 1)
        if ($alias -and $target) { $Context.Aliases[$alias] = $target }
    } elseif ($Name -eq 'Add-Type') {
        foreach ($assembly in Get-ConstantTexts (Get-NamedOrPositional $arguments 'AssemblyName', 'AN')) {
            [void] $Context.Assemblies.Add((Get-AssemblyShortName $assembly))
        }
        $path = Get-NamedOrPositional $arguments 'Path', 'LiteralPath', 'PSPath'
        if ($null -ne $path) { Add-AssemblyFiles $Context $path }
    } else {
        foreach ($module in Get-ConstantTexts (Get-NamedOrPositional $arguments 'Name' 0)) { Add-ScriptModule $Context $module }
    }
}

# Assemblies loaded from files: each by its file's name, and any at all
# (LoadsUnnamed) where a path cannot be read before the script runs.
function Add-AssemblyFiles($Context, [System.Management.Automation.Language.Ast] $Paths) {
    $texts = @(Get-ConstantTexts $Paths)
    if ($texts.Count -eq 0 -or $texts -contains $null) { $Context.LoadsUnnamed = $true }
    foreach ($path in $texts) {
        if ($path) { [void] $Context.Assemblies.Add((Get-AssemblyShortName $path)) }
    }
}

$DefiningCommands = New-NameSet 'Set-Alias', 'New-Alias', 'Import-Module', 'Install-Module', 'Install-PSResource', 'Add-Type'

function Add-Definitions($Context) {
    $nodes = $Context.Nodes
    $namespaces = [List[string]]::new()
    foreach ($statement in $Context.Tree.UsingStatements) {
        $kind = "$($statement.UsingStatementKind)"
        if ($kind -eq 'Namespace') {
            $namespaces.Add($statement.Name.Value)
        } elseif ($kind -eq 'Module') {
            Add-ScriptModule $Context $(if ($null -ne $statement.ModuleSpecification) { $statement.ModuleSpecification.Name } else { $statement.Name.Value })
        } elseif ($kind -eq 'Assembly') {
            [void] $Context.Assemblies.Add((Get-AssemblyShortName $statement.Name.Value))
        }
    }
    $Context.Namespaces = $namespaces.ToArray()
    $requirements = $Context.Tree.ScriptRequirements
    if ($null -ne $requirements) {
        foreach ($module in $requirements.RequiredModules) { Add-ScriptModule $Context $module.Name }
        foreach ($assembly in $requirements.RequiredAssemblies) { [void] $Context.Assemblies.Add((Get-AssemblyShortName $assembly)) }
    }
    if ($nodes.Contains([FunctionDefinitionAst])) { Add-FunctionDefinitions $Context }
    foreach ($type in $nodes[[TypeDefinitionAst]]) { [void] $Context.Classes.Add($type.Name) }
    $aliases = $Known.Aliases
    foreach ($command in $nodes[[CommandAst]]) {
        $written = $command.GetCommandName()
        if ($null -eq $written) { continue }
        $name = $aliases[$written]
        if ($null -eq $name) { $name = $written }
        if ($DefiningCommands.Contains($name)) { Add-CallDefinition $Context $command $name }
    }
    if ($nodes.Contains([InvokeMemberExpressionAst])) { Add-AssemblyLoads $Context }
    Add-Assignments $Context
}

# The script's functions, and the names their [Alias()] gives them.
function Add-FunctionDefinitions($Context) {
    foreach ($function in $Context.Nodes[[FunctionDefinitionAst]]) {
        if (-not $Context.Functions.ContainsKey($function.Name)) { $Context.Functions[$function.Name] = [List[Ast]]::new() }
        $Context.Functions[$function.Name].Add($function)
        if ($null -eq $function.Body.ParamBlock -or $function.Body.ParamBlock.Attributes.Count -eq 0) { continue }
        foreach ($attribute in $function.Body.ParamBlock.Attributes) {
            if (-not (Test-AttributeIs $attribute 'System.Management.Automation.AliasAttribute' $Context.Namespaces)) { continue }
            foreach ($alias in $attribute.PositionalArguments) {
                foreach ($name in Get-ConstantTexts $alias) { $Context.Aliases[$name] = $function.Name }
            }
        }
    }
}

# The assemblies that [Reflection.Assembly]::LoadWithPartialName('...') and
# ::Load('...') load, and ::LoadFrom, ::LoadFile and ::UnsafeLoadFrom of a
# file.
function Add-AssemblyLoads($Context) {
    foreach ($invoke in $Context.Nodes[[InvokeMemberExpressionAst]]) {
        if (-not $invoke.Static -or $invoke.Expression -isnot [TypeExpressionAst] -or $null -eq $invoke.Arguments) { continue }
        $method = $invoke.Member.Extent.Text
        if ($method -notin 'LoadWithPartialName', 'Load', 'LoadFrom', 'LoadFile', 'UnsafeLoadFrom') { continue }
        if ((Resolve-TypeName $Context $invoke.Expression.TypeName.FullName) -ne 'System.Reflection.Assembly') { continue }
        Add-AssemblyFiles $Context $invoke.Arguments[0]
    }
}

# Frames are hashtables: Kind, Start and End (offsets in the text), Parent,
# and what the kind needs. Built in place, not by a function per frame (a
# script can have thousands), and a kind's function is called only when the
# script holds its nodes, so that a small script costs little.
function Add-Frames($Context) {
    $nodes = $Context.Nodes
    $frames = [List[object]]::new()
    if ($nodes.Contains([IfStatementAst])) { Add-IfFrames $Context $frames }
    if ($nodes.Contains([SwitchStatementAst])) { Add-SwitchFrames $Context $frames }
    if ($nodes.Contains([BinaryExpressionAst])) { Add-OperandFrames $Context $frames }
    if ($nodes.Contains([TryStatementAst])) { Add-TryFrames $Context $frames }
    if ($nodes.Contains([ParamBlockAst])) { Add-SuppressFrames $Context $frames }
    if ($nodes.Contains([FunctionDefinitionAst])) { Add-WorkflowFrames $Context $frames }
    Complete-Frames $Context $frames
}

# Each branch of an if, each condition after the first, and what follows a
# branch that returns, exits or throws.
function Add-IfFrames($Context, [List[object]] $Frames) {
    $nodes = $Context.Nodes
    $ifTests = $Context.IfTests
    foreach ($if in $nodes[[IfStatementAst]]) {
        $test = @{ If = $if; Truths = @{}; Exits = $null }
        $ifTests[$if] = $test
        $clauses = $if.Clauses
        $count = $clauses.Count
        $exits = $null
        # The conditions so far, as written: frames whose tests read alike
        # are judged alike, so that a thousand copies of one version test
        # are worked out once.
        $written = ''
        for ($i = 0; $i -le $count; $i++) {
            if ($i -lt $count) {
                $body = $clauses[$i].Item2
                $extent = $clauses[$i].Item1.Extent
                if ($i -gt 0) {
                    $Frames.Add(@{ Kind = 'IfCondition'; Start = $extent.StartOffset; End = $extent.EndOffset; Parent = $null; Test = $test; Index = $i; Key = "if?$written" })
                }
                $written += "`n" + $extent.Text
            } else {
                $body = $if.ElseClause
                if ($null -eq $body) { break }
            }
            $extent = $body.Extent
            $Frames.Add(@{ Kind = 'IfBody'; Start = $extent.StartOffset; End = $extent.EndOffset; Parent = $null; Test = $test; Index = $i; Key = "if$i$written" })
            foreach ($statement in $body.Statements) {
                if ($statement -is [ReturnStatementAst] -or $statement -is [ExitStatementAst] -or $statement -is [ThrowStatementAst]) {
                    if ($null -eq $exits) { $exits = [List[int]]::new() }
                    $exits.Add($i)
                    break
                }
            }
        }
        # What follows a branch that returns, exits or throws runs only
        # when that branch was not taken.
        $block = $if.Parent
        $test.Exits = $exits
        if ($null -ne $exits -and ($block -is [StatementBlockAst] -or $block -is [NamedBlockAst])) {
            $index = $block.Statements.IndexOf($if)
            if ($index -ge 0 -and $index + 1 -lt $block.Statements.Count) {
                $Frames.Add(@{
                        Kind = 'AfterExit'; Start = $block.Statements[$index + 1].Extent.StartOffset; End = $block.Extent.EndOffset; Parent = $null
                        Test = $test; Exits = $exits.ToArray(); Key = "after$($exits -join ',')$written"
                    })
            }
        }
    }
}

# Each clause of a switch, and its default.
function Add-SwitchFrames($Context, [List[object]] $Frames) {
    $nodes = $Context.Nodes
    foreach ($switch in $nodes[[SwitchStatementAst]]) {
        $test = @{ Switch = $switch; Subject = $null; Truths = @{} }
        for ($i = 0; $i -lt $switch.Clauses.Count; $i++) {
            $extent = $switch.Clauses[$i].Item2.Extent
            $Frames.Add(@{ Kind = 'SwitchBody'; Start = $extent.StartOffset; End = $extent.EndOffset; Parent = $null; Test = $test; Index = $i })
        }
        if ($null -ne $switch.Default) {
            $extent = $switch.Default.Extent
            $Frames.Add(@{ Kind = 'SwitchBody'; Start = $extent.StartOffset; End = $extent.EndOffset; Parent = $null; Test = $test; Index = -1 })
        }
    }
}

# The right side of -and and -or, which 5.1 reads only as the left allows.
function Add-OperandFrames($Context, [List[object]] $Frames) {
    $nodes = $Context.Nodes
    $and = [TokenKind]::And
    $or = [TokenKind]::Or
    foreach ($binary in $nodes[[BinaryExpressionAst]]) {
        $operator = $binary.Operator
        if ($operator -ne $and -and $operator -ne $or) { continue }
        $extent = $binary.Right.Extent
        $Frames.Add(@{ Kind = 'Operand'; Start = $extent.StartOffset; End = $extent.EndOffset; Parent = $null; Binary = $binary; Key = "$operator$($binary.Left.Extent.Text)" })
    }
}

# The body of a try that has a catch, with the types it catches.
function Add-TryFrames($Context, [List[object]] $Frames) {
    $nodes = $Context.Nodes
    foreach ($try in $nodes[[TryStatementAst]]) {
        if ($try.CatchClauses.Count -eq 0) { continue }
        $catches = New-NameSet
        foreach ($catch in $try.CatchClauses) {
            if ($catch.IsCatchAll) { [void] $catches.Add('*') }
            foreach ($type in $catch.CatchTypes) {
                $name = $type.TypeName.FullName
                $resolved = $Context.TypeNames[$name]
                if ($null -eq $resolved -and -not $Context.TypeNames.ContainsKey($name)) { $resolved = Resolve-TypeName $Context $name }
                if ($resolved) { $name = $resolved }
                [void] $catches.Add($name)
            }
        }
        $extent = $try.Body.Extent
        $Frames.Add(@{ Kind = 'Try'; Start = $extent.StartOffset; End = $extent.EndOffset; Parent = $null; Catches = $catches })
    }
}

# A script block whose param() block carries SuppressMessageAttribute.
function Add-SuppressFrames($Context, [List[object]] $Frames) {
    $nodes = $Context.Nodes
    foreach ($param in $nodes[[ParamBlockAst]]) {
        if ($param.Attributes.Count -eq 0) { continue }
        $block = $param.Parent
        $entries = [List[object]]::new()
        foreach ($attribute in $param.Attributes) {
            if (-not (Test-AttributeIs $attribute 'System.Diagnostics.CodeAnalysis.SuppressMessageAttribute' $Context.Namespaces)) { continue }
            $arguments = @($attribute.PositionalArguments | ForEach-Object { Get-ConstantText $_ })
            if ($arguments.Count -eq 0 -or $null -eq $arguments[0]) { continue }
            $entries.Add(@{ Rule = $arguments[0]; Subject = $(if ($arguments.Count -gt 1) { "$($arguments[1])" } else { '' }) })
        }
        if ($entries.Count -gt 0) {
            $Frames.Add(@{ Kind = 'Suppress'; Start = $block.Extent.StartOffset; End = $block.Extent.EndOffset; Parent = $null; Entries = $entries })
        }
    }
}

# A workflow, which 7 cannot read.
function Add-WorkflowFrames($Context, [List[object]] $Frames) {
    $nodes = $Context.Nodes
    foreach ($function in $nodes[[FunctionDefinitionAst]]) {
        if ($function.IsWorkflow) { $Frames.Add(@{ Kind = 'NotChecked'; Start = $function.Extent.StartOffset; End = $function.Extent.EndOffset; Parent = $null }) }
    }
}

# Frames in the order of their starts, outer before inner at one start,
# each with its parent: the innermost frame that holds it.
function Complete-Frames($Context, [List[object]] $Frames) {
    $items = $Frames.ToArray()
    $keys = [long[]]::new($items.Count)
    for ($i = 0; $i -lt $items.Count; $i++) { $keys[$i] = [long] $items[$i].Start * 4294967296L + (4294967295L - $items[$i].End) }
    # As Arrays, so that PowerShell sorts these two and not copies of them.
    [Array]::Sort([Array] $keys, [Array] $items)
    $open = [Stack[object]]::new()
    $starts = [int[]]::new($items.Count)
    for ($i = 0; $i -lt $items.Count; $i++) {
        $frame = $items[$i]
        while ($open.Count -gt 0 -and $open.Peek().End -lt $frame.End) { [void] $open.Pop() }
        while ($open.Count -gt 0 -and $open.Peek().End -le $frame.Start) { [void] $open.Pop() }
        if ($open.Count -gt 0) { $frame.Parent = $open.Peek() }
        $open.Push($frame)
        $starts[$i] = $frame.Start
    }
    $Context.Frames = $items
    $Context.FrameStarts = $starts
}

# The innermost frame that holds an offset, or $null.
function Find-Frame($Context, [int] $Offset) {
    $starts = $Context.FrameStarts
    $i = [Array]::BinarySearch($starts, $Offset)
    if ($i -lt 0) {
        $i = (-bnot $i) - 1
    } else {
        while ($i + 1 -lt $starts.Length -and $starts[$i + 1] -eq $Offset) { $i++ }
    }
    if ($i -lt 0) { return $null }
    $frame = $Context.Frames[$i]
    while ($null -ne $frame -and $Offset -ge $frame.End) { $frame = $frame.Parent }
    $frame
}
