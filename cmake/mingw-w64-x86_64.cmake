# Cross-compiles for Windows x86-64 with Debian's MinGW-w64 (posix threads:
# the win32-threads runtime lacks std::mutex, which GoogleTest needs).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# CTest runs the Windows test programs under Wine, as scripts/wine runs it.
get_filename_component(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine ABSOLUTE)

# The launcher without a C runtime: nothing may call memcpy, memset or
# __chkstk, and nothing may drag in unwind tables, stack-protector checks or
# the compiler's ident. RunLauncher is the entry point itself, KERNEL32 the
# only library, and the linker script keeps the image to three sections.
set(LAUNCHER_COMPILE_OPTIONS
  -ffreestanding -fno-builtin -fno-tree-loop-distribute-patterns -mno-stack-arg-probe
  -fno-stack-protector -fno-asynchronous-unwind-tables -fno-unwind-tables -fno-ident
  -mcmodel=small -malign-data=abi)
cmake_path(GET CMAKE_CURRENT_LIST_DIR PARENT_PATH LauncherSourceRoot)
set(LAUNCHER_LINK_DEPENDS ${LauncherSourceRoot}/runner/launcher.ld)
set(LAUNCHER_LINK_OPTIONS
  -nostdlib -nostartfiles -Wl,-e,RunLauncher -s -Wl,--gc-sections -Wl,--no-insert-timestamp
  -Wl,--tsaware -Wl,-T,${LAUNCHER_LINK_DEPENDS})
# GNU ld gives three sections' headers a 1 KiB block, half of it zeros; the
# finishing step closes the gap and writes the checksum again.
find_program(Python3 NAMES python3 REQUIRED)
set(LAUNCHER_FINISH_COMMAND ${Python3} ${CMAKE_CURRENT_LIST_DIR}/finish-image.py)
