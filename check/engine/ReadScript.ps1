# A script's text as Windows PowerShell 5.1 reads it. 5.1 opens a script
# with a StreamReader in the ANSI code page that detects byte-order marks:
# UTF-32 LE (FF FE 00 00, tried before UTF-16 LE's FF FE), UTF-16 LE and
# BE, UTF-8, UTF-32 BE. Without a mark it reads the ANSI code page. The
# package gives a UTF-8 script with non-ASCII text the UTF-8 mark, so
# valid UTF-8 is read as UTF-8; anything else is read as Windows-1252, the
# most common ANSI code page, with a warning, and a script with NUL bytes
# and no mark (UTF-16 saved without one) is refused: 5.1 reads its NULs
# as characters.

$ByteOrderMarks = @(
    @{ Bytes = [byte[]] (0xFF, 0xFE, 0x00, 0x00); Encoding = [System.Text.UTF32Encoding]::new($false, $false) }
    @{ Bytes = [byte[]] (0xFF, 0xFE); Encoding = [System.Text.UnicodeEncoding]::new($false, $false) }
    @{ Bytes = [byte[]] (0xFE, 0xFF); Encoding = [System.Text.UnicodeEncoding]::new($true, $false) }
    @{ Bytes = [byte[]] (0xEF, 0xBB, 0xBF); Encoding = [System.Text.UTF8Encoding]::new($false) }
    @{ Bytes = [byte[]] (0x00, 0x00, 0xFE, 0xFF); Encoding = [System.Text.UTF32Encoding]::new($true, $false) }
)

function Test-StartsWithBytes([byte[]] $Bytes, [byte[]] $Start) {
    if ($Bytes.Length -lt $Start.Length) { return $false }
    for ($i = 0; $i -lt $Start.Length; $i++) {
        if ($Bytes[$i] -ne $Start[$i]) { return $false }
    }
    return $true
}

# Line and column (1-based, in bytes, which is characters in a single-byte
# code page) of a byte offset.
function Get-BytePosition([byte[]] $Bytes, [int] $At) {
    $line = 1
    $lineStart = 0
    while ($lineStart -lt $At) {
        $next = [Array]::IndexOf($Bytes, [byte] 10, $lineStart, $At - $lineStart)
        if ($next -lt 0) { break }
        $line++
        $lineStart = $next + 1
    }
    @{ Line = $line; Column = $At - $lineStart + 1; Offset = $At }
}

# @{ Text; Findings; Readable }: Readable is false when 5.1 could not make
# sense of the text at all, and nothing further is checked.
function Read-Script([byte[]] $Bytes, [string] $Name) {
    $findings = [System.Collections.Generic.List[object]]::new()
    foreach ($mark in $ByteOrderMarks) {
        if (Test-StartsWithBytes $Bytes $mark.Bytes) {
            $skip = $mark.Bytes.Length
            return @{ Text = $mark.Encoding.GetString($Bytes, $skip, $Bytes.Length - $skip); Findings = $findings; Readable = $true }
        }
    }
    $nul = [Array]::IndexOf($Bytes, [byte] 0)
    if ($nul -ge 0) {
        $at = Get-BytePosition $Bytes $nul
        $findings.Add((New-Finding $Name ScriptNulBytes $at.Line $at.Column $at.Offset "holds NUL bytes and has no byte-order mark, so Windows PowerShell 5.1 reads it in the user's ANSI code page, NULs included, and cannot run it (UTF-16 saved without its mark looks so)"))
        return @{ Text = ''; Findings = $findings; Readable = $false }
    }
    try {
        return @{ Text = [System.Text.UTF8Encoding]::new($false, $true).GetString($Bytes); Findings = $findings; Readable = $true }
    } catch [System.Management.Automation.MethodInvocationException] {
        $invalid = $_.Exception.InnerException
        if ($invalid -isnot [System.Text.DecoderFallbackException]) { throw }
        $at = Get-BytePosition $Bytes $invalid.Index
        $findings.Add((New-Finding $Name ScriptEncoding $at.Line $at.Column $at.Offset "is not UTF-8, so Windows PowerShell 5.1 reads it in the user's ANSI code page and its meaning depends on that code page (checked here as Windows-1252)"))
        return @{ Text = [System.Text.Encoding]::GetEncoding(1252).GetString($Bytes); Findings = $findings; Readable = $true }
    }
}
