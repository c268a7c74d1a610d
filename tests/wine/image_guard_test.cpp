// Guards the shipped executable against regressions that no behaviour test
// would notice: its size, hardening flags, sections, imports and resources.
// Reads the image as Windows does, so it runs under Wine with the others.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "e2e_harness.h"

namespace {

constexpr size_t SizeCap = 4608;

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
  HANDLE file = CreateFileW(FileNamedBy("LAUNCHER_EXE").c_str(), GENERIC_READ, FILE_SHARE_READ,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(file, INVALID_HANDLE_VALUE);
  image.Bytes.resize(GetFileSize(file, nullptr));
  DWORD read = 0;
  ReadFile(file, image.Bytes.data(), static_cast<DWORD>(image.Bytes.size()), &read, nullptr);
  CloseHandle(file);
  const auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(image.Bytes.data());
  image.Headers = reinterpret_cast<const IMAGE_NT_HEADERS64 *>(image.Bytes.data() + dos->e_lfanew);
  const IMAGE_SECTION_HEADER *first = IMAGE_FIRST_SECTION(image.Headers);
  image.Sections.assign(first, first + image.Headers->FileHeader.NumberOfSections);
  return image;
}

TEST(Image, IsSmall) { EXPECT_LE(Load().Bytes.size(), SizeCap); }

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
  // No date in the image: two builds of one commit are the same bytes.
  EXPECT_EQ(file.TimeDateStamp, 0u);
  for (const IMAGE_SECTION_HEADER &section : image.Sections) {
    const std::string name(reinterpret_cast<const char *>(section.Name), 8);
    const DWORD writable = section.Characteristics & IMAGE_SCN_MEM_WRITE;
    const DWORD executable = section.Characteristics & IMAGE_SCN_MEM_EXECUTE;
    EXPECT_FALSE(writable && executable) << name << " is writable and executable";
    // The linker writes a base relocation for every absolute address when
    // the base is dynamic; a relocation section must then be the directory.
    if (name.rfind(".reloc", 0) == 0) {
      EXPECT_EQ(image.Directory(IMAGE_DIRECTORY_ENTRY_BASERELOC).VirtualAddress,
                section.VirtualAddress);
    }
  }
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
                                   "WaitForSingleObject", "WriteFile"}));
  EXPECT_EQ(image.Directory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT).Size, 0u);
}

TEST(Image, DeclaresItsManifest) {
  HMODULE module = LoadLibraryExW(FileNamedBy("LAUNCHER_EXE").c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(module, nullptr);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(found, nullptr);
  const std::string manifest(static_cast<const char *>(LockResource(LoadResource(module, found))),
                             SizeofResource(module, found));
  FreeLibrary(module);
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
  const std::string version = getenv("PROJECT_VERSION");
  EXPECT_EQ(value(L"ProductName"), "Yorn UI");
  EXPECT_EQ(value(L"OriginalFilename"), "Install-Yorn-UI.exe");
  EXPECT_NE(value(L"FileDescription"), "");
  EXPECT_EQ(value(L"FileVersion"), version);
  EXPECT_EQ(value(L"ProductVersion"), version);
  VS_FIXEDFILEINFO *fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void **>(&fixed), &length));
  const std::string fixedVersion = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                                   std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                                   std::to_string(HIWORD(fixed->dwFileVersionLS));
  EXPECT_EQ(fixedVersion, version);
}

} // namespace
