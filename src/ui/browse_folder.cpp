#include "ui/browse_folder.h"

#include <shlobj.h>

#include "platform/ascii_text.h"

namespace zet {

namespace {
constexpr size_t kPathCapacity = 512;
constexpr char kResourceFolder[] = "RESOURCEN";
constexpr size_t kResourceFolderLength = sizeof kResourceFolder - 1;

// The file-system path of a picker item; empty when it has none.
std::string PathOfItem(LPCITEMIDLIST item) {
  char buffer[MAX_PATH > kPathCapacity ? MAX_PATH : kPathCapacity] = {};
  if (item == nullptr || !::SHGetPathFromIDListA(item, buffer)) return std::string();
  buffer[kPathCapacity - 1] = '\0';
  return buffer;
}
}  // namespace

bool IsResourceFolderPath(const std::string& path) {
  if (path.size() <= kResourceFolderLength) return false;
  const size_t start = path.size() - kResourceFolderLength;
  for (size_t i = 0; i < kResourceFolderLength; ++i) {
    if (UpperAscii(path[start + i]) != kResourceFolder[i]) return false;
  }
  return true;
}

int CALLBACK BrowseCallback(HWND picker, UINT message, LPARAM lParam, LPARAM) {
  if (message != BFFM_SELCHANGED) return 0;
  const std::string path = PathOfItem(reinterpret_cast<LPCITEMIDLIST>(lParam));
  const LPARAM enable = IsResourceFolderPath(path) ? 1 : 0;
  ::SendMessageA(picker, BFFM_ENABLEOK, 0, enable);
  // Some pickers check the new selection themselves after this call and set
  // OK again; the same decision, posted, comes after that.
  ::PostMessageA(picker, BFFM_ENABLEOK, 0, enable);
  return 0;
}

bool BrowseForFolder(HWND owner, std::string& path) {
  path.clear();
  // The picker is made of shell objects: COM for this thread while it shows.
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  BROWSEINFOA info = {};
  info.hwndOwner = owner;
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  info.lpfn = &BrowseCallback;
  LPITEMIDLIST item = ::SHBrowseForFolderA(&info);
  if (item != nullptr) {
    path = PathOfItem(item);
    ::CoTaskMemFree(item);
  }
  if (SUCCEEDED(com)) ::CoUninitialize();
  return path.size() >= 3;
}

}  // namespace zet
