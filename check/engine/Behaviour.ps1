# What the rules of 5.1's behaviour share: the rules about code that both
# versions run, differently. The calls of the commands they look at, named
# as 5.1 names them, with their arguments bound as 5.1 binds them; the
# downloads; what the script has set by a given place (TLS 1.2, a
# preference variable); and the negations of $IsWindows.
#
# The order of a script's text is taken for the order 5.1 runs it in,
# except that a function runs when it is called, which the check does not
# follow: what the rest of the script sets may be in force in it.
using namespace System.Collections.Generic
using namespace System.Management.Automation.Language

# 5.1's parameters of a command as a call binds them, from Get-Command51's
# entry (Get-Parameters51: its own and 5.1's common ones) when a rule
# first asks: @{ Command51; Names (each name and alias -> its parameter);
# Switches }; $null where the data has none.
$Parameters51 = New-NameTable
function Get-Binding51([string] $Command) {
    if ($Parameters51.ContainsKey($Command)) { return $Parameters51[$Command] }
    $found = $null
    $command51 = Get-Command51 $Command
    if ($null -ne $command51) {
        $names = New-NameTable
        $bindable = Get-Parameters51 $command51
        foreach ($name in $bindable.Keys) {
            $names[$name] = $name
            foreach ($alias in $bindable[$name]) { $names[$alias] = $name }
        }
        $switches = New-NameSet 'Verbose', 'Debug'
        $switches.UnionWith($command51.Switches)
        $found = @{ Command51 = $command51; Names = $names; Switches = $switches }
    }
    $Parameters51[$Command] = $found
    $found
}

# The parameter a name as written stands for in 5.1: a name or an alias,
# else the one parameter it starts (Find-Parameters51); as written where
# none or several.
function Resolve-Parameter51($Parameters, [string] $Written) {
    if ($null -eq $Parameters) { return $Written }
    if ($Parameters.Names.ContainsKey($Written)) { return $Parameters.Names[$Written] }
    $found = Find-Parameters51 $Parameters.Command51 $Written
    if ($null -ne $found -and $found.Count -eq 1) { return $found[0] }
    $Written
}

# A call's arguments as 5.1 binds their names: Named (the parameter each
# stands for -> its argument, $null for a switch given bare), Positional
# (in order) and Splatted. A switch of 5.1's takes no argument after it.
function Get-Arguments51([CommandAst] $Command, [string] $Name) {
    $parameters = $Parameters51[$Name]
    if ($null -eq $parameters -and -not $Parameters51.ContainsKey($Name)) { $parameters = Get-Binding51 $Name }
    $named = [Dictionary[string, object]]::new([StringComparer]::OrdinalIgnoreCase)
    $positional = [List[Ast]]::new()
    $splatted = $false
    $elements = $Command.CommandElements
    for ($i = 1; $i -lt $elements.Count; $i++) {
        $element = $elements[$i]
        if ($element -is [CommandParameterAst]) {
            # A name or an alias is looked up here; only a start of one
            # costs a call.
            $parameter = $null
            if ($null -ne $parameters) { $parameter = $parameters.Names[$element.ParameterName] }
            if ($null -eq $parameter) { $parameter = Resolve-Parameter51 $parameters $element.ParameterName }
            $switch = $null -ne $parameters -and $parameters.Switches.Contains($parameter)
            if ($null -ne $element.Argument) {
                $named[$parameter] = $element.Argument
            } elseif (-not $switch -and $i + 1 -lt $elements.Count -and $elements[$i + 1] -isnot [CommandParameterAst]) {
                $named[$parameter] = $elements[$i + 1]
                $i++
            } else {
                $named[$parameter] = $null
            }
        } elseif ($element -is [VariableExpressionAst] -and $element.Splatted) {
            $splatted = $true
        } else {
            $positional.Add($element)
        }
    }
    @{ Named = $named; Positional = $positional; Splatted = $splatted }
}

# Whether a call gives a switch: bare, or with an argument other than
# $false.
function Test-Switch51($Arguments, [string] $Name) {
    if (-not $Arguments.Named.ContainsKey($Name)) { return $false }
    $argument = $Arguments.Named[$Name]
    -not ($argument -is [VariableExpressionAst] -and $argument.VariablePath.UserPath -eq 'false')
}

# The argument of a parameter given by name or at its position.
function Get-Argument51($Arguments, [string] $Name, [int] $Position) {
    if ($Arguments.Named.ContainsKey($Name)) { return $Arguments.Named[$Name] }
    if ($Position -ge 0 -and $Position -lt $Arguments.Positional.Count) { return $Arguments.Positional[$Position] }
}

# The commands these rules look at.
$BehaviourCommands = New-NameSet 'Invoke-WebRequest', 'Invoke-RestMethod', 'Start-BitsTransfer', 'Install-Module', 'Install-PackageProvider',
    'Expand-Archive', 'Out-File', 'Set-Content', 'Add-Content', 'New-Object'

# Every call of those commands, by the command 5.1 runs: 7.6's aliases and
# 5.1's own that name no program in 7; not the script's own functions and
# aliases. A table of lists, found once:
# @{ Command; Written; Name }.
function Get-Calls51($Context) {
    if ($Context.Memo.ContainsKey('Calls51')) { return $Context.Memo.Calls51 }
    $calls = [Dictionary[string, object]]::new([StringComparer]::OrdinalIgnoreCase)
    $targets = $Context.CommandTargets
    $aliases51 = Get-GeneratedTable 'AliasesOnly51'
    foreach ($command in $Context.Nodes[[CommandAst]]) {
        $written = $command.GetCommandName()
        if (-not $written) { continue }
        $target = $targets[$written]
        if ($null -eq $target) { $target = Get-CommandTarget $Context $written }
        if ($target.Own -or -not $target.Name) { continue }
        $name = $target.Name
        if ($null -ne $aliases51 -and $name -eq $written -and $aliases51.ContainsKey($written)) {
            # curl, wget and sc are refused as they stand (AliasOnly51), and
            # the program that its fix names is no cmdlet call to warn about.
            $alias = $aliases51[$written]
            if ($alias.Program -or $Known.ProgramsOf7.Contains($written)) { continue }
            $name = $alias.Command
        }
        if (-not $BehaviourCommands.Contains($name)) { continue }
        $list = $calls[$name]
        if ($null -eq $list) { $list = $calls[$name] = [List[object]]::new() }
        $list.Add(@{ Command = $command; Written = $written; Name = $name })
    }
    $Context.Memo.Calls51 = $calls
    $calls
}

# The calls of the commands named, each command's in the order of the
# text (Check.ps1 puts a rule's findings in order).
function Get-CallsOf($Context, [string[]] $Names) {
    $calls = Get-Calls51 $Context
    foreach ($name in $Names) {
        if ($calls.ContainsKey($name)) { $calls[$name] }
    }
}

# How a call names its command in a message: " (called as curl)" where
# it is written otherwise.
function Get-CalledAs($Call) {
    if ($Call.Written -ne $Call.Name) { return " (called as $($Call.Written))" }
    ''
}

# The functions a node lies in, innermost first.
function Get-EnclosingFunctions([Ast] $Node) {
    for ($parent = $Node.Parent; $null -ne $parent; $parent = $parent.Parent) {
        if ($parent -is [FunctionDefinitionAst]) { $parent }
    }
}

# The innermost function a node lies in, or $null.
function Get-EnclosingFunction([Ast] $Node) {
    for ($parent = $Node.Parent; $null -ne $parent; $parent = $parent.Parent) {
        if ($parent -is [FunctionDefinitionAst]) { return $parent }
    }
}

# The downloads 5.1 makes over HTTPS, each @{ Node; At (where); Name;
# Call (of a command, else $null) }: the
# calls of Invoke-WebRequest and Invoke-RestMethod (by any name 5.1 takes
# for them), Start-BitsTransfer, Install-Module and
# Install-PackageProvider, and a WebClient's Download methods
# (DownloadFile, DownloadString, DownloadData and their Async forms)
# where the script makes a WebClient (New-Object Net.WebClient,
# [Net.WebClient]::new()). Found once, each kind in the order of the text.
$DownloadCommands = 'Invoke-WebRequest', 'Invoke-RestMethod', 'Start-BitsTransfer', 'Install-Module', 'Install-PackageProvider'
function Get-Downloads($Context) {
    if ($Context.Memo.ContainsKey('Downloads')) { return $Context.Memo.Downloads }
    $found = [List[object]]::new()
    foreach ($call in Get-CallsOf $Context $DownloadCommands) {
        $found.Add(@{ Node = $call.Command; At = $call.Command.Extent; Name = $call.Name; Call = $call })
    }
    $webClient = 'System.Net.WebClient'
    $namespaces = $Context.Namespaces
    $makes = $false
    foreach ($call in Get-CallsOf $Context 'New-Object') {
        $type = Get-ConstantText (Get-Argument51 (Get-Arguments51 $call.Command 'New-Object') 'TypeName' 0)
        if ($type -and (Test-TypeNameIs $type $webClient $namespaces)) { $makes = $true; break }
    }
    $invokes = $Context.Nodes[[InvokeMemberExpressionAst]]
    if (-not $makes) {
        foreach ($invoke in $invokes) {
            if ($invoke.Static -and $invoke.Expression -is [TypeExpressionAst] -and $invoke.Member.Extent.Text -eq 'new' -and
                (Test-TypeNameIs $invoke.Expression.TypeName.FullName $webClient $namespaces)) { $makes = $true; break }
        }
    }
    if ($makes) {
        foreach ($invoke in $invokes) {
            if ($invoke.Static -or $invoke.Member -isnot [StringConstantExpressionAst]) { continue }
            if ($invoke.Member.Value -match '^Download(Data|File|String)(Async|TaskAsync)?$') {
                $found.Add(@{ Node = $invoke; At = $invoke.Member.Extent; Name = 'WebClient'; Call = $null })
            }
        }
    }
    $Context.Memo.Downloads = $found
    $found
}

# Whether an assignment to [Net.ServicePointManager]::SecurityProtocol
# leaves TLS 1.2 on: its value names Tls12 (a member, a string, a number
# with 3072's bits), Tls13 or SystemDefault, or holds what the check
# cannot read (a variable, a call), which is passed.
function Test-AddsTls12([AssignmentStatementAst] $Assignment) {
    $nodes = $Assignment.Right.FindAll({ $true }, $true)
    foreach ($node in $nodes) {
        if ($node -is [StringConstantExpressionAst] -or $node -is [ExpandableStringExpressionAst]) {
            if ($node.Value -match 'Tls1[23]|SystemDefault') { return $true }
        } elseif ($node -is [ConstantExpressionAst]) {
            if ($node.Value -is [int] -and ($node.Value -band 3072) -eq 3072) { return $true }
        } elseif ($node -is [VariableExpressionAst]) {
            if ($node.VariablePath.UserPath -notin 'true', 'false', 'null') { return $true }
        } elseif ($node -is [CommandAst] -or ($node -is [InvokeMemberExpressionAst])) {
            return $true
        }
    }
    $false
}

# The places where the script sets TLS 1.2, as @{ Offset; InFunction },
# in the order of the text: assignments to
# [Net.ServicePointManager]::SecurityProtocol that leave it on, where 5.1
# may reach them. Found once.
function Get-TlsSets($Context) {
    if ($Context.Memo.ContainsKey('TlsSets')) { return $Context.Memo.TlsSets }
    $found = [List[object]]::new()
    foreach ($assignment in $Context.Nodes[[AssignmentStatementAst]]) {
        $left = $assignment.Left
        if ($left -isnot [MemberExpressionAst] -or -not $left.Static -or $left.Expression -isnot [TypeExpressionAst]) { continue }
        if ($left.Member.Extent.Text -ne 'SecurityProtocol') { continue }
        if (-not (Test-TypeNameIs $left.Expression.TypeName.FullName 'System.Net.ServicePointManager' $Context.Namespaces)) { continue }
        if (-not (Test-AddsTls12 $assignment)) { continue }
        $offset = $assignment.Extent.StartOffset
        if ((Get-OffsetReach $Context $offset).State -eq 'F') { continue }
        $found.Add(@{ Offset = $offset; InFunction = $null -ne (Get-EnclosingFunction $assignment) })
    }
    $Context.Memo.TlsSets = $found
    $found
}

# Whether TLS 1.2 is set by the time 5.1 reaches a place: set before it in
# the text; or, in a function, set anywhere (the function may be called
# after it). The setting holds for the whole process.
function Test-TlsSetBefore($Context, [Ast] $At) {
    $sets = @(Get-TlsSets $Context)
    if ($sets.Count -eq 0) { return $false }
    if ($null -ne (Get-EnclosingFunction $At)) { return $true }
    $sets[0].Offset -lt $At.Extent.StartOffset
}

# The value a script's assignment gives a preference variable: the name
# of an ActionPreference ('Stop', [ActionPreference]::Stop), or '?'.
function Get-PreferenceValue([AssignmentStatementAst] $Assignment) {
    if ("$($Assignment.Operator)" -ne 'Equals') { return '?' }
    $value = $Assignment.Right
    if ($value -is [CommandExpressionAst]) { $value = $value.Expression }
    if ($value -is [ConvertExpressionAst]) { $value = $value.Child }
    $text = Get-ConstantText $value
    if ($null -ne $text) { return $text }
    if ($value -is [MemberExpressionAst] -and $value.Static -and $value.Expression -is [TypeExpressionAst] -and
        $value.Expression.TypeName.Name -match '(^|\.)ActionPreference$') { return $value.Member.Extent.Text }
    '?'
}

# Where the script sets a preference variable, as @{ Offset; Value;
# Function (the innermost function, or $null); Scoped (global: or
# script:) }, in the order of the text (the walk's order of assignments),
# where 5.1 may reach them. Found once a variable.
function Get-PreferenceSets($Context, [string] $Variable) {
    $key = "Preference $Variable"
    if ($Context.Memo.ContainsKey($key)) { return $Context.Memo[$key] }
    $found = [List[object]]::new()
    foreach ($source in $Context.Assignments[$Variable]) {
        if ($source -isnot [AssignmentStatementAst]) { continue }
        $offset = $source.Extent.StartOffset
        if ((Get-OffsetReach $Context $offset).State -eq 'F') { continue }
        $left = $source.Left
        if ($left -is [ConvertExpressionAst]) { $left = $left.Child }
        $path = $left.VariablePath
        $found.Add(@{
                Offset = $offset; Value = Get-PreferenceValue $source
                Function = Get-EnclosingFunction $source; Scoped = $path.IsGlobal -or $path.IsScript
            })
    }
    $Context.Memo[$key] = $found
    $found
}

# The value of a preference variable in force where 5.1 reaches a place,
# as far as the script's own assignments tell: the last one before it in
# its function, else in the function around that, and so on; at the top
# of the script, the last one before it there (or global:, script:
# anywhere before it). In a function that sets none before the place, the
# one value that the rest of the script gives it (its callers are not
# followed). $null where the script sets none; '?' where the check cannot
# tell.
function Get-PreferenceAt($Context, [string] $Variable, [Ast] $At) {
    $sets = @(Get-PreferenceSets $Context $Variable)
    if ($sets.Count -eq 0) { return $null }
    $offset = $At.Extent.StartOffset
    $functions = @(Get-EnclosingFunctions $At)
    foreach ($function in $functions) {
        $last = $null
        foreach ($set in $sets) {
            if ($set.Offset -lt $offset -and $set.Function -eq $function) { $last = $set }
        }
        if ($null -ne $last) { return $last.Value }
    }
    if ($functions.Count -eq 0) {
        $last = $null
        foreach ($set in $sets) {
            if ($set.Offset -lt $offset -and ($null -eq $set.Function -or $set.Scoped)) { $last = $set }
        }
        if ($null -eq $last) { return $null }
        return $last.Value
    }
    $values = New-NameSet
    foreach ($set in $sets) {
        if ($null -eq $set.Function -or $functions -notcontains $set.Function) { [void] $values.Add($set.Value) }
    }
    if ($values.Count -eq 0) { return $null }
    if ($values.Count -eq 1) { return @($values)[0] }
    '?'
}

# Whether a path as written names one of PowerShell's own files (.ps1,
# .psm1, .psd1, or $PROFILE): its text, the last part of a Join-Path or
# of [IO.Path]::Combine, or, for a variable, what every assignment of it
# gives (those in the function of the use where it has any; $null aside).
# A variable's answer is worked out once for each function it is used in:
# an installer assigns $path in many functions, and writes to it in each.
function Test-PowerShellFile($Context, [Ast] $Path, [int] $Depth = 0) {
    if ($null -eq $Path) { return $false }
    if ($Path -is [ParenExpressionAst]) { $Path = $Path.Pipeline }
    if ($Path -is [PipelineAst] -and $Path.PipelineElements.Count -eq 1) { $Path = $Path.PipelineElements[0] }
    if ($Path -is [CommandExpressionAst]) { $Path = $Path.Expression }
    if ($Path -is [CommandAst]) { $Path = $Path.CommandElements[$Path.CommandElements.Count - 1] }
    if ($Path -is [InvokeMemberExpressionAst] -and $null -ne $Path.Arguments -and $Path.Arguments.Count -gt 0) { $Path = $Path.Arguments[$Path.Arguments.Count - 1] }
    if ($Path -is [MemberExpressionAst] -and $Path.Expression -is [VariableExpressionAst]) { $Path = $Path.Expression }
    if ($Path -is [VariableExpressionAst]) {
        $name = Get-VariableName $Path
        if ($name -eq 'PROFILE') { return $true }
        $sources = $Context.Assignments[$name]
        if ($Depth -gt 0 -or $null -eq $sources) { return $false }
        $assigned = Get-PathAssignments $Context $name $sources
        if ($assigned.Other) { return $false }
        $function = Get-EnclosingFunction $Path
        $key = if ($null -ne $function -and $assigned.ByFunction.ContainsKey($function)) { $function } else { $Context.Tree }
        $answer = $assigned.Answers[$key]
        if ($null -ne $answer) { return $answer }
        $values = $assigned.Values
        if ($key -ne $Context.Tree) { $values = $assigned.ByFunction[$function] }
        $answer = $values.Count -gt 0
        foreach ($value in $values) {
            if (-not (Test-PowerShellFile $Context $value 1)) { $answer = $false; break }
        }
        $assigned.Answers[$key] = $answer
        return $answer
    }
    if ($Path -is [StringConstantExpressionAst] -or $Path -is [ExpandableStringExpressionAst]) { return $Path.Value -match '\.ps[dm]?1$' }
    $false
}

# A variable's assignments as Test-PowerShellFile reads them, found once
# a variable: @{ Other, where something else sets it (a foreach, a
# parameter); Values, the right sides but $null; ByFunction, those of
# each function that has any; Answers, each function's answer (the
# script's own under its tree). }
function Get-PathAssignments($Context, [string] $Name, $Sources) {
    $key = "PathAssignments $Name"
    if ($Context.Memo.ContainsKey($key)) { return $Context.Memo[$key] }
    $assigned = @{ Other = $false; Values = [List[Ast]]::new(); ByFunction = [Dictionary[Ast, List[Ast]]]::new(); Answers = [Dictionary[Ast, bool]]::new() }
    foreach ($source in $Sources) {
        if ($source -isnot [AssignmentStatementAst]) { $assigned.Other = $true; break }
        $right = $source.Right
        if ($right -is [CommandExpressionAst] -and $right.Expression -is [VariableExpressionAst] -and $right.Expression.VariablePath.UserPath -eq 'null') { continue }
        $assigned.Values.Add($right)
        $function = Get-EnclosingFunction $source
        if ($null -eq $function) { continue }
        $local = $null
        if (-not $assigned.ByFunction.TryGetValue($function, [ref] $local)) {
            $local = [List[Ast]]::new()
            $assigned.ByFunction[$function] = $local
        }
        $local.Add($right)
    }
    $Context.Memo[$key] = $assigned
    $assigned
}

# The negations of $IsWindows that 5.1 takes for true (-not $IsWindows,
# !$IsWindows, $IsWindows -ne $true), where the script does not set
# $IsWindows itself: 5.1 runs only on Windows, where 7 sets $IsWindows
# true, and leaves it $null. ($IsLinux and $IsMacOS are false on Windows
# too, so their negations mean there what they mean in 7.) Each
# @{ Node; Variable; Stops; If; Index }: in the condition of an if's
# clause Index (whose 5.1 value is not false), Stops when that branch
# throws or exits, or returns from the script (an if at its top, as
# VersionStop reads it); a negation whose if 5.1 does not enter is left
# out.
# Found once; Variables holds the $IsWindows of each, for VariableOnly7.
function Get-IsWindowsNegations($Context) {
    if ($Context.Memo.ContainsKey('IsWindowsNegations')) { return $Context.Memo.IsWindowsNegations }
    $found = [List[object]]::new()
    $variables = [HashSet[Ast]]::new()
    # Most scripts never name $IsWindows: .NET looks before any loop does.
    $named = $Context.Text.IndexOf('IsWindows', [StringComparison]::OrdinalIgnoreCase) -ge 0
    if ($named -and -not $Context.Assignments.ContainsKey('IsWindows')) {
        $candidates = [List[object]]::new()
        $not = [TokenKind]::Not
        $exclaim = [TokenKind]::Exclaim
        $ine = [TokenKind]::Ine
        $cne = [TokenKind]::Cne
        foreach ($unary in $Context.Nodes[[UnaryExpressionAst]]) {
            $kind = $unary.TokenKind
            if ($kind -ne $not -and $kind -ne $exclaim) { continue }
            $child = $unary.Child
            while ($child -is [ParenExpressionAst] -and $child.Pipeline -is [PipelineAst] -and $child.Pipeline.PipelineElements.Count -eq 1 -and
                $child.Pipeline.PipelineElements[0] -is [CommandExpressionAst]) { $child = $child.Pipeline.PipelineElements[0].Expression }
            if ($child -is [VariableExpressionAst] -and (Get-VariableName $child) -eq 'IsWindows') { $candidates.Add(@($unary, $child)) }
        }
        foreach ($binary in $Context.Nodes[[BinaryExpressionAst]]) {
            $operator = $binary.Operator
            if ($operator -ne $ine -and $operator -ne $cne) { continue }
            foreach ($pair in @($binary.Left, $binary.Right), @($binary.Right, $binary.Left)) {
                if ($pair[0] -is [VariableExpressionAst] -and (Get-VariableName $pair[0]) -eq 'IsWindows' -and
                    $pair[1] -is [VariableExpressionAst] -and $pair[1].VariablePath.UserPath -eq 'true') { $candidates.Add(@($binary, $pair[0])) }
            }
        }
        foreach ($candidate in $candidates) {
            $node = $candidate[0]
            $entry = @{ Node = $node; Variable = $candidate[1]; Stops = $null; If = $null; Index = -1 }
            # The if whose condition holds the negation, if any.
            $inner = $node
            for ($parent = $node.Parent; $null -ne $parent; $parent = $parent.Parent) {
                if ($parent -is [IfStatementAst]) {
                    for ($i = 0; $i -lt $parent.Clauses.Count; $i++) {
                        if ($parent.Clauses[$i].Item1 -eq $inner) { $entry.If = $parent; $entry.Index = $i }
                    }
                    break
                }
                if ($parent -is [StatementBlockAst] -or $parent -is [NamedBlockAst] -or $parent -is [ScriptBlockAst]) { break }
                $inner = $parent
            }
            if ($null -ne $entry.If) {
                $clause = $entry.If.Clauses[$entry.Index]
                if ((Get-Truth (Get-Value51 $Context $clause.Item1)).State -eq 'F') { continue }
                $top = $entry.If.Parent -is [NamedBlockAst] -and $entry.If.Parent.Parent -eq $Context.Tree
                foreach ($statement in $clause.Item2.Statements) {
                    if ($statement -is [ThrowStatementAst]) { $entry.Stops = 'throws'; break }
                    if ($statement -is [ExitStatementAst]) { $entry.Stops = 'exits'; break }
                    if ($statement -is [ReturnStatementAst] -and $top) { $entry.Stops = 'returns from the script'; break }
                }
            }
            $found.Add($entry)
            [void] $variables.Add($candidate[1])
        }
    }
    $result = @{ Negations = $found.ToArray(); Variables = $variables }
    $Context.Memo.IsWindowsNegations = $result
    $result
}
