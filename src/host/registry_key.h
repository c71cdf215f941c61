#pragma once
// CRegistryKey: one registry key named by a predefined root and a list of
// path components, opened one component at a time. The whole chain of
// handles stays open until Close. Every user builds a local key, sets the
// path, opens, reads or writes a value or two, closes and lets it go.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/registry_backend.h"

namespace zet {

class CRegistryKey {
 public:
  // On the system's registry (SystemRegistry()).
  CRegistryKey();
  // On the given backend, which must outlive the key.
  explicit CRegistryKey(RegistryBackend& backend);
  ~CRegistryKey();
  CRegistryKey(const CRegistryKey&) = delete;
  CRegistryKey& operator=(const CRegistryKey&) = delete;

  // Closes any open chain and sets the path: count texts, outermost first.
  // False for a hive that is not a predefined root (the path is then empty)
  // or a null component. A count of 0 gives an empty path.
  bool SetPath(uint32_t hive, const char* const* components, size_t count);

  // Opens every level of the path with the same access mask, so a writer
  // needs write access to each level, not only to the innermost key. False
  // for an empty path or when a level cannot be opened; nothing is left open
  // then, and the path stays set.
  bool Open(uint32_t access);

  // Closes the chain from the innermost key outwards. False when a close
  // failed; the key is closed either way. True with nothing open.
  bool Close();

  // A 32-bit number (REG_DWORD or REG_DWORD_BIG_ENDIAN, delivered as stored,
  // not byte-swapped) of the innermost key. False for any other type or size.
  bool ReadDword(const char* name, uint32_t& out);

  // A text value (REG_SZ, REG_EXPAND_SZ unexpanded, or the first string of a
  // REG_MULTI_SZ) of at most kMaxStringBytes bytes with its terminator. False
  // for any other type or a longer value; out is then empty.
  bool ReadString(const char* name, std::string& out);
  static constexpr uint32_t kMaxStringBytes = 260;

  // Sets a REG_DWORD value of the innermost key.
  bool WriteDword(const char* name, uint32_t value);

  bool IsOpen() const { return open_; }

 private:
  RegistryBackend* backend_;
  uint32_t hive_ = 0;
  std::vector<std::string> components_;
  std::vector<RegistryBackend::Handle> handles_;
  bool open_ = false;
};

}  // namespace zet
