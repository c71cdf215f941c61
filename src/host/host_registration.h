#pragma once
// The host's registration in the registry, as the dialog and the console
// program use it: key HKEY_CLASSES_ROOT\Software\Brankor\KORA with
//   "VERSION"  the installed host version (the tool supports 0x40000 only),
//   "ResBase"  the host's resource base folder (the default target),
//   "Scan"     set to 2 before every run: the host rescans its resources.

#include <cstdint>
#include <string>

#include "host/registry_backend.h"

namespace zet {

constexpr uint32_t kHostHive = kHkeyClassesRoot;
extern const char* const kHostKeyPath[3];
constexpr uint32_t kSupportedHostVersion = 0x40000;
constexpr char kHostProcessName[] = "ZET.exe";
constexpr uint32_t kHostScanRequest = 2;

struct HostRegistration {
  bool keyFound = false;      // the host key opens for reading
  bool versionFound = false;  // "VERSION" reads as a 32-bit number
  uint32_t version = 0;
  bool resBaseFound = false;  // "ResBase" reads as text of at most 260 bytes
  std::string resBase;        // as stored (a Windows path)

  // The tool runs only on this host version. A missing key, a missing or
  // unreadable "VERSION", or another number: not supported.
  bool VersionSupported() const { return keyFound && versionFound && version == kSupportedHostVersion; }
};

// Reads "VERSION" and "ResBase" with KEY_READ.
HostRegistration ReadHostRegistration(RegistryBackend& registry = SystemRegistry());

// Asks the host for a rescan: "Scan" = 2, with KEY_WRITE. False when the key
// cannot be opened for writing or the value cannot be written; callers go
// on with the run all the same.
bool RequestHostScan(RegistryBackend& registry = SystemRegistry());

// The folder on this system that the host's "ResBase" names: on Windows the
// text itself; elsewhere its place in the default Wine prefix (see
// MapWindowsPathToPrefix). False when it has no such place.
bool HostFolderFromWindowsPath(const std::string& windowsPath, std::string& folder);

// The real folder of a path of a Wine prefix's Windows side. The drive is
// looked up in the prefix's dosdevices folder ("C:" is the link
// dosdevices/c:, usually ../drive_c; "Z:" usually /); the rest is read as
// Windows reads it: '\' or '/' separate, "." and ".." are folded away (never
// above the drive), and each existing component is found in any letter case.
// False for a path without a drive letter and for a drive without a link.
bool MapWindowsPathToPrefix(const std::string& prefix, const std::string& windowsPath, std::string& folder);

}  // namespace zet
