# Builds for Windows x86-64 with the MSVC ABI (x86_64-pc-windows-msvc). From
# a Visual Studio Developer prompt, cl, link and rc come from its PATH and the
# SDK's kernel32.lib serves. On Linux, Debian's clang-cl, lld-link and llvm-rc
# cross-compile; there is no Windows SDK there, so KERNEL32's import library
# is made from kernel32.h (runner/CMakeLists.txt), and the test programs,
# which need a C++ standard library and the Windows headers, are built with
# MinGW-w64 in a tree of their own (cmake/UnitTest.cmake).
if(CMAKE_HOST_WIN32)
  set(CMAKE_CXX_COMPILER cl)
  set(CMAKE_RC_COMPILER rc)
else()
  set(CMAKE_SYSTEM_NAME Windows)
  set(CMAKE_SYSTEM_PROCESSOR AMD64)
  set(CMAKE_CXX_COMPILER clang-cl-14)
  set(CMAKE_CXX_COMPILER_TARGET x86_64-pc-windows-msvc)
  set(CMAKE_LINKER lld-link-14)
  set(CMAKE_AR llvm-lib-14)
  set(CMAKE_RC_COMPILER llvm-rc-14)
  set(CMAKE_MT llvm-mt-14)
  set(CMAKE_DLLTOOL llvm-dlltool-14)
  # Only the libraries a target names: the platform's default list would
  # ask for SDK libraries that are not here.
  set(CMAKE_CXX_STANDARD_LIBRARIES "" CACHE STRING "")
  # Nothing links without the C runtime, so the compiler checks only compile.
  set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
  set(LAUNCHER_TEST_TOOLCHAIN_FILE ${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake)
  # CTest runs the Windows test programs under Wine, as scripts/wine runs it.
  get_filename_component(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine ABSOLUTE)
endif()

# The launcher without a C runtime: none selected, no security cookie (/GS-),
# no default libraries named in the objects (/Zl), no intrinsics that become
# calls to memcpy or memset (/Oi-), no guard variables for function statics
# (their code uses thread-local storage), and inlining as in the other
# configurations (MinSizeRel's /Ob1 inlines only what is marked inline). With
# no C runtime, a call to memcpy, memset or the stack probe __chkstk cannot
# link, so none can slip in.
set(CMAKE_MSVC_RUNTIME_LIBRARY "")
set(LAUNCHER_COMPILE_OPTIONS /GS- /Zl /Oi- /Zc:threadSafeInit- /Ob2)
if(NOT CMAKE_HOST_WIN32)
  # clang-cl: the smallest code, optimised as one whole module (this -flto
  # comes after the -flto=thin of CMake's whole-program optimisation, whose
  # per-module kind leaves 160 bytes more, vector copies among them), and no
  # unwind tables, as for MinGW-w64.
  list(APPEND LAUNCHER_COMPILE_OPTIONS /clang:-Oz -flto /clang:-fno-asynchronous-unwind-tables)
endif()
# RunLauncher is the entry point itself and KERNEL32 the only library; the
# manifest is in the resources. The constants and the import tables share the
# read-only code section. No debug information and no PDB path; /Brepro puts
# a hash of the image where the link time would be.
set(LAUNCHER_LINK_OPTIONS
  /NODEFAULTLIB /ENTRY:RunLauncher /SUBSYSTEM:CONSOLE /DYNAMICBASE /HIGHENTROPYVA /NXCOMPAT
  /TSAWARE /MANIFEST:NO /DEBUG:NONE /OPT:REF /OPT:ICF /Brepro /MERGE:.rdata=.text
  /FILEALIGN:512)
if(CMAKE_HOST_WIN32)
  # The checksum.
  list(APPEND LAUNCHER_LINK_OPTIONS /RELEASE)
else()
  # lld-link 14 writes no checksum (it has no /RELEASE) and leaves a block of
  # zeros after the headers, sized for a .reloc section header that an image
  # without relocations never gets; the finishing step closes the gap and
  # writes the checksum.
  find_program(Python3 NAMES python3 REQUIRED)
  set(LAUNCHER_FINISH_COMMAND ${Python3} ${CMAKE_CURRENT_LIST_DIR}/finish-image.py)
endif()
