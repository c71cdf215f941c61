#pragma once
// The folder picker of the main dialog's browse buttons. Its OK button is
// enabled only for a folder whose path ends in "RESOURCEN" (any letter
// case) with at least one character before it: a resource tree.

#include <windows.h>

#include <string>

namespace zet {

// The picker's rule for a selected path: it ends with the nine letters
// "RESOURCEN" in any letter case and has at least one character before them.
bool IsResourceFolderPath(const std::string& path);

// The picker's callback: on a selection change, OK follows the rule above.
int CALLBACK BrowseCallback(HWND picker, UINT message, LPARAM lParam, LPARAM data);

// Shows the picker owned by owner; path receives the chosen folder. True
// when the path has at least 3 characters: a drive root passes, a
// cancelled picker fails.
bool BrowseForFolder(HWND owner, std::string& path);

}  // namespace zet
