// The whole platform surface of the launcher: the KERNEL32 functions it
// calls, spelled as Windows spells them, and the types they take. On Windows
// they are KERNEL32's own; host tests link a fake KERNEL32 in their place.
#pragma once

#include <stdint.h>

#if defined(_WIN32)
#define KERNEL32_IMPORT __declspec(dllimport)
#define WINAPI __stdcall
#else
#define KERNEL32_IMPORT
#define WINAPI
#endif

typedef int BOOL;
typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef void *HANDLE;
typedef void *HMODULE;
// WCHAR is a UTF-16 unit; char16_t has the size and sign of Windows' wchar_t.
typedef char16_t WCHAR;

constexpr DWORD STD_INPUT_HANDLE = static_cast<DWORD>(-10);
constexpr DWORD STD_OUTPUT_HANDLE = static_cast<DWORD>(-11);
constexpr DWORD STD_ERROR_HANDLE = static_cast<DWORD>(-12);
constexpr DWORD INFINITE = 0xFFFFFFFF;

struct STARTUPINFOW {
  DWORD cb;
  WCHAR *lpReserved;
  WCHAR *lpDesktop;
  WCHAR *lpTitle;
  DWORD dwX;
  DWORD dwY;
  DWORD dwXSize;
  DWORD dwYSize;
  DWORD dwXCountChars;
  DWORD dwYCountChars;
  DWORD dwFillAttribute;
  DWORD dwFlags;
  WORD wShowWindow;
  WORD cbReserved2;
  BYTE *lpReserved2;
  HANDLE hStdInput;
  HANDLE hStdOutput;
  HANDLE hStdError;
};

struct PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;
  DWORD dwProcessId;
  DWORD dwThreadId;
};

struct SECURITY_ATTRIBUTES;
struct OVERLAPPED;

extern "C" {
KERNEL32_IMPORT DWORD WINAPI GetModuleFileNameW(HMODULE hModule, WCHAR *lpFilename, DWORD nSize);
KERNEL32_IMPORT DWORD WINAPI GetWindowsDirectoryW(WCHAR *lpBuffer, DWORD uSize);
KERNEL32_IMPORT WCHAR *WINAPI GetCommandLineW();
KERNEL32_IMPORT BOOL WINAPI SetEnvironmentVariableW(const WCHAR *lpName, const WCHAR *lpValue);
KERNEL32_IMPORT BOOL WINAPI CreateProcessW(const WCHAR *lpApplicationName, WCHAR *lpCommandLine,
                                           SECURITY_ATTRIBUTES *lpProcessAttributes,
                                           SECURITY_ATTRIBUTES *lpThreadAttributes,
                                           BOOL bInheritHandles, DWORD dwCreationFlags,
                                           void *lpEnvironment, const WCHAR *lpCurrentDirectory,
                                           STARTUPINFOW *lpStartupInfo,
                                           PROCESS_INFORMATION *lpProcessInformation);
KERNEL32_IMPORT DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
KERNEL32_IMPORT BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, DWORD *lpExitCode);
KERNEL32_IMPORT BOOL WINAPI CloseHandle(HANDLE hObject);
KERNEL32_IMPORT HANDLE WINAPI GetStdHandle(DWORD nStdHandle);
KERNEL32_IMPORT BOOL WINAPI WriteFile(HANDLE hFile, const void *lpBuffer,
                                      DWORD nNumberOfBytesToWrite, DWORD *lpNumberOfBytesWritten,
                                      OVERLAPPED *lpOverlapped);
KERNEL32_IMPORT BOOL WINAPI ReadFile(HANDLE hFile, void *lpBuffer, DWORD nNumberOfBytesToRead,
                                     DWORD *lpNumberOfBytesRead, OVERLAPPED *lpOverlapped);
[[noreturn]] KERNEL32_IMPORT void WINAPI ExitProcess(unsigned uExitCode);
}
