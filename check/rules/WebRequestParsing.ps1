# Invoke-WebRequest without -UseBasicParsing, where 5.1 writes the
# response to the pipeline (no -OutFile, or -OutFile with -PassThru):
# there 5.1 builds the response's HTML document with Internet Explorer's
# engine, and stops where that engine is missing or was never started
# (Server Core, a new user profile, SYSTEM or a service account): "The
# response content cannot be parsed because the Internet Explorer engine
# is not available, or Internet Explorer's first-launch configuration is
# not complete." (spicetify/cli#97, microsoft/navcontainerhelper#975,
# rmbolger/Posh-ACME#27, helldivers2fixes/HellbombScript#110). 5.1's
# Invoke-WebRequest asks for the engine only when it writes to the
# pipeline without the switch (InvokeWebRequestCommand.FullClr.cs in
# PowerShell's history); Invoke-RestMethod never does. In 7 the switch does
# nothing. curl and wget, Invoke-WebRequest in 5.1, are refused as they
# stand (AliasOnly51). A splat may hold the switch, and is passed.
function Find-WebRequestParsing($Context) {
    foreach ($call in Get-CallsOf $Context 'Invoke-WebRequest') {
        $arguments = Get-Arguments51 $call.Command 'Invoke-WebRequest'
        if ($arguments.Splatted -or (Test-Switch51 $arguments 'UseBasicParsing')) { continue }
        if ($arguments.Named.ContainsKey('OutFile') -and -not (Test-Switch51 $arguments 'PassThru')) { continue }
        $subject = 'Invoke-WebRequest'
        $calledAs = Get-CalledAs $call
        New-FindingAt $Context WebRequestParsing $call.Command.Extent "$Starts parses the response of Invoke-WebRequest$calledAs with Internet Explorer's engine unless -UseBasicParsing is given, and stops where that engine is missing or was never started (Server Core, a new user profile, SYSTEM or a service account)" $subject
    }
}
