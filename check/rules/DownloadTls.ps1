# A download with no TLS 1.2 set before it: 5.1 on .NET Framework 4.8
# offers only what [Net.ServicePointManager]::SecurityProtocol holds, SSL 3
# and TLS 1.0 unless the machine's .NET registry values say otherwise, and
# the download fails with "Could not create SSL/TLS secure channel"
# (rstudio/tinytex#43, dotnet/install-scripts#362 on Server 2016 in 2023;
# the PowerShell Gallery, behind Install-Module and
# Install-PackageProvider, takes TLS 1.2 only). Installers add TLS 1.2
# first; the fix keeps SystemDefault (0), where the machine lets Windows
# choose, so that TLS 1.3 stays available. In 7 it changes nothing: .NET's
# HttpClient does not read the setting. The setting holds for the whole
# process, so it counts wherever it lies before the download in the text,
# and anywhere for a download in a function (see Behaviour.ps1). Said once
# a script, at the first download that 5.1 reaches: one line fixes all.
function Find-DownloadTls($Context) {
    foreach ($download in Get-Downloads $Context) {
        if (Test-TlsSetBefore $Context $download.Node) { continue }
        $what = if ($download.Name -eq 'WebClient') { "a WebClient's $($download.At.Text)" } else { "$($download.Name)$(Get-CalledAs $download.Call)" }
        New-FindingAt $Context DownloadTls $download.At "$Starts may offer only SSL 3 and TLS 1.0 to the server for $what, and fails against one that requires TLS 1.2, unless the script adds TLS 1.2 to [Net.ServicePointManager]::SecurityProtocol before it"
    }
}
