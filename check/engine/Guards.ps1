# Guards: which branches Windows PowerShell 5.1 takes. A condition is
# worked out as 5.1 would work it out, from what 5.1 holds
# (check-data.json's Facts51: PSVersion 5.1, PSEdition Desktop, no
# $IsCoreCLR, $IsWindows, ...) and what the data says it has (commands,
# parameters, types, static members), in three values: true, false, or
# cannot tell. A value that no such fact touches is ordinary: the code
# under it is checked as any other, since it runs in 5.1 for some input.
#
# A branch that 5.1 never takes is not checked; nor is one whose test is
# about the version but cannot be told (a build number, say): the check
# passes what it cannot be sure of. The branch 5.1 takes is checked.
#
# Recognised: $PSVersionTable (its PSVersion, compared with numbers,
# strings or [version]s, its Major and Minor, PSEdition, Platform, OS),
# $PSEdition and the platform variables; Get-Command NAME (a command),
# (Get-Command NAME).Parameters with ContainsKey, an index, a member or
# .Keys -contains (a parameter); [Type].GetMethod('M') and its kin, a bare
# [Type]::Member, 'Name' -as [type] (a member, a type); Test-Path
# variable:NAME and Get-Variable NAME; a variable that the script sets to
# such a test, and a function of the script that returns one; -not, -and,
# -or, comparisons, casts and parentheses; switch on such a value.
using namespace System.Management.Automation.Language

# Values. Known: 5.1's value is Value. Version: the value depends on the
# version, so that not knowing it means "cannot tell". Symbol: one of the
# objects that the tests look into ($PSVersionTable, a version, a command
# and its parameters, a type).
$Ordinary = @{ Known = $false; Value = $null; Version = $false; Symbol = $null }
$CannotTell = @{ Known = $false; Value = $null; Version = $true; Symbol = $null }

function New-Known($Value, [bool] $Version) { @{ Known = $true; Value = $Value; Version = $Version; Symbol = $null } }
function New-Symbol([hashtable] $Symbol, [bool] $Version = $true) { @{ Known = $false; Value = $null; Version = $Version; Symbol = $Symbol } }
function Get-Unknown([bool] $Version) { if ($Version) { $CannotTell } else { $Ordinary } }

# Truths: T, F, U (about the version, cannot tell) or O (ordinary).
function Get-Truth($Value) {
    if ($Value.Known) {
        if ([System.Management.Automation.LanguagePrimitives]::IsTrue($Value.Value)) { return @{ State = 'T'; Version = $Value.Version } }
        return @{ State = 'F'; Version = $Value.Version }
    }
    if ($null -ne $Value.Symbol -and $Value.Symbol.Contains('Truth')) { return @{ State = $Value.Symbol.Truth; Version = $Value.Version } }
    @{ State = $(if ($Value.Version) { 'U' } else { 'O' }); Version = $Value.Version }
}

function Get-NotTruth($Truth) {
    $state = $Truth.State
    if ($state -eq 'T') { $state = 'F' } elseif ($state -eq 'F') { $state = 'T' }
    @{ State = $state; Version = $Truth.Version }
}

# All must hold: false when one is false, true when all are, cannot tell
# when one is about the version and unknown, else ordinary.
function Join-Truths([object[]] $Truths) {
    $state = 'T'
    $version = $false
    foreach ($truth in $Truths) {
        $version = $version -or $truth.Version
        if ($truth.State -eq 'F') { return @{ State = 'F'; Version = $version } }
        if ($truth.State -eq 'U') { $state = 'U' } elseif ($truth.State -eq 'O' -and $state -eq 'T') { $state = 'O' }
    }
    @{ State = $state; Version = $version }
}

function ConvertTo-Value($Truth) {
    switch ($Truth.State) {
        'T' { return New-Known $true $Truth.Version }
        'F' { return New-Known $false $Truth.Version }
        'U' { return $CannotTell }
    }
    $Ordinary
}

# 5.1's value of an expression, statement or pipeline. $Dollar is $_ in a
# switch's script block pattern.
function Get-Value51($Context, [Ast] $Node, $Dollar = $null) {
    if ($Node -is [ParenExpressionAst]) { return Get-Value51 $Context $Node.Pipeline $Dollar }
    if ($Node -is [PipelineAst]) {
        if ($Node.PipelineElements.Count -ne 1) { return $Ordinary }
        $element = $Node.PipelineElements[0]
        if ($element -is [CommandExpressionAst]) {
            if ($element.Redirections.Count -gt 0) { return $Ordinary }
            return Get-Value51 $Context $element.Expression $Dollar
        }
        return Get-CallValue51 $Context $element
    }
    if ($Node -is [CommandExpressionAst]) {
        if ($Node.Redirections.Count -gt 0) { return $Ordinary }
        return Get-Value51 $Context $Node.Expression $Dollar
    }
    if ($Node -is [CommandAst]) { return Get-CallValue51 $Context $Node }
    if ($Node -is [SubExpressionAst]) {
        if ($Node.SubExpression.Statements.Count -ne 1) { return $Ordinary }
        return Get-Value51 $Context $Node.SubExpression.Statements[0] $Dollar
    }
    if ($Node -is [ConstantExpressionAst]) { return New-Known $Node.Value $false }
    if ($Node -is [VariableExpressionAst]) { return Get-VariableValue51 $Context $Node $Dollar }
    if ($Node -is [UnaryExpressionAst]) {
        $inner = Get-Value51 $Context $Node.Child $Dollar
        if ("$($Node.TokenKind)" -in 'Not', 'Exclaim') { return ConvertTo-Value (Get-NotTruth (Get-Truth $inner)) }
        return Get-Unknown $inner.Version
    }
    if ($Node -is [BinaryExpressionAst]) { return Get-BinaryValue51 $Context $Node $Dollar }
    if ($Node -is [ConvertExpressionAst]) { return Get-ConvertValue51 $Context $Node $Dollar }
    if ($Node -is [InvokeMemberExpressionAst]) { return Get-InvokeValue51 $Context $Node $Dollar }
    if ($Node -is [MemberExpressionAst]) { return Get-MemberValue51 $Context $Node $Dollar }
    if ($Node -is [IndexExpressionAst]) {
        $index = Get-ConstantText $Node.Index
        $target = Get-Value51 $Context $Node.Target $Dollar
        if ($null -eq $index) { return Get-Unknown $target.Version }
        return Get-MemberOf $target $index
    }
    if ($Node -is [TypeExpressionAst]) { return New-Symbol @{ Kind = 'Type'; Name = $Node.TypeName.FullName; Truth = 'T' } $false }
    $Ordinary
}

function Get-VariableValue51($Context, [VariableExpressionAst] $Variable, $Dollar) {
    $name = Get-VariableName $Variable
    if (-not $name) { return $Ordinary }
    if ($name -eq 'true') { return New-Known $true $false }
    if ($name -eq 'false') { return New-Known $false $false }
    if ($name -eq 'null') { return New-Known $null $false }
    if ($name -eq '_' -or $name -eq 'PSItem') { if ($null -ne $Dollar) { return $Dollar } else { return $Ordinary } }
    if ($Context.Assignments.ContainsKey($name)) { return Get-AssignedValue51 $Context $name }
    Get-FactValue51 $name
}

# What 5.1 holds in a variable that the script does not set.
function Get-FactValue51([string] $Name) {
    if ($Name -eq 'PSVersionTable') { return New-Symbol @{ Kind = 'VersionTable'; Truth = 'T' } }
    if ($Known.Variables51.ContainsKey($Name)) { return New-Known $Known.Variables51[$Name] $true }
    $Ordinary
}

# A variable that the script sets: the value of every assignment that 5.1
# may reach, when they agree; one that 5.1 never reaches does not count.
# Where no assignment is reached, the variable keeps 5.1's own value.
function Get-AssignedValue51($Context, [string] $Name) {
    if ($Context.Values.ContainsKey($Name)) { return $Context.Values[$Name] }
    # A variable whose value depends on itself is not worked out.
    $Context.Values[$Name] = $Ordinary
    $values = [System.Collections.Generic.List[object]]::new()
    $version = $false
    $sure = $true
    foreach ($source in $Context.Assignments[$Name]) {
        $reach = Get-OffsetReach $Context $source.Extent.StartOffset
        $version = $version -or $reach.Version
        if ($reach.State -eq 'F') { continue }
        if ($reach.State -ne 'T') { $sure = $false }
        if ($source -is [AssignmentStatementAst] -and "$($source.Operator)" -eq 'Equals' -and
            ($source.Left -is [VariableExpressionAst] -or $source.Left -is [ConvertExpressionAst])) {
            $right = Get-Value51 $Context $source.Right
            if ($source.Left -is [ConvertExpressionAst] -and $right.Known) { $right = ConvertTo-Value (Get-Truth $right) }
            $values.Add($right)
        } else {
            $values.Add($Ordinary)
        }
    }
    $result = if ($values.Count -eq 0) {
        $fact = Get-FactValue51 $Name
        if ($fact.Known -or $null -ne $fact.Symbol) { $fact } else { New-Known $null $version }
    } else {
        $first = $values[0]
        $agree = $sure
        foreach ($value in $values) {
            $version = $version -or $value.Version
            if (-not $value.Known -or -not [object]::Equals($value.Value, $first.Value)) { $agree = $false }
        }
        if ($agree) { New-Known $first.Value $version } else { Get-Unknown $version }
    }
    $Context.Values[$Name] = $result
    $result
}

function Get-MemberValue51($Context, [MemberExpressionAst] $Node, $Dollar) {
    $member = Get-ConstantText $Node.Member
    if ($Node.Static) {
        if ($Node.Expression -isnot [TypeExpressionAst] -or -not $member) { return $Ordinary }
        $type = Resolve-TypeName $Context $Node.Expression.TypeName.FullName
        if ($type -and $Known.MembersOnly7.ContainsKey($type) -and (Test-MemberOnly7 $type $member)) { return New-Known $null $true }
        return $Ordinary
    }
    $target = Get-Value51 $Context $Node.Expression $Dollar
    if (-not $member) { return Get-Unknown $target.Version }
    Get-MemberOf $target $member
}

# A member (or a constant index) of a value.
function Get-MemberOf($Target, [string] $Member) {
    $symbol = $Target.Symbol
    if ($null -ne $symbol) {
        switch ($symbol.Kind) {
            'VersionTable' {
                if (-not $Known.VersionTable51.ContainsKey($Member)) { return $CannotTell }
                if ($Member -eq 'PSVersion') { return New-Symbol @{ Kind = 'Version'; Truth = 'T' } }
                return New-Known $Known.VersionTable51[$Member] $true
            }
            'Version' {
                $version = [version] $Known.VersionTable51['PSVersion']
                if ($Member -eq 'Major') { return New-Known $version.Major $true }
                if ($Member -eq 'Minor') { return New-Known $version.Minor $true }
                return $CannotTell
            }
            'Command' {
                if ($Member -eq 'Parameters') { return New-Symbol @{ Kind = 'Parameters'; Command = $symbol.Name; Truth = 'T' } }
                return $CannotTell
            }
            'Parameters' {
                if ($Member -eq 'Keys') { return New-Symbol @{ Kind = 'Keys'; Command = $symbol.Command; Truth = 'T' } }
                return ConvertTo-ParameterValue $symbol.Command $Member
            }
        }
        return Get-Unknown $Target.Version
    }
    if ($Target.Known -and $null -eq $Target.Value) { return $Target }
    Get-Unknown $Target.Version
}

# A parameter of 5.1's command as (Get-Command X).Parameters gives it: an
# entry where there is one, else nothing.
function ConvertTo-ParameterValue([string] $Command, [string] $Parameter) {
    $has = Test-Parameter51 $Command $Parameter
    if ($null -eq $has) { return $Ordinary }
    New-Known $(if ($has) { $Parameter } else { $null }) $true
}

function Get-InvokeValue51($Context, [InvokeMemberExpressionAst] $Node, $Dollar) {
    $method = Get-ConstantText $Node.Member
    $arguments = @($Node.Arguments | Where-Object { $null -ne $_ } | ForEach-Object { Get-ConstantText $_ })
    $argument = if ($arguments.Count -eq 1) { $arguments[0] }
    if ($Node.Static -or -not $method) { return $Ordinary }
    $target = Get-Value51 $Context $Node.Expression $Dollar
    $symbol = $target.Symbol
    if ($null -ne $symbol -and $null -ne $argument) {
        if ($symbol.Kind -eq 'Type' -and $method -in 'GetMethod', 'GetProperty', 'GetField', 'GetMember', 'GetEvent') {
            $type = Resolve-TypeName $Context $symbol.Name
            if ($type -and $Known.MembersOnly7.ContainsKey($type) -and (Test-MemberOnly7 $type $argument)) { return New-Known $null $true }
            return $Ordinary
        }
        if ($symbol.Kind -eq 'Parameters' -and $method -eq 'ContainsKey') { return ConvertTo-Value (Get-Truth (ConvertTo-ParameterValue $symbol.Command $argument)) }
        if ($symbol.Kind -eq 'Keys' -and $method -eq 'Contains') { return ConvertTo-Value (Get-Truth (ConvertTo-ParameterValue $symbol.Command $argument)) }
        if ($symbol.Kind -eq 'VersionTable' -and $method -eq 'ContainsKey') {
            return New-Known ($Known.VersionTable51.ContainsKey($argument) -and $null -ne $Known.VersionTable51[$argument]) $true
        }
    }
    if ($target.Known -and $target.Value -is [string] -and $null -ne $argument -and $method -in 'StartsWith', 'EndsWith', 'Contains', 'Equals') {
        return New-Known ($target.Value.$method($argument)) $target.Version
    }
    Get-Unknown $target.Version
}

# A call in a condition: Get-Command, Test-Path variable:, Get-Variable,
# or a function of the script.
function Get-CallValue51($Context, [CommandAst] $Command) {
    $written = $Command.GetCommandName()
    if (-not $written) { return $Ordinary }
    $target = Get-CommandTarget $Context $written
    $arguments = Get-CallArguments $Command
    if ($target.Own) {
        if ($arguments.Positional.Count -gt 0 -or $arguments.Named.Count -gt 0 -or $arguments.Splatted) { return $Ordinary }
        return Get-FunctionValue51 $Context $target.Name
    }
    $name = Get-ConstantText (Get-NamedOrPositional $arguments 'Name' 0)
    if (-not $name) { return $Ordinary }
    switch ($target.Name) {
        'Get-Command' {
            if ((Get-NamedOrPositional $arguments 'ParameterName', 'Module', 'CommandType')) { return $Ordinary }
            $asked = Resolve-CommandName $Context $name
            if ($null -eq $asked -or $asked.Own) { return $Ordinary }
            $has = Test-Command51 $Context $asked.Name
            # A command of one 5.1 build: which the user's Windows has is
            # not known.
            if ($null -eq $has -and $Known.CommandBuilds51.ContainsKey($asked.Name)) { return $CannotTell }
            if ($null -eq $has) { return $Ordinary }
            if ($has) { return New-Symbol @{ Kind = 'Command'; Name = $asked.Name; Truth = 'T' } }
            return New-Known $null $true
        }
        'Test-Path' {
            $path = $name -replace '^variable:[\\/]?(global:|script:)?', ''
            if ($path -eq $name) { return $Ordinary }
            $fact = Get-FactValue51 $path
            if ($null -ne $fact.Symbol) { return New-Known $true $true }
            if ($fact.Known) { return New-Known ($null -ne $fact.Value) $true }
            return $Ordinary
        }
        'Get-Variable' {
            $fact = Get-FactValue51 $name
            if ($fact.Known -and $null -eq $fact.Value) { return $fact }
            return $Ordinary
        }
    }
    $Ordinary
}

# A function of the script, called without arguments: the value it
# returns in 5.1, worked out statement by statement where its body is only
# expressions, assignments, returns and ifs.
function Get-FunctionValue51($Context, [string] $Name) {
    if ($Context.FunctionValues.ContainsKey($Name)) { return $Context.FunctionValues[$Name] }
    $Context.FunctionValues[$Name] = $Ordinary
    $definitions = $Context.Functions[$Name]
    $result = $Ordinary
    if ($definitions.Count -eq 1) {
        $body = $definitions[0].Body
        $run = $null
        if ($null -eq $body.BeginBlock -and $null -eq $body.ProcessBlock -and $null -ne $body.EndBlock) {
            $run = Invoke-Statements51 $Context $body.EndBlock.Statements
        }
        if ($null -ne $run -and $run.Done) {
            $result = switch ($run.Outputs.Count) {
                0 { New-Known $null $run.Version }
                1 { $run.Outputs[0] }
                default { Get-Unknown $run.Version }
            }
        } else {
            $result = Get-Unknown (Test-TouchesVersion $definitions[0])
        }
    }
    $Context.FunctionValues[$Name] = $result
    $result
}

# Whether a function reads any of the variables that tell the versions apart.
function Test-TouchesVersion([FunctionDefinitionAst] $Function) {
    $null -ne $Function.Find({
            param($node)
            $node -is [VariableExpressionAst] -and ((Get-VariableName $node) -eq 'PSVersionTable' -or $Known.Variables51.ContainsKey((Get-VariableName $node)))
        }, $true)
}

# @{ Done; Returned; Outputs; Version }: Done is false where a statement
# cannot be worked out.
function Invoke-Statements51($Context, $Statements) {
    $run = @{ Done = $true; Returned = $false; Outputs = [System.Collections.Generic.List[object]]::new(); Version = $false }
    foreach ($statement in $Statements) {
        if ($statement -is [AssignmentStatementAst]) { continue }
        if ($statement -is [ReturnStatementAst]) {
            if ($null -ne $statement.Pipeline) { $run.Outputs.Add((Get-Value51 $Context $statement.Pipeline)) }
            $run.Returned = $true
            return $run
        }
        if ($statement -is [PipelineAst] -and $statement.PipelineElements.Count -eq 1) {
            $element = $statement.PipelineElements[0]
            if ($element -is [CommandExpressionAst]) {
                $value = Get-Value51 $Context $statement
                $run.Version = $run.Version -or $value.Version
                $run.Outputs.Add($value)
                continue
            }
            $written = $element.GetCommandName()
            if ($written -and $Known.Quiet.Contains((Get-CommandTarget $Context $written).Name)) { continue }
        }
        if ($statement -is [IfStatementAst]) {
            $taken = $null
            foreach ($clause in $statement.Clauses) {
                $truth = Get-Truth (Get-Value51 $Context $clause.Item1)
                $run.Version = $run.Version -or $truth.Version
                if ($truth.State -eq 'T') { $taken = $clause.Item2; break }
                if ($truth.State -ne 'F') { $run.Done = $false; return $run }
            }
            if ($null -eq $taken) { $taken = $statement.ElseClause }
            if ($null -eq $taken) { continue }
            $inner = Invoke-Statements51 $Context $taken.Statements
            $run.Outputs.AddRange($inner.Outputs)
            $run.Version = $run.Version -or $inner.Version
            if (-not $inner.Done -or $inner.Returned) { $run.Done = $inner.Done; $run.Returned = $inner.Returned; return $run }
            continue
        }
        $run.Done = $false
        return $run
    }
    $run
}

function Get-ConvertValue51($Context, [ConvertExpressionAst] $Node, $Dollar) {
    $inner = Get-Value51 $Context $Node.Child $Dollar
    $type = $Node.Type.TypeName.FullName
    $full = if ($Known.Accelerators.ContainsKey($type)) { $Known.Accelerators[$type] } else { $type }
    if ($full -in 'System.Boolean', 'bool') { return ConvertTo-Value (Get-Truth $inner) }
    if ($full -in 'System.Version', 'version') {
        if ($null -ne $inner.Symbol -and $inner.Symbol.Kind -eq 'Version') { return $inner }
        $version = $null
        if ($inner.Known -and [version]::TryParse("$($inner.Value)", [ref] $version)) { return New-Known $version $inner.Version }
    }
    if ($full -in 'System.String', 'string' -and $inner.Known) { return New-Known "$($inner.Value)" $inner.Version }
    if ($full -in 'System.Int32', 'int' -and $inner.Known) {
        $number = 0
        if ([int]::TryParse("$($inner.Value)", [ref] $number)) { return New-Known $number $inner.Version }
    }
    Get-Unknown $inner.Version
}

# PSVersion (5.1, build unknown) against a version, string or number:
# -1, 0 or 1, or $null when only the build would tell.
function Compare-Version51($Other) {
    $version = [version] $Known.VersionTable51['PSVersion']
    $target = $null
    if ($Other -is [version]) { $target = $Other }
    elseif ($Other -is [string]) { if (-not [version]::TryParse($Other, [ref] $target)) { return $null } }
    else { return $null }
    if ($target.Major -ne $version.Major) { return [Math]::Sign($version.Major - $target.Major) }
    if ($target.Minor -ne $version.Minor) { return [Math]::Sign($version.Minor - $target.Minor) }
    if ($target.Build -lt 0) { return 1 }
    return $null
}

function Get-BinaryValue51($Context, [BinaryExpressionAst] $Node, $Dollar) {
    $operator = "$($Node.Operator)"
    $left = Get-Value51 $Context $Node.Left $Dollar
    if ($operator -eq 'And' -or $operator -eq 'Or') {
        $leftTruth = Get-Truth $left
        if ($operator -eq 'Or') { $leftTruth = Get-NotTruth $leftTruth }
        $rightTruth = Get-Truth (Get-Value51 $Context $Node.Right $Dollar)
        if ($operator -eq 'Or') { $rightTruth = Get-NotTruth $rightTruth }
        $both = Join-Truths $leftTruth, $rightTruth
        if ($operator -eq 'Or') { $both = Get-NotTruth $both }
        return ConvertTo-Value $both
    }
    $right = Get-Value51 $Context $Node.Right $Dollar
    $version = $left.Version -or $right.Version
    $bare = $operator -replace '^[IC](?=[a-z])', ''
    if ($bare -in 'eq', 'ne', 'gt', 'ge', 'lt', 'le') {
        $sign = $null
        if ($null -ne $left.Symbol -and $left.Symbol.Kind -eq 'Version' -and $right.Known) { $sign = Compare-Version51 $right.Value }
        elseif ($null -ne $right.Symbol -and $right.Symbol.Kind -eq 'Version' -and $left.Known) {
            $sign = Compare-Version51 $left.Value
            if ($null -ne $sign) { $sign = -$sign }
        } elseif ($left.Known -and $right.Known) {
            try { return New-Known (Invoke-Comparison $operator $left.Value $right.Value) $version } catch { return Get-Unknown $version }
        }
        if ($null -eq $sign) { return Get-Unknown $version }
        $holds = switch ($bare) { 'eq' { $sign -eq 0 } 'ne' { $sign -ne 0 } 'gt' { $sign -gt 0 } 'ge' { $sign -ge 0 } 'lt' { $sign -lt 0 } 'le' { $sign -le 0 } }
        return New-Known $holds $true
    }
    if ($bare -in 'contains', 'notcontains', 'in', 'notin') {
        $keys, $item = if ($bare -in 'contains', 'notcontains') { $left, $right } else { $right, $left }
        if ($null -ne $keys.Symbol -and $keys.Symbol.Kind -eq 'Keys' -and $item.Known) {
            $truth = Get-Truth (ConvertTo-ParameterValue $keys.Symbol.Command "$($item.Value)")
            if ($bare -like 'not*') { $truth = Get-NotTruth $truth }
            return ConvertTo-Value $truth
        }
    }
    if ($bare -in 'like', 'notlike', 'match', 'notmatch', 'contains', 'notcontains', 'in', 'notin' -and $left.Known -and $right.Known) {
        try { return New-Known (Invoke-Comparison $operator $left.Value $right.Value) $version } catch { return Get-Unknown $version }
    }
    if ($operator -eq 'As' -and $left.Known -and $left.Value -is [string] -and $Node.Right -is [TypeExpressionAst] -and
        (Test-TypeNameIs $Node.Right.TypeName.FullName 'System.Type' @())) {
        $type = Resolve-TypeName $Context $left.Value
        if ($type -and (Test-Type51 $Context $type) -eq $false) { return New-Known $null $true }
        return $Ordinary
    }
    Get-Unknown $version
}

# A comparison as PowerShell makes it, of two values 5.1 holds.
function Invoke-Comparison([string] $Operator, $Left, $Right) {
    switch ($Operator) {
        'Ieq' { $Left -eq $Right } 'Ceq' { $Left -ceq $Right } 'Ine' { $Left -ne $Right } 'Cne' { $Left -cne $Right }
        'Igt' { $Left -gt $Right } 'Cgt' { $Left -cgt $Right } 'Ige' { $Left -ge $Right } 'Cge' { $Left -cge $Right }
        'Ilt' { $Left -lt $Right } 'Clt' { $Left -clt $Right } 'Ile' { $Left -le $Right } 'Cle' { $Left -cle $Right }
        'Ilike' { $Left -like $Right } 'Clike' { $Left -clike $Right } 'Inotlike' { $Left -notlike $Right } 'Cnotlike' { $Left -cnotlike $Right }
        'Imatch' { $Left -match $Right } 'Cmatch' { $Left -cmatch $Right } 'Inotmatch' { $Left -notmatch $Right } 'Cnotmatch' { $Left -cnotmatch $Right }
        'Icontains' { $Left -contains $Right } 'Ccontains' { $Left -ccontains $Right } 'Inotcontains' { $Left -notcontains $Right } 'Cnotcontains' { $Left -cnotcontains $Right }
        'Iin' { $Left -in $Right } 'Cin' { $Left -cin $Right } 'Inotin' { $Left -notin $Right } 'Cnotin' { $Left -cnotin $Right }
        default { throw "no comparison $Operator" }
    }
}

# --- Frames

# Whether 5.1 reaches a frame (T, F, U, O), remembered on the frame. Only
# guards have an answer; other frames are reached.
function Get-FrameReach($Context, $Frame) {
    if ($Frame.Contains('Reach')) { return $Frame.Reach }
    $reach = switch ($Frame.Kind) {
        'IfCondition' { Get-IfReach $Context $Frame.Test $Frame.Index $true }
        'IfBody' { Get-IfReach $Context $Frame.Test $Frame.Index $false }
        'AfterExit' { Join-Truths @($Frame.Exits | ForEach-Object { Get-NotTruth (Get-IfReach $Context $Frame.Test $_ $false) }) }
        'SwitchBody' { Get-SwitchReach $Context $Frame.Test $Frame.Index }
        'Operand' {
            $truth = Get-Truth (Get-Value51 $Context $Frame.Binary.Left)
            if ("$($Frame.Binary.Operator)" -eq 'Or') { Get-NotTruth $truth } else { $truth }
        }
        default { @{ State = 'T'; Version = $false } }
    }
    $Frame.Reach = $reach
    $reach
}

# Whether 5.1 reaches clause $Index of an if (the else is the one after
# the last clause): each clause before it false, and its own true; or,
# for its condition, only the ones before it false.
function Get-IfReach($Context, $Test, [int] $Index, [bool] $Condition) {
    $clauses = $Test.If.Clauses
    $truths = for ($i = 0; $i -lt [Math]::Min($Index + 1, $clauses.Count); $i++) {
        if (-not $Test.Truths.ContainsKey($i)) { $Test.Truths[$i] = Get-Truth (Get-Value51 $Context $clauses[$i].Item1) }
        if ($i -lt $Index) { Get-NotTruth $Test.Truths[$i] } elseif (-not $Condition) { $Test.Truths[$i] }
    }
    Join-Truths @($truths)
}

# Whether 5.1 takes clause $Index of a switch (-1: default): its pattern
# matches the value 5.1 switches on; the default when none does.
function Get-SwitchReach($Context, $Test, [int] $Index) {
    $switch = $Test.Switch
    if ($null -eq $Test.Subject) { $Test.Subject = Get-Value51 $Context $switch.Condition }
    if ($Index -ge 0) { return Get-SwitchMatch $Context $Test $Index }
    Join-Truths @(for ($i = 0; $i -lt $switch.Clauses.Count; $i++) { Get-NotTruth (Get-SwitchMatch $Context $Test $i) })
}

function Get-SwitchMatch($Context, $Test, [int] $Index) {
    if ($Test.Truths.ContainsKey($Index)) { return $Test.Truths[$Index] }
    $subject = $Test.Subject
    $pattern = $Test.Switch.Clauses[$Index].Item1
    $flags = "$($Test.Switch.Flags)"
    $truth = if (-not $subject.Version) {
        @{ State = 'O'; Version = $false }
    } elseif ($pattern -is [ScriptBlockExpressionAst]) {
        $statements = $pattern.ScriptBlock.EndBlock.Statements
        if ($statements.Count -eq 1) { Get-Truth (Get-Value51 $Context $statements[0] $subject) } else { @{ State = 'U'; Version = $true } }
    } else {
        $value = Get-Value51 $Context $pattern
        $operator = if ($flags -match 'Wildcard') { 'like' } elseif ($flags -match 'Regex') { 'match' } else { 'eq' }
        $operator = $(if ($flags -match 'CaseSensitive') { 'C' } else { 'I' }) + $operator
        if ($subject.Known -and $value.Known) {
            try { @{ State = $(if (Invoke-Comparison $operator $subject.Value $value.Value) { 'T' } else { 'F' }); Version = $true } }
            catch { @{ State = 'U'; Version = $true } }
        } elseif ($null -ne $subject.Symbol -and $subject.Symbol.Kind -eq 'Version' -and $value.Known -and $operator -eq 'Ieq') {
            $sign = Compare-Version51 "$($value.Value)"
            if ($null -eq $sign) { @{ State = 'U'; Version = $true } } else { @{ State = $(if ($sign -eq 0) { 'T' } else { 'F' }); Version = $true } }
        } else {
            @{ State = 'U'; Version = $true }
        }
    }
    $Test.Truths[$Index] = $truth
    $truth
}

# Whether 5.1 reaches an offset, as far as the guards around it tell.
function Get-OffsetReach($Context, [int] $Offset) {
    $truths = [System.Collections.Generic.List[object]]::new()
    for ($frame = Find-Frame $Context $Offset; $null -ne $frame; $frame = $frame.Parent) {
        $truths.Add((Get-FrameReach $Context $frame))
    }
    Join-Truths $truths.ToArray()
}

