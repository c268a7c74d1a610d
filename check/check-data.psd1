# The author's check's own data, kept by hand: its rules (their names,
# severities and what may excuse a finding), what Windows PowerShell 5.1
# holds where scripts test for their version, and the short lists the rules
# need. What 7.6 has and 5.1 lacks is generated into
# compatibility/windows-powershell-5.1.json instead. PowerShell's data
# language, read once by engine/Data.ps1 with PowerShell's parser.
@{
    # Each rule: Severity; Family, the PSScriptAnalyzer rule name that a
    # SuppressMessageAttribute may name instead of the rule's own (null: the
    # rule's own name only); Suppressible; Guarded, whether code that 5.1
    # does not reach (a version test's other branch) or where the check
    # cannot tell is excused; Caught, the exception 5.1 throws, so that a
    # try with a catch of it excuses the finding (null: a catch does not
    # help); Once, said once a script and subject.
    Rules = @{
        Parse                      = @{ Severity = 'error'; Family = $null; Suppressible = $false; Guarded = $false; Caught = $null; Once = $false }
        NotChecked                 = @{ Severity = 'warning'; Family = $null; Suppressible = $false; Guarded = $false; Caught = $null; Once = $false }
        ScriptEncoding             = @{ Severity = 'warning'; Family = $null; Suppressible = $false; Guarded = $false; Caught = $null; Once = $false }
        ScriptNulBytes             = @{ Severity = 'error'; Family = $null; Suppressible = $false; Guarded = $false; Caught = $null; Once = $false }
        SyntaxOnly7                = @{ Severity = 'error'; Family = 'PSUseCompatibleSyntax'; Suppressible = $true; Guarded = $false; Caught = $null; Once = $false }
        NumberOnly7                = @{ Severity = 'error'; Family = 'PSUseCompatibleSyntax'; Suppressible = $true; Guarded = $false; Caught = $null; Once = $false }
        NumberWord                 = @{ Severity = 'warning'; Family = 'PSUseCompatibleSyntax'; Suppressible = $true; Guarded = $true; Caught = $null; Once = $false }
        EscapeOnly7                = @{ Severity = 'error'; Family = 'PSUseCompatibleSyntax'; Suppressible = $true; Guarded = $true; Caught = $null; Once = $false }
        ReplaceScriptBlock         = @{ Severity = 'error'; Family = 'PSUseCompatibleSyntax'; Suppressible = $true; Guarded = $true; Caught = $null; Once = $false }
        LetterRange                = @{ Severity = 'error'; Family = 'PSUseCompatibleSyntax'; Suppressible = $true; Guarded = $true; Caught = $null; Once = $false }
        RequiresVersion            = @{ Severity = 'error'; Family = 'PSUseCompatibleSyntax'; Suppressible = $true; Guarded = $false; Caught = $null; Once = $false }
        VersionStop                = @{ Severity = 'error'; Family = $null; Suppressible = $true; Guarded = $true; Caught = $null; Once = $false }
        VariableOnly7              = @{ Severity = 'warning'; Family = 'PSUseCompatibleSyntax'; Suppressible = $true; Guarded = $true; Caught = $null; Once = $false }
        CommandOnly7               = @{ Severity = 'error'; Family = 'PSUseCompatibleCommands'; Suppressible = $true; Guarded = $true; Caught = 'System.Management.Automation.CommandNotFoundException'; Once = $false }
        ParameterOnly7             = @{ Severity = 'error'; Family = 'PSUseCompatibleCmdlets'; Suppressible = $true; Guarded = $true; Caught = 'System.Management.Automation.ParameterBindingException'; Once = $false }
        EncodingOnly7              = @{ Severity = 'error'; Family = 'PSUseCompatibleCmdlets'; Suppressible = $true; Guarded = $true; Caught = 'System.Management.Automation.ParameterBindingException'; Once = $false }
        TypeOnly7                  = @{ Severity = 'error'; Family = 'PSUseCompatibleTypes'; Suppressible = $true; Guarded = $true; Caught = 'System.Management.Automation.RuntimeException'; Once = $false }
        StaticMemberOnly7          = @{ Severity = 'error'; Family = 'PSUseCompatibleTypes'; Suppressible = $true; Guarded = $true; Caught = 'System.Management.Automation.RuntimeException'; Once = $false }
        AssemblyNotLoaded          = @{ Severity = 'warning'; Family = 'PSUseCompatibleTypes'; Suppressible = $true; Guarded = $true; Caught = 'System.Management.Automation.RuntimeException'; Once = $true }
        ContractRemainingArguments = @{ Severity = 'warning'; Family = $null; Suppressible = $false; Guarded = $false; Caught = $null; Once = $false }
        ContractFps                = @{ Severity = 'error'; Family = $null; Suppressible = $false; Guarded = $false; Caught = $null; Once = $false }
    }

    # What 5.1 holds in the variables that scripts test to tell the versions
    # apart; a name it does not set holds null. PSVersion is 5.1 and a build
    # that the check does not know.
    Facts51 = @{
        Variables = @{ PSEdition = 'Desktop'; IsCoreCLR = $null; IsWindows = $null; IsLinux = $null; IsMacOS = $null; PSStyle = $null; EnabledExperimentalFeatures = $null }
        PSVersionTable = @{ PSVersion = '5.1'; PSEdition = 'Desktop'; Platform = $null; OS = $null }
    }

    # Automatic variables that 5.1 does not set.
    VariablesOnly7 = @(
        'IsCoreCLR', 'IsLinux', 'IsMacOS', 'IsWindows', 'PSStyle'
    )

    # The values 5.1's -Encoding takes (FileSystemCmdletProviderEncoding,
    # and the same names where the parameter is a string or an Encoding);
    # EncodingsOnly7, the names only 7 knows, which also takes a code page's
    # number or any name .NET knows.
    Encodings51 = @(
        'Ascii', 'BigEndianUnicode', 'BigEndianUTF32', 'Byte', 'Default', 'Oem', 'String', 'Unicode',
        'Unknown', 'UTF32', 'UTF7', 'UTF8'
    )

    EncodingsOnly7 = @(
        'ansi', 'utf8BOM', 'utf8NoBOM'
    )

    # The types of the literals that only 7 reads as numbers: the suffixes
    # u, ul, y, uy, s, us and n.
    NumberTypesOnly7 = @(
        'System.SByte', 'System.Byte', 'System.Int16', 'System.UInt16', 'System.UInt32', 'System.UInt64',
        'System.Numerics.BigInteger'
    )

    # PowerShell 7.6.10's type accelerators with the types they stand for,
    # as
    # [psobject].Assembly.GetType('System.Management.Automation.TypeAccelerators')::Get
    # lists them.
    Accelerators = @{
        'Alias' = 'System.Management.Automation.AliasAttribute'
        'AllowEmptyCollection' = 'System.Management.Automation.AllowEmptyCollectionAttribute'
        'AllowEmptyString' = 'System.Management.Automation.AllowEmptyStringAttribute'
        'AllowNull' = 'System.Management.Automation.AllowNullAttribute'
        'ArgumentCompleter' = 'System.Management.Automation.ArgumentCompleterAttribute'
        'ArgumentCompletions' = 'System.Management.Automation.ArgumentCompletionsAttribute'
        'array' = 'System.Array'
        'bigint' = 'System.Numerics.BigInteger'
        'bool' = 'System.Boolean'
        'byte' = 'System.Byte'
        'char' = 'System.Char'
        'cimclass' = 'Microsoft.Management.Infrastructure.CimClass'
        'cimconverter' = 'Microsoft.Management.Infrastructure.CimConverter'
        'ciminstance' = 'Microsoft.Management.Infrastructure.CimInstance'
        'CimSession' = 'Microsoft.Management.Infrastructure.CimSession'
        'cimtype' = 'Microsoft.Management.Infrastructure.CimType'
        'CmdletBinding' = 'System.Management.Automation.CmdletBindingAttribute'
        'cultureinfo' = 'System.Globalization.CultureInfo'
        'datetime' = 'System.DateTime'
        'decimal' = 'System.Decimal'
        'double' = 'System.Double'
        'DscLocalConfigurationManager' = 'System.Management.Automation.DscLocalConfigurationManagerAttribute'
        'DscProperty' = 'System.Management.Automation.DscPropertyAttribute'
        'DscResource' = 'System.Management.Automation.DscResourceAttribute'
        'ExperimentAction' = 'System.Management.Automation.ExperimentAction'
        'Experimental' = 'System.Management.Automation.ExperimentalAttribute'
        'ExperimentalFeature' = 'System.Management.Automation.ExperimentalFeature'
        'float' = 'System.Single'
        'guid' = 'System.Guid'
        'hashtable' = 'System.Collections.Hashtable'
        'initialsessionstate' = 'System.Management.Automation.Runspaces.InitialSessionState'
        'int' = 'System.Int32'
        'int16' = 'System.Int16'
        'int32' = 'System.Int32'
        'int64' = 'System.Int64'
        'ipaddress' = 'System.Net.IPAddress'
        'IPEndpoint' = 'System.Net.IPEndPoint'
        'long' = 'System.Int64'
        'mailaddress' = 'System.Net.Mail.MailAddress'
        'NoRunspaceAffinity' = 'System.Management.Automation.Language.NoRunspaceAffinityAttribute'
        'NullString' = 'System.Management.Automation.Language.NullString'
        'ObjectSecurity' = 'System.Security.AccessControl.ObjectSecurity'
        'ordered' = 'System.Collections.Specialized.OrderedDictionary'
        'OutputType' = 'System.Management.Automation.OutputTypeAttribute'
        'Parameter' = 'System.Management.Automation.ParameterAttribute'
        'PhysicalAddress' = 'System.Net.NetworkInformation.PhysicalAddress'
        'powershell' = 'System.Management.Automation.PowerShell'
        'psaliasproperty' = 'System.Management.Automation.PSAliasProperty'
        'pscredential' = 'System.Management.Automation.PSCredential'
        'pscustomobject' = 'System.Management.Automation.PSObject'
        'PSDefaultValue' = 'System.Management.Automation.PSDefaultValueAttribute'
        'pslistmodifier' = 'System.Management.Automation.PSListModifier'
        'psmoduleinfo' = 'System.Management.Automation.PSModuleInfo'
        'psnoteproperty' = 'System.Management.Automation.PSNoteProperty'
        'psobject' = 'System.Management.Automation.PSObject'
        'psprimitivedictionary' = 'System.Management.Automation.PSPrimitiveDictionary'
        'pspropertyexpression' = 'Microsoft.PowerShell.Commands.PSPropertyExpression'
        'psscriptmethod' = 'System.Management.Automation.PSScriptMethod'
        'psscriptproperty' = 'System.Management.Automation.PSScriptProperty'
        'PSTypeNameAttribute' = 'System.Management.Automation.PSTypeNameAttribute'
        'psvariable' = 'System.Management.Automation.PSVariable'
        'psvariableproperty' = 'System.Management.Automation.PSVariableProperty'
        'ref' = 'System.Management.Automation.PSReference'
        'regex' = 'System.Text.RegularExpressions.Regex'
        'runspace' = 'System.Management.Automation.Runspaces.Runspace'
        'runspacefactory' = 'System.Management.Automation.Runspaces.RunspaceFactory'
        'sbyte' = 'System.SByte'
        'scriptblock' = 'System.Management.Automation.ScriptBlock'
        'securestring' = 'System.Security.SecureString'
        'semver' = 'System.Management.Automation.SemanticVersion'
        'short' = 'System.Int16'
        'single' = 'System.Single'
        'string' = 'System.String'
        'SupportsWildcards' = 'System.Management.Automation.SupportsWildcardsAttribute'
        'switch' = 'System.Management.Automation.SwitchParameter'
        'timespan' = 'System.TimeSpan'
        'type' = 'System.Type'
        'uint' = 'System.UInt32'
        'uint16' = 'System.UInt16'
        'uint32' = 'System.UInt32'
        'uint64' = 'System.UInt64'
        'ulong' = 'System.UInt64'
        'uri' = 'System.Uri'
        'ushort' = 'System.UInt16'
        'ValidateCount' = 'System.Management.Automation.ValidateCountAttribute'
        'ValidateDrive' = 'System.Management.Automation.ValidateDriveAttribute'
        'ValidateLength' = 'System.Management.Automation.ValidateLengthAttribute'
        'ValidateNotNull' = 'System.Management.Automation.ValidateNotNullAttribute'
        'ValidateNotNullOrEmpty' = 'System.Management.Automation.ValidateNotNullOrEmptyAttribute'
        'ValidateNotNullOrWhiteSpace' = 'System.Management.Automation.ValidateNotNullOrWhiteSpaceAttribute'
        'ValidatePattern' = 'System.Management.Automation.ValidatePatternAttribute'
        'ValidateRange' = 'System.Management.Automation.ValidateRangeAttribute'
        'ValidateScript' = 'System.Management.Automation.ValidateScriptAttribute'
        'ValidateSet' = 'System.Management.Automation.ValidateSetAttribute'
        'ValidateTrustedData' = 'System.Management.Automation.ValidateTrustedDataAttribute'
        'ValidateUserDrive' = 'System.Management.Automation.ValidateUserDriveAttribute'
        'version' = 'System.Version'
        'void' = 'System.Void'
        'WildcardPattern' = 'System.Management.Automation.WildcardPattern'
        'X500DistinguishedName' = 'System.Security.Cryptography.X509Certificates.X500DistinguishedName'
        'X509Certificate' = 'System.Security.Cryptography.X509Certificates.X509Certificate'
        'xml' = 'System.Xml.XmlDocument'
    }

    # The accelerators that 5.1 has and 7.6 on Linux lacks, which 7's parser
    # therefore cannot resolve inside a class (from PSScriptAnalyzer's
    # compatibility profile of 5.1.17763; MIT licence,
    # compatibility/LICENSE).
    AcceleratorsOnly51 = @{
        adsi = 'System.DirectoryServices.DirectoryEntry'
        adsisearcher = 'System.DirectoryServices.DirectorySearcher'
        wmi = 'System.Management.ManagementObject'
        wmiclass = 'System.Management.ManagementClass'
        wmisearcher = 'System.Management.ManagementObjectSearcher'
    }

    # The modules that 5.1 ships on Windows 10 and Windows Server 2016 or
    # later: those of PSScriptAnalyzer's command data of 5.1.14393.206 and
    # of its profile of 5.1.17763 (MIT licence, compatibility/LICENSE), and
    # PowerShellGet, PackageManagement, PSReadLine, Pester and
    # Microsoft.PowerShell.Operation.Validation, which Windows 10 installs
    # beside them. Importing one of them gives 5.1's own version.
    Modules51 = @(
        'AppBackgroundTask', 'AppLocker', 'AppvClient', 'Appx', 'AssignedAccess', 'BitLocker',
        'BitsTransfer', 'BranchCache', 'CimCmdlets', 'ConfigCI', 'Defender', 'DeliveryOptimization',
        'DirectAccessClientComponents', 'Dism', 'DnsClient', 'EventTracingManagement', 'HgsClient',
        'HgsDiagnostics', 'Hyper-V', 'International', 'iSCSI', 'ISE', 'Kds', 'Microsoft.PowerShell.Archive',
        'Microsoft.PowerShell.Core', 'Microsoft.PowerShell.Diagnostics', 'Microsoft.PowerShell.Host',
        'Microsoft.PowerShell.LocalAccounts', 'Microsoft.PowerShell.Management',
        'Microsoft.PowerShell.ODataUtils', 'Microsoft.PowerShell.Operation.Validation',
        'Microsoft.PowerShell.Security', 'Microsoft.PowerShell.Utility', 'Microsoft.WSMan.Management',
        'MMAgent', 'MsDtc', 'MSMQ', 'NetAdapter', 'NetConnection', 'NetDiagnostics', 'NetEventPacketCapture',
        'NetLbfo', 'NetNat', 'NetQos', 'NetSecurity', 'NetSwitchTeam', 'NetTCPIP', 'NetWNV',
        'NetworkConnectivityStatus', 'NetworkSwitchManager', 'NetworkTransition', 'PackageManagement',
        'PcsvDevice', 'PersistentMemory', 'Pester', 'PKI', 'PnpDevice', 'PowerShellGet', 'PrintManagement',
        'ProcessMitigations', 'Provisioning', 'PSDesiredStateConfiguration', 'PSDiagnostics', 'PSReadLine',
        'PSScheduledJob', 'PSWorkflow', 'PSWorkflowUtility', 'ScheduledTasks', 'SecureBoot', 'SmbShare',
        'SmbWitness', 'StartLayout', 'Storage', 'StorageBusCache', 'TLS', 'TroubleshootingPack',
        'TrustedPlatformModule', 'UEV', 'VpnClient', 'Wdac', 'WindowsDeveloperLicense',
        'WindowsErrorReporting', 'WindowsSearch', 'WindowsUpdate', 'WindowsUpdateProvider'
    )

    # Modules that a 5.1 script can install or import under another name and
    # that bring the commands of one of 7.6's modules.
    ModulesInstalled = @{ ThreadJob = 'Microsoft.PowerShell.ThreadJob' }

    # .NET Framework 4.8 assemblies that 5.1 can load by name (using
    # assembly, Add-Type -AssemblyName) beside those of NotLoaded51.
    Assemblies51 = @(
        'Microsoft.VisualBasic', 'PresentationCore', 'System.Configuration', 'System.Data',
        'System.DirectoryServices', 'System.DirectoryServices.AccountManagement', 'System.IdentityModel',
        'System.Management', 'System.Net', 'System.Runtime.Serialization', 'System.Security',
        'System.ServiceModel', 'System.ServiceProcess', 'System.Web', 'System.Web.Extensions',
        'System.Windows.Forms.DataVisualization', 'System.Xaml', 'System.Xml', 'System.Xml.Linq',
        'WindowsBase'
    )

    # The parser's error ids for what 5.1 reads and 7.6 on Linux cannot: a
    # workflow, a module or an assembly loaded by using, a type of 5.1
    # inside a class.
    ParseErrorsOf7 = @{
        WorkflowNotSupportedInPowerShellCore = 'Workflow'
        ModuleNotFoundDuringParse = 'UsingModule'
        ErrorLoadingAssembly = 'UsingAssembly'
        TypeNotFound = 'ClassType'
    }

    # The exception types that catch every error the Caught column names, as
    # a catch clause names them.
    CatchesAll = @(
        'System.Exception', 'System.SystemException', 'System.Management.Automation.RuntimeException'
    )

    # Commands that write to a stream of their own and not to the output, so
    # that a function's value is worked out past them.
    Quiet = @(
        'Write-Debug', 'Write-Host', 'Write-Information', 'Write-Verbose', 'Write-Warning'
    )
}
