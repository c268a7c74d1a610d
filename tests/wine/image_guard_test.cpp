// Guards the shipped executable against regressions that no behaviour test
// would notice: its size, hardening flags, sections, imports and resources.
// Reads the image as Windows does, so it runs under Wine with the others.
// What depends on the linker comes from CTest; without it, the guard expects
// the shipped image, the MinGW-w64 build: LAUNCHER_RESOURCES_READ_ONLY (else
// the resources may be writable) and LAUNCHER_TIME_STAMP_IS_HASH (else the
// time stamp is zero).
#include <windows.h>

#include <imagehlp.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "e2e_harness.h"

namespace {

constexpr size_t SizeCap = 4096;

// The debug entry that says the header's time stamp is a hash of the image.
constexpr DWORD ReproDebugType = 16;

struct Image {
  std::string Bytes;
  const IMAGE_NT_HEADERS64 *Headers = nullptr;
  std::vector<IMAGE_SECTION_HEADER> Sections;

  // The file bytes at a relative virtual address, or nullptr outside every
  // section's data.
  const char *At(DWORD rva) const {
    for (const IMAGE_SECTION_HEADER &section : Sections) {
      if (rva >= section.VirtualAddress && rva < section.VirtualAddress + section.SizeOfRawData) {
        return Bytes.data() + section.PointerToRawData + (rva - section.VirtualAddress);
      }
    }
    return nullptr;
  }
  const IMAGE_DATA_DIRECTORY &Directory(int index) const {
    return Headers->OptionalHeader.DataDirectory[index];
  }
};

Image Load() {
  Image image;
  image.Bytes = ReadWhole(FileNamedBy("LAUNCHER_EXE"));
  EXPECT_GE(image.Bytes.size(), sizeof(IMAGE_DOS_HEADER));
  const auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(image.Bytes.data());
  image.Headers = reinterpret_cast<const IMAGE_NT_HEADERS64 *>(image.Bytes.data() + dos->e_lfanew);
  const IMAGE_SECTION_HEADER *first = IMAGE_FIRST_SECTION(image.Headers);
  image.Sections.assign(first, first + image.Headers->FileHeader.NumberOfSections);
  return image;
}

// A package author's icon (LAUNCHER_ICON, when the build was given one).
std::string GivenIcon() {
  return getenv("LAUNCHER_ICON") == nullptr ? std::string()
                                            : ReadWhole(FileNamedBy("LAUNCHER_ICON"));
}

// Resource types, as numbers: the headers spell them for the ANSI calls.
constexpr WORD IconType = 3;
constexpr WORD IconGroupType = 14;
constexpr WORD ManifestType = 24;

// One resource of the launcher, as Windows finds it.
std::string Resource(WORD type, WORD id) {
  HMODULE module = LoadLibraryExW(FileNamedBy("LAUNCHER_EXE").c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  EXPECT_NE(module, nullptr);
  HRSRC found = module == nullptr
                    ? nullptr
                    : FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type));
  const std::string bytes =
      found == nullptr
          ? std::string()
          : std::string(static_cast<const char *>(LockResource(LoadResource(module, found))),
                        SizeofResource(module, found));
  FreeLibrary(module);
  return bytes;
}

// An icon adds its images and one block of directories for them.
TEST(Image, IsSmall) {
  const size_t icon = GivenIcon().size();
  EXPECT_LE(Load().Bytes.size(), SizeCap + (icon == 0 ? 0 : icon + 512));
}

TEST(Image, IsHardened) {
  const Image image = Load();
  const IMAGE_FILE_HEADER &file = image.Headers->FileHeader;
  const IMAGE_OPTIONAL_HEADER64 &optional = image.Headers->OptionalHeader;
  EXPECT_EQ(image.Headers->Signature, IMAGE_NT_SIGNATURE);
  EXPECT_EQ(file.Machine, IMAGE_FILE_MACHINE_AMD64);
  EXPECT_EQ(optional.Magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);
  EXPECT_EQ(optional.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_CUI);
  EXPECT_EQ(file.Characteristics & IMAGE_FILE_RELOCS_STRIPPED, 0);
  for (const int flag :
       {IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE, IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA,
        IMAGE_DLLCHARACTERISTICS_NX_COMPAT, IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE}) {
    EXPECT_EQ(optional.DllCharacteristics & flag, flag) << std::hex << flag;
  }
  EXPECT_EQ(image.Directory(IMAGE_DIRECTORY_ENTRY_TLS).Size, 0u);
  const DWORD resources = image.Directory(IMAGE_DIRECTORY_ENTRY_RESOURCE).VirtualAddress;
  const bool resourcesReadOnly = getenv("LAUNCHER_RESOURCES_READ_ONLY") != nullptr;
  for (const IMAGE_SECTION_HEADER &section : image.Sections) {
    const std::string name(reinterpret_cast<const char *>(section.Name), 8);
    const DWORD writable = section.Characteristics & IMAGE_SCN_MEM_WRITE;
    const DWORD executable = section.Characteristics & IMAGE_SCN_MEM_EXECUTE;
    EXPECT_FALSE(writable && executable) << name << " is writable and executable";
    if (resources >= section.VirtualAddress &&
        resources < section.VirtualAddress + section.Misc.VirtualSize) {
      EXPECT_FALSE(resourcesReadOnly && writable) << name << " holds writable resources";
    }
    // The linker writes a base relocation for every absolute address when
    // the base is dynamic; a relocation section must then be the directory.
    if (name.rfind(".reloc", 0) == 0) {
      EXPECT_EQ(image.Directory(IMAGE_DIRECTORY_ENTRY_BASERELOC).VirtualAddress,
                section.VirtualAddress);
    }
  }
}

// No date in the image, so that two builds of one commit are the same bytes:
// the time stamp is zero or, where the linker puts a hash of the image there
// (LAUNCHER_TIME_STAMP_IS_HASH), a debug entry declares it a hash.
TEST(Image, HoldsNoDate) {
  const Image image = Load();
  if (getenv("LAUNCHER_TIME_STAMP_IS_HASH") == nullptr) {
    EXPECT_EQ(image.Headers->FileHeader.TimeDateStamp, 0u);
    return;
  }
  const IMAGE_DATA_DIRECTORY &debug = image.Directory(IMAGE_DIRECTORY_ENTRY_DEBUG);
  const auto *entries =
      reinterpret_cast<const IMAGE_DEBUG_DIRECTORY *>(image.At(debug.VirtualAddress));
  ASSERT_NE(entries, nullptr) << "a time stamp and no debug entry to say it is a hash";
  const auto isHash = [](const IMAGE_DEBUG_DIRECTORY &entry) {
    return entry.Type == ReproDebugType;
  };
  EXPECT_TRUE(std::any_of(entries, entries + debug.Size / sizeof *entries, isHash))
      << "a time stamp that no debug entry declares a hash";
}

// The checksum that Windows computes, as the linker's release option writes it.
TEST(Image, CarriesItsChecksum) {
  DWORD written = 0;
  DWORD computed = 0;
  ASSERT_EQ(MapFileAndCheckSumW(FileNamedBy("LAUNCHER_EXE").c_str(), &written, &computed),
            static_cast<DWORD>(CHECKSUM_SUCCESS));
  EXPECT_NE(written, 0u);
  EXPECT_EQ(written, computed);
}

TEST(Image, ImportsOnlyWhatTheLauncherCalls) {
  const Image image = Load();
  const IMAGE_DATA_DIRECTORY &imports = image.Directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
  ASSERT_NE(imports.VirtualAddress, 0u);
  std::set<std::string> libraries;
  std::set<std::string> functions;
  for (auto descriptor =
           reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR *>(image.At(imports.VirtualAddress));
       descriptor != nullptr && descriptor->Name != 0; ++descriptor) {
    libraries.insert(image.At(descriptor->Name));
    for (auto thunk =
             reinterpret_cast<const IMAGE_THUNK_DATA64 *>(image.At(descriptor->OriginalFirstThunk));
         thunk != nullptr && thunk->u1.AddressOfData != 0; ++thunk) {
      ASSERT_FALSE(IMAGE_SNAP_BY_ORDINAL64(thunk->u1.Ordinal));
      functions.insert(reinterpret_cast<const IMAGE_IMPORT_BY_NAME *>(
                           image.At(static_cast<DWORD>(thunk->u1.AddressOfData)))
                           ->Name);
    }
  }
  EXPECT_EQ(libraries, std::set<std::string>{"KERNEL32.dll"});
  EXPECT_EQ(functions,
            (std::set<std::string>{"CloseHandle", "CreateProcessW", "ExitProcess",
                                   "GetCommandLineW", "GetExitCodeProcess", "GetModuleFileNameW",
                                   "GetStdHandle", "GetWindowsDirectoryW", "ReadFile",
                                   "SetEnvironmentVariableW", "WaitForSingleObject", "WriteFile"}));
  EXPECT_EQ(image.Directory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT).Size, 0u);
}

TEST(Image, DeclaresItsManifest) {
  const std::string manifest = Resource(ManifestType, 1);
  for (const char *part : {
           "<requestedExecutionLevel level=\"asInvoker\"/>",
           "<supportedOS Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"/>", // 7
           "<supportedOS Id=\"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}\"/>", // 8
           "<supportedOS Id=\"{1f676c76-80e1-4239-95bb-83d0f6d0da78}\"/>", // 8.1
           "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>", // 10, 11
           ">true</longPathAware>",
       }) {
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
  }
}

TEST(Image, CarriesVersionInformation) {
  const std::wstring path = FileNamedBy("LAUNCHER_EXE");
  std::string data(GetFileVersionInfoSizeW(path.c_str(), nullptr), '\0');
  ASSERT_FALSE(data.empty());
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()));
  const auto value = [&](const wchar_t *name) {
    wchar_t *text = nullptr;
    UINT length = 0;
    const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    return VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void **>(&text), &length) &&
                   length > 0
               ? Narrow(std::wstring(text, length - 1))
               : std::string();
  };
  const std::string version = getenv("LAUNCHER_VERSION");
  EXPECT_EQ(value(L"ProductName"), "Yorn UI");
  EXPECT_EQ(value(L"OriginalFilename"), "Install-Yorn-UI.exe");
  EXPECT_NE(value(L"FileDescription"), "");
  EXPECT_EQ(value(L"FileVersion"), version);
  EXPECT_EQ(value(L"ProductVersion"), version);
  VS_FIXEDFILEINFO *fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void **>(&fixed), &length));
  // The fixed fields always hold four numbers; a shorter release number
  // fills them up with zeros.
  std::string padded = version;
  while (std::count(padded.begin(), padded.end(), '.') < 3) {
    padded += ".0";
  }
  for (const auto &[most, least] :
       {std::pair{fixed->dwFileVersionMS, fixed->dwFileVersionLS},
        std::pair{fixed->dwProductVersionMS, fixed->dwProductVersionLS}}) {
    EXPECT_EQ(std::to_string(HIWORD(most)) + "." + std::to_string(LOWORD(most)) + "." +
                  std::to_string(HIWORD(least)) + "." + std::to_string(LOWORD(least)),
              padded);
  }
}

// Explorer shows the first icon group: it must list the .ico's images in
// order, each stored whole as an icon resource of its own.
TEST(Image, CarriesTheGivenIcon) {
  const std::string icon = GivenIcon();
  const std::string group = Resource(IconGroupType, 1);
  if (icon.empty()) {
    EXPECT_EQ(group, "");
    return;
  }
  const auto word = [](const std::string &bytes, size_t at) {
    return static_cast<unsigned>(static_cast<unsigned char>(bytes[at]) |
                                 static_cast<unsigned char>(bytes[at + 1]) << 8);
  };
  const auto dword = [&](const std::string &bytes, size_t at) {
    return word(bytes, at) | word(bytes, at + 2) << 16;
  };
  // Both directories start with reserved, type, count; the file's entries
  // are 16 bytes (size and offset last), the group's 14 (resource id last).
  const unsigned count = word(icon, 4);
  ASSERT_EQ(group.size(), 6 + 14 * count);
  EXPECT_EQ(word(group, 4), count);
  for (unsigned i = 0; i < count; ++i) {
    SCOPED_TRACE(i);
    const std::string image =
        icon.substr(dword(icon, 6 + 16 * i + 12), dword(icon, 6 + 16 * i + 8));
    EXPECT_EQ(group.substr(6 + 14 * i, 12), icon.substr(6 + 16 * i, 12));
    EXPECT_TRUE(Resource(IconType, static_cast<WORD>(word(group, 6 + 14 * i + 12))) == image);
  }
}

} // namespace
