#include "host/win32/win32_registry.h"

#include <windows.h>

namespace zet {

namespace {

// The predefined roots are the 32-bit values sign-extended to a handle.
HKEY ToHkey(RegistryBackend::Handle handle) {
  if (handle <= 0xFFFFFFFFu && IsPredefinedRoot(static_cast<uint32_t>(handle)))
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG_PTR>(static_cast<LONG>(handle))));
  return reinterpret_cast<HKEY>(handle);
}

// True when the text value's letters all have a place in the code page.
bool FitsCodePage(HKEY key, const std::string& name) {
  const std::wstring wideName(name.begin(), name.end());  // the program's value names are ASCII
  DWORD bytes = 0;
  if (::RegQueryValueExW(key, wideName.c_str(), nullptr, nullptr, nullptr, &bytes) != ERROR_SUCCESS) return true;
  std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
  if (::RegQueryValueExW(key, wideName.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&text[0]), &bytes) !=
      ERROR_SUCCESS)
    return true;
  text.resize(bytes / sizeof(wchar_t));
  BOOL lossy = FALSE;
  if (!text.empty() && ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                                             nullptr, 0, nullptr, &lossy) == 0)
    return false;
  return lossy == FALSE;
}

}  // namespace

long Win32Registry::OpenKey(Handle parent, const std::string& name, uint32_t access, Handle& key) {
  HKEY opened = nullptr;
  LONG result = ::RegOpenKeyExA(ToHkey(parent), name.c_str(), 0, access, &opened);
  key = result == ERROR_SUCCESS ? reinterpret_cast<Handle>(opened) : 0;
  return result;
}

long Win32Registry::CloseKey(Handle key) { return ::RegCloseKey(ToHkey(key)); }

long Win32Registry::QueryValue(Handle key, const std::string& name, uint32_t& type, void* data, uint32_t& size) {
  DWORD valueType = 0;
  DWORD valueSize = size;
  LONG result = ::RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, &valueType, static_cast<BYTE*>(data),
                                   &valueSize);
  type = valueType;
  size = valueSize;
  // A text with a letter the code page lacks comes as a look-alike (a
  // folder "Reka" for "\u0158eka", another folder): no text at all then.
  if (result == ERROR_SUCCESS && data != nullptr && (valueType == REG_SZ || valueType == REG_EXPAND_SZ) &&
      !FitsCodePage(ToHkey(key), name))
    return ERROR_NO_UNICODE_TRANSLATION;
  return result;
}

long Win32Registry::SetValue(Handle key, const std::string& name, uint32_t type, const void* data, uint32_t size) {
  return ::RegSetValueExA(ToHkey(key), name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
}

RegistryBackend& SystemRegistry() {
  static Win32Registry registry;
  return registry;
}

}  // namespace zet
