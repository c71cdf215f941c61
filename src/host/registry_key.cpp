#include "host/registry_key.h"

#include <cstring>

namespace zet {

CRegistryKey::CRegistryKey() : backend_(&SystemRegistry()) {}

CRegistryKey::CRegistryKey(RegistryBackend& backend) : backend_(&backend) {}

CRegistryKey::~CRegistryKey() { Close(); }

bool CRegistryKey::SetPath(uint32_t hive, const char* const* components, size_t count) {
  components_.clear();
  Close();
  if (!IsPredefinedRoot(hive)) return false;
  if (count > 0 && components == nullptr) return false;
  for (size_t i = 0; i < count; ++i)
    if (components[i] == nullptr) return false;
  hive_ = hive;
  components_.assign(components, components + count);
  return true;
}

bool CRegistryKey::Open(uint32_t access) {
  if (components_.empty()) return false;
  Close();
  RegistryBackend::Handle parent = hive_;
  for (const std::string& component : components_) {
    RegistryBackend::Handle key = 0;
    if (backend_->OpenKey(parent, component, access, key) != kRegSuccess) {
      Close();
      return false;
    }
    handles_.push_back(key);
    parent = key;
  }
  open_ = true;
  return true;
}

bool CRegistryKey::Close() {
  bool ok = true;
  for (auto it = handles_.rbegin(); it != handles_.rend(); ++it)
    if (backend_->CloseKey(*it) != kRegSuccess) ok = false;
  handles_.clear();
  open_ = false;
  return ok;
}

bool CRegistryKey::ReadDword(const char* name, uint32_t& out) {
  if (!open_ || name == nullptr) return false;
  unsigned char data[4] = {};
  uint32_t type = 0;
  uint32_t size = sizeof data;
  if (backend_->QueryValue(handles_.back(), name, type, data, size) != kRegSuccess) return false;
  // A shorter number would leave bytes of the result undefined.
  if ((type != kRegDword && type != kRegDwordBigEndian) || size != sizeof data) return false;
  std::memcpy(&out, data, sizeof data);
  return true;
}

bool CRegistryKey::ReadString(const char* name, std::string& out) {
  out.clear();
  if (!open_ || name == nullptr) return false;
  char data[kMaxStringBytes + 1] = {};
  uint32_t type = 0;
  uint32_t size = kMaxStringBytes;
  if (backend_->QueryValue(handles_.back(), name, type, data, size) != kRegSuccess) return false;
  if (type != kRegSz && type != kRegExpandSz && type != kRegMultiSz) return false;
  if (size > kMaxStringBytes) return false;
  // A value stored without its terminator still ends within the buffer.
  data[size] = '\0';
  out = data;
  return true;
}

bool CRegistryKey::WriteDword(const char* name, uint32_t value) {
  if (!open_ || name == nullptr) return false;
  unsigned char data[4];
  std::memcpy(data, &value, sizeof data);
  return backend_->SetValue(handles_.back(), name, kRegDword, data, sizeof data) == kRegSuccess;
}

}  // namespace zet
