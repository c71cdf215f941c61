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
