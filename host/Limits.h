// The fixed buffers the program hands to Windows that more than one step shares: one size
// each, and the reason for it.
#pragma once

#include "host/WinTypes.h"

// A module's full path. MAX_PATH (260) is what Windows 2000 and XP report to ANSI callers;
// twice that leaves room to tell a whole path from one cut to the buffer, which is never
// used as a path.
const DWORD MODULE_PATH_SIZE = 512;

// The Windows directory: 255 characters are offered to GetWindowsDirectoryA and one byte is
// kept back, so the text is terminated whatever the call leaves in the buffer.
const UINT WINDOWS_DIR_SIZE = 256;
const UINT WINDOWS_DIR_OFFERED = WINDOWS_DIR_SIZE - 1;

// The record GetVersionExA fills: the size of OSVERSIONINFOA (the Win32 build checks it), so
// that every Windows from 95 on accepts it.
const DWORD OSVERSIONINFOA_SIZE = 148;
