#pragma once
// The registry as CRegistryKey sees it: open a key below a predefined root or
// an open key, query and set values, close. The operations, their results and
// the access masks are those of the Windows registry, so CRegistryKey behaves
// alike on every backend: the Win32 registry on Windows, the files of a Wine
// prefix elsewhere.

#include <cstddef>
#include <cstdint>
#include <string>

namespace zet {

// Predefined roots, as the 32-bit values Windows gives them.
constexpr uint32_t kHkeyClassesRoot = 0x80000000;
constexpr uint32_t kHkeyCurrentUser = 0x80000001;
constexpr uint32_t kHkeyLocalMachine = 0x80000002;
constexpr uint32_t kHkeyUsers = 0x80000003;
constexpr uint32_t kHkeyPerformanceData = 0x80000004;
constexpr uint32_t kHkeyCurrentConfig = 0x80000005;
constexpr uint32_t kHkeyDynData = 0x80000006;

inline bool IsPredefinedRoot(uint32_t hive) { return hive >= kHkeyClassesRoot && hive <= kHkeyDynData; }

// Access rights.
constexpr uint32_t kKeyQueryValue = 0x0001;
constexpr uint32_t kKeySetValue = 0x0002;
constexpr uint32_t kKeyCreateSubKey = 0x0004;
constexpr uint32_t kKeyCreateLink = 0x0020;
constexpr uint32_t kKeyRead = 0x20019;
constexpr uint32_t kKeyWrite = 0x20006;

// Value types.
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegDwordBigEndian = 5;
constexpr uint32_t kRegMultiSz = 7;

// Results (the system's error codes).
constexpr long kRegSuccess = 0;
constexpr long kRegFileNotFound = 2;
constexpr long kRegAccessDenied = 5;
constexpr long kRegInvalidHandle = 6;
constexpr long kRegWriteFault = 29;
constexpr long kRegInvalidParameter = 87;
constexpr long kRegMoreData = 234;

class RegistryBackend {
 public:
  // An open key. A predefined root is its own handle (its 32-bit value).
  using Handle = uintptr_t;

  virtual ~RegistryBackend() = default;

  // Opens the key name (one or more components separated by '\') below
  // parent with the given access mask.
  virtual long OpenKey(Handle parent, const std::string& name, uint32_t access, Handle& key) = 0;
  virtual long CloseKey(Handle key) = 0;
  // Reads a value as the ANSI interface does: text values are delivered as
  // 8-bit text with their terminator. *size holds the capacity of data on
  // entry and the value's size on return; a value larger than the capacity
  // gives kRegMoreData (data may be null to ask for the size only).
  virtual long QueryValue(Handle key, const std::string& name, uint32_t& type, void* data, uint32_t& size) = 0;
  virtual long SetValue(Handle key, const std::string& name, uint32_t type, const void* data, uint32_t size) = 0;
};

// The registry of this system: the Win32 registry on Windows; elsewhere the
// files of the user's Wine prefix ($WINEPREFIX, else ~/.wine), where the host
// keeps its registration when it runs under Wine.
RegistryBackend& SystemRegistry();

}  // namespace zet
