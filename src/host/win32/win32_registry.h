#pragma once
// The Win32 registry behind RegistryBackend: the ANSI registry functions,
// results passed through unchanged.

#include "host/registry_backend.h"

namespace zet {

class Win32Registry final : public RegistryBackend {
 public:
  long OpenKey(Handle parent, const std::string& name, uint32_t access, Handle& key) override;
  long CloseKey(Handle key) override;
  long QueryValue(Handle key, const std::string& name, uint32_t& type, void* data, uint32_t& size) override;
  long SetValue(Handle key, const std::string& name, uint32_t type, const void* data, uint32_t size) override;
};

}  // namespace zet
