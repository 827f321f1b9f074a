// Deleting a directory with everything in it.
#pragma once

#include <afxwin.h>

// Deletes the directory strPath (with or without a trailing backslash) and
// everything in it, read-only files and folders included. Whatever cannot be
// deleted (a file held open) stays, with the directories above it; nothing
// is reported. A junction or symbolic link inside is removed as a link: what
// it points to is never touched. An empty path or a drive root deletes
// nothing.
void DeleteDirectoryTree(CString strPath);
