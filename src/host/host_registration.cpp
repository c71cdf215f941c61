#include "host/host_registration.h"

#include <vector>

#include "host/registry_key.h"
#include "platform/platform.h"

namespace zet {

const char* const kHostKeyPath[3] = {"Software", "Brankor", "KORA"};

HostRegistration ReadHostRegistration(RegistryBackend& registry) {
  HostRegistration host;
  CRegistryKey key(registry);
  if (!key.SetPath(kHostHive, kHostKeyPath, 3) || !key.Open(kKeyRead)) return host;
  host.keyFound = true;
  host.versionFound = key.ReadDword("VERSION", host.version);
  host.resBaseFound = key.ReadString("ResBase", host.resBase);
  // A letter the code page lacks: the host (a Windows program) reads
  // another folder's name there, so no resource base is named. (Windows
  // reads such a text as none already.)
  if (host.resBaseFound && !host.resBase.empty() && platform::CodePageFromName(host.resBase).empty()) {
    host.resBaseFound = false;
    host.resBase.clear();
  }
  key.Close();
  return host;
}

bool RequestHostScan(RegistryBackend& registry) {
  CRegistryKey key(registry);
  bool ok = key.SetPath(kHostHive, kHostKeyPath, 3) && key.Open(kKeyWrite) &&
            key.WriteDword("Scan", kHostScanRequest);
  key.Close();
  return ok;
}

bool MapWindowsPathToPrefix(const std::string& prefix, const std::string& windowsPath, std::string& folder) {
  folder.clear();
  const std::string& p = windowsPath;
  bool letter = p.size() >= 2 && ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z')) && p[1] == ':';
  if (!letter || (p.size() > 2 && p[2] != '\\' && p[2] != '/')) return false;
  char drive = static_cast<char>(p[0] >= 'a' ? p[0] : p[0] - 'A' + 'a');
  std::string root = platform::RealPath(prefix + "/dosdevices/" + drive + ":");
  if (root.empty() || platform::GetPathKind(root) != platform::PathKind::Folder) return false;

  std::vector<std::string> parts;
  size_t pos = 2;
  while (pos < p.size()) {
    size_t end = p.find_first_of("\\/", pos);
    if (end == std::string::npos) end = p.size();
    std::string part = p.substr(pos, end - pos);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(std::move(part));
    }
    pos = end + 1;
  }
  std::string path = root;
  for (const std::string& part : parts) {
    if (path.empty() || path.back() != '/') path += '/';
    path += part;
  }
  folder = platform::NativePath(path);
  return true;
}

}  // namespace zet
