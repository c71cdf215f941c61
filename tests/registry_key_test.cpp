// CRegistryKey on both backends: the files of a Wine prefix (every platform)
// and, on Windows, the system's registry (under Wine: the test prefix's).

#include "host/registry_key.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "host/reg_file_store.h"
#include "platform/platform.h"
#include "test_support.h"

#ifdef _WIN32
#include <windows.h>

#include "host/win32/win32_registry.h"
#endif

namespace zet {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

const char* const kHost[] = {"Software", "Brankor", "KORA"};

// A Wine prefix of the test's own, with the fixture files or given texts.
struct Prefix {
  TempDir dir;
  std::string system = dir / "system.reg";
  std::string user = dir / "user.reg";
  RegFileStore store{system, user};

  explicit Prefix(const std::string& systemText = ReadBytes(test::DataPath("registry/system.reg")),
                  const std::string& userText = ReadBytes(test::DataPath("registry/user.reg"))) {
    WriteBytes(system, systemText);
    if (!userText.empty()) WriteBytes(user, userText);
  }
};

// A registry file of one key, the host's, with these lines.
std::string HostKeyFile(const std::string& lines) {
  return "WINE REGISTRY Version 2\n\n[Software\\\\Classes\\\\Software\\\\Brankor\\\\KORA] 1\n" + lines;
}

void MakeReadOnly(const std::string& path) {
  namespace fs = std::filesystem;
  fs::permissions(fs::path(path), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
}

bool Open(CRegistryKey& key, uint32_t access, uint32_t hive, const std::vector<const char*>& path) {
  return key.SetPath(hive, path.data(), path.size()) && key.Open(access);
}
bool OpenHost(CRegistryKey& key, uint32_t access) { return Open(key, access, kHkeyClassesRoot, {kHost, kHost + 3}); }

// A value as the caller sees it: its text, or "<false>" (the buffer then empty).
std::string Text(CRegistryKey& key, const char* name) {
  std::string text = "stale";
  if (key.ReadString(name, text)) return text;
  return text.empty() ? "<false>" : "<false, buffer not emptied>";
}
// A number as its four bytes in memory order, or "<false>".
std::string Bytes(CRegistryKey& key, const char* name) {
  uint32_t number = 0;
  if (!key.ReadDword(name, number)) return "<false>";
  const unsigned char* b = reinterpret_cast<const unsigned char*>(&number);
  char hex[12];
  std::snprintf(hex, sizeof hex, "%02x%02x%02x%02x", b[0], b[1], b[2], b[3]);
  return hex;
}

std::string ReadString(RegistryBackend& backend, uint32_t hive, const std::vector<const char*>& path,
                       const char* name) {
  CRegistryKey key(backend);
  return Open(key, kKeyRead, hive, path) ? Text(key, name) : "<no key>";
}

// ------------------------------------------------------------ the file store

TEST(RegFileStore, ValuesOfEveryFormTypeAndSize) {
  Prefix prefix(ReadBytes(test::DataPath("registry/system.reg")), "");
  CRegistryKey key(prefix.store);
  ASSERT_TRUE(OpenHost(key, kKeyRead));
  EXPECT_EQ(Bytes(key, "VERSION"), "00000400");
  EXPECT_EQ(Text(key, "ResBase"), "C:\\Programme\\ZET\\RESOURCEN");
  EXPECT_EQ(Text(key, "resbase"), "C:\\Programme\\ZET\\RESOURCEN");  // names ignore letter case
  EXPECT_EQ(Text(key, "InstallDir"), "%ProgramFiles%\\ZET");         // not expanded
  EXPECT_EQ(Text(key, "Languages"), "Deutsch");                      // the first of a list
  EXPECT_EQ(Text(key, "Modules"), "Signale");
  EXPECT_EQ(Text(key, "Name"), "ZET \"Zug\" Edition\tv4");
  EXPECT_EQ(Text(key, "VERSION"), "<false>");  // a number is no text
  EXPECT_EQ(Text(key, "Missing"), "<false>");
  EXPECT_TRUE(key.Close());
  EXPECT_EQ(Text(key, "ResBase"), "<false>");
  EXPECT_EQ(ReadString(prefix.store, kHkeyLocalMachine, {"SOFTWARE", "wine", "Fonts", "Replacements", "]Bracket]"},
                       "GER\xc3\x84T"),
            "Stra\xc3\x9f" "e");
  EXPECT_EQ(ReadString(prefix.store, kHkeyClassesRoot, {".txt"}, ""), "txtfile");

  std::string exact(259, 'x');  // 259 characters and the terminator: 260 bytes
  Prefix sizes(HostKeyFile("\"Exact\"=\"" + exact + "\"\n\"TooLong\"=\"" + exact + "y\"\n" +
                           "\"VersionText\"=\"262144\"\n\"Big\"=hex(5):00,04,00,00\n\"Short\"=hex(4):01,02\n"
                           "\"Binary\"=hex:41,42,00\n\"Unknown\"=hex(99):41,00,00,00\n"
                           "\"Umlaut\"=\"C:\\\\Z\\x00fcge\"\n\"Empty\"=\"\"\n"),
               "");
  CRegistryKey values(sizes.store);
  ASSERT_TRUE(OpenHost(values, kKeyRead));
  EXPECT_EQ(Text(values, "Exact"), exact);
  EXPECT_EQ(Text(values, "TooLong"), "<false>");
  EXPECT_EQ(Bytes(values, "VersionText"), "<false>");
  EXPECT_EQ(Bytes(values, "Big"), "00040000");  // as stored, not swapped
  EXPECT_EQ(Bytes(values, "Short"), "<false>");
  EXPECT_EQ(Text(values, "Binary"), "<false>");
  EXPECT_EQ(Text(values, "Unknown"), "<false>");
  EXPECT_EQ(Text(values, "Umlaut"), "C:\\Z\xc3\xbcge");  // UTF-8, as file names are here
  EXPECT_EQ(Text(values, "Empty"), "");
}

TEST(RegFileStore, PathsAndRoots) {
  Prefix prefix;
  CRegistryKey key(prefix.store);
  // A missing middle component opens nothing.
  EXPECT_FALSE(Open(key, kKeyRead, kHkeyClassesRoot, {"Software", "Nobody", "KORA"}));
  EXPECT_FALSE(key.IsOpen());
  // Roots outside the predefined range; an empty path opens nothing.
  for (uint32_t hive : {0u, kHkeyDynData + 1}) {
    EXPECT_FALSE(key.SetPath(hive, kHost, 3));
    EXPECT_FALSE(key.Open(kKeyRead));
  }
  EXPECT_TRUE(key.SetPath(kHkeyClassesRoot, kHost, 0));
  EXPECT_FALSE(key.Open(kKeyRead));
  const char* const withNull[] = {"Software", nullptr};
  EXPECT_FALSE(key.SetPath(kHkeyClassesRoot, withNull, 2));

  // The machine's classes are HKEY_LOCAL_MACHINE\Software\Classes; roots the
  // prefix's files do not hold have no keys, nor has a prefix without files.
  EXPECT_TRUE(Open(key, kKeyRead, kHkeyLocalMachine, {"Software", "Classes", "Software", "Brankor", "KORA"}));
  EXPECT_FALSE(Open(key, kKeyRead, kHkeyUsers, {"Software"}));
  Prefix empty("", "");
  std::filesystem::remove(std::filesystem::path(empty.system));
  EXPECT_EQ(ReadString(empty.store, kHkeyClassesRoot, {"Software"}, "x"), "<no key>");

  // Keys spelled with escapes, in other letter case, with empty components
  // or written twice are the keys they name; a path that only begins like a
  // key's is none.
  Prefix spelled(
      "WINE REGISTRY Version 2\n\n[Software\\\\Classes\\\\SOFTWARE\\\\Br\\x00e4nkor\\\\K\\x004fRA] 1\n\"A\"=\"1\"\n"
      "[Software\\\\\\\\Classes\\\\Zwei\\\\] 2\n\"A\"=\"2\"\n[software\\\\classes\\\\zwei] 3\n\"B\"=\"3\"\n",
      "");
  EXPECT_EQ(ReadString(spelled.store, kHkeyClassesRoot, {"Software", "Br\xc3\xa4nkor", "Kora"}, "A"), "1");
  EXPECT_EQ(ReadString(spelled.store, kHkeyClassesRoot, {"Software", "BR\xc3\x84NKOR"}, "A"), "<false>");
  EXPECT_EQ(ReadString(spelled.store, kHkeyClassesRoot, {"ZWEI"}, "A"), "2");
  EXPECT_EQ(ReadString(spelled.store, kHkeyClassesRoot, {"Zwei"}, "B"), "3");
  EXPECT_EQ(ReadString(spelled.store, kHkeyClassesRoot, {"Zwe"}, "A"), "<no key>");
  EXPECT_EQ(ReadString(spelled.store, kHkeyClassesRoot, {"Software", "Br"}, "A"), "<no key>");
}

TEST(RegFileStore, TheUsersClassesWinAndTakeTheWrite) {
  Prefix prefix;
  EXPECT_EQ(ReadString(prefix.store, kHkeyClassesRoot, {kHost, kHost + 3}, "ResBase"), "D:\\Spiele\\ZET\\Resourcen");
  EXPECT_EQ(ReadString(prefix.store, kHkeyClassesRoot, {kHost, kHost + 3}, "InstallDir"),
            "%ProgramFiles%\\ZET");  // only the machine has it
  EXPECT_EQ(ReadString(prefix.store, kHkeyClassesRoot, {"Software", "Brankor", "KORA", "Editor"}, "Window"),
            "<false>");

  std::string systemBefore = ReadBytes(prefix.system);
  std::string userBefore = ReadBytes(prefix.user);
  CRegistryKey key(prefix.store);
  ASSERT_TRUE(OpenHost(key, kKeyWrite));
  EXPECT_TRUE(key.WriteDword("Scan", 2));
  EXPECT_EQ(ReadBytes(prefix.system), systemBefore);
  EXPECT_EQ(ReadBytes(prefix.user), userBefore + "\"Scan\"=dword:00000002\n");

  // A key of the machine only: the write goes to system.reg.
  ASSERT_TRUE(Open(key, kKeyWrite, kHkeyClassesRoot, {"Software", "Brankor", "KORA", "Editor"}));
  EXPECT_TRUE(key.WriteDword("Scan", 0xA0B0C0D0));
  std::string expected = systemBefore;
  std::string after = "\"Window\"=hex:2c,00,00,00,00,00,00,00,01,00,00,00\n";
  expected.insert(expected.find(after) + after.size(), "\"Scan\"=dword:a0b0c0d0\n");
  EXPECT_EQ(ReadBytes(prefix.system), expected);
}

TEST(RegFileStore, AccessMasksHoldForEveryLevel) {
  Prefix prefix(ReadBytes(test::DataPath("registry/system.reg")), "");
  CRegistryKey key(prefix.store);
  ASSERT_TRUE(OpenHost(key, kKeyRead));
  EXPECT_FALSE(key.WriteDword("Scan", 2));  // opened for reading only
  ASSERT_TRUE(key.Open(kKeyWrite));
  EXPECT_EQ(Bytes(key, "VERSION"), "<false>");  // opened for writing only
  ASSERT_TRUE(key.Open(kKeyRead | kKeyWrite));
  EXPECT_EQ(Bytes(key, "VERSION"), "00000400");

  std::string before = ReadBytes(prefix.system);
  MakeReadOnly(prefix.system);
  EXPECT_FALSE(key.Open(kKeyWrite));
  EXPECT_TRUE(key.Open(kKeyRead));
  EXPECT_EQ(ReadBytes(prefix.system), before);

  // The user's classes hold the outer levels (read-only file); the machine
  // holds the innermost key (writable file): writing fails at the outer level.
  Prefix split(ReadBytes(test::DataPath("registry/system.reg")),
               "WINE REGISTRY Version 2\n\n[Software\\\\Classes\\\\Software\\\\Brankor\\\\Other] 1\n\"X\"=\"y\"\n");
  MakeReadOnly(split.user);
  CRegistryKey outer(split.store);
  EXPECT_FALSE(OpenHost(outer, kKeyWrite));
  // The innermost level alone is writable.
  EXPECT_TRUE(Open(outer, kKeyWrite, kHkeyClassesRoot, {"Software\\Brankor\\KORA"}));
  EXPECT_TRUE(outer.WriteDword("Scan", 2));
}

TEST(RegFileStore, WritesKeepEveryOtherByte) {
  // CR LF lines, a value written in another letter case, a value over two
  // lines, and a last line without its line end.
  std::string system =
      "WINE REGISTRY Version 2\r\n;; All keys relative to REGISTRY\\\\Machine\r\n\r\n#arch=win64\r\n\r\n"
      "[Software\\\\Classes\\\\Software\\\\Brankor\\\\KORA] 1796583920\r\n#time=1dd85b4bb82f256\r\n"
      "\"scan\"=hex(4):01,\\\r\n  00,00,00\r\n\"VERSION\"=dword:00040000\r\n\r\n"
      "[Software\\\\Other] 1\r\n\"Last\"=\"x\"";
  Prefix prefix(system, "");
  CRegistryKey key(prefix.store);
  ASSERT_TRUE(OpenHost(key, kKeyRead | kKeyWrite));
  EXPECT_EQ(Bytes(key, "Scan"), "01000000");
  EXPECT_TRUE(key.WriteDword("Scan", 2));
  std::string expected = system;
  expected.replace(expected.find("\"scan\""), std::string("\"scan\"=hex(4):01,\\\r\n  00,00,00").size(),
                   "\"scan\"=dword:00000002");
  EXPECT_EQ(ReadBytes(prefix.system), expected);
  EXPECT_EQ(Bytes(key, "Scan"), "02000000");
  // Again: the file, which holds the value already, is not written again
  // (the same file, not a new one in its place).
  struct stat first {}, second {};
  ASSERT_EQ(::stat(prefix.system.c_str(), &first), 0);
  EXPECT_TRUE(key.WriteDword("Scan", 2));
  ASSERT_EQ(::stat(prefix.system.c_str(), &second), 0);
  EXPECT_EQ(first.st_ino, second.st_ino);
  EXPECT_EQ(ReadBytes(prefix.system), expected);

  ASSERT_TRUE(Open(key, kKeyWrite, kHkeyLocalMachine, {"Software", "Other"}));
  EXPECT_TRUE(key.WriteDword("New \"one\"", 7));
  EXPECT_EQ(ReadBytes(prefix.system), expected + "\r\n\"New \\\"one\\\"\"=dword:00000007\r\n");
  // No temporary file is left beside the registry files; one a killed run
  // left is removed by a later write once it is old, and not while another
  // run may be writing it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(prefix.dir.path()), {}), 1);
#ifndef _WIN32  // where the system tells when a file was last changed
  WriteBytes(prefix.dir / "~zvt0badf00d.tmp", "part of a registry file");
  platform::RemoveStaleOwnTemporaries(prefix.dir.path(), 600);
  EXPECT_TRUE(test::Exists(prefix.dir / "~zvt0badf00d.tmp"));
  platform::RemoveStaleOwnTemporaries(prefix.dir.path(), -600);  // as ten minutes on
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(prefix.dir.path()), {}), 1);
#endif

  // Another program's change is seen at the next open, also one that keeps the file's size.
  std::string changed = ReadBytes(prefix.system);
  changed.replace(changed.find("dword:00000002"), 14, "dword:00000003");
  WriteBytes(prefix.system, changed);
  CRegistryKey again(prefix.store);
  ASSERT_TRUE(OpenHost(again, kKeyRead));
  EXPECT_EQ(Bytes(again, "Scan"), "03000000");
}

TEST(RegFileStore, BrokenLinesGiveFalseAndSurviveAWrite) {
  std::string system = HostKeyFile(
      "\"ResBase\"=\"C:\\\\unterminated\n"
      "\"VERSION\"=dword:0004000G\n"
      "\"Odd\"=text:\"x\"\n"
      "\"Hex\"=hex(2):4g,00\n"
      "garbage without a name\n"
      "\"NoEquals\"\n"
      "\"Big\"=dword:123456789\n"
      "[Software\\\\Classes\\\\Broken key\n"
      "\"Orphan\"=dword:00000001\n" +
      std::string("\xff\xfe\0 binary\n", 10));
  Prefix prefix(system, "");
  CRegistryKey key(prefix.store);
  ASSERT_TRUE(OpenHost(key, kKeyRead | kKeyWrite));
  for (const char* name : {"ResBase", "Odd", "Hex"}) EXPECT_EQ(Text(key, name), "<false>") << name;
  for (const char* name : {"VERSION", "Big", "Orphan"}) EXPECT_EQ(Bytes(key, name), "<false>") << name;
  EXPECT_TRUE(key.WriteDword("Scan", 2));
  std::string expected = system;
  expected.insert(expected.find("[Software\\\\Classes\\\\Broken"), "\"Scan\"=dword:00000002\n");
  EXPECT_EQ(ReadBytes(prefix.system), expected);

  // A block that ends in a continuation mark: the new line cannot go after it.
  std::string dangling = HostKeyFile("\"VERSION\"=dword:00040000\n\"Modules\"=hex(7):41,\\\n");
  Prefix broken(dangling, "");
  CRegistryKey again(broken.store);
  ASSERT_TRUE(OpenHost(again, kKeyRead | kKeyWrite));
  EXPECT_TRUE(again.WriteDword("Scan", 2));
  EXPECT_EQ(Bytes(again, "Scan"), "02000000");
  expected = dangling;
  expected.insert(expected.find("\"VERSION"), "\"Scan\"=dword:00000002\n");
  EXPECT_EQ(ReadBytes(broken.system), expected);
}

// ------------------------------------------------------------ the Win32 registry

#ifdef _WIN32

// A key of its own below HKEY_CURRENT_USER for each test, removed after it.
class Win32Keys : public ::testing::Test {
 protected:
  void SetUp() override {
    name_ = "Software\\ZetVeltranTest-" + std::to_string(::GetCurrentProcessId()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name();
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, name_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root_,
                                nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    ::RegCloseKey(root_);
    ::RegDeleteTreeA(HKEY_CURRENT_USER, name_.c_str());
  }
  HKEY Create(HKEY parent, const char* name) {
    HKEY key = nullptr;
    EXPECT_EQ(::RegCreateKeyExA(parent, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    return key;
  }
  static void Set(HKEY key, const char* name, DWORD type, const std::string& bytes) {
    ASSERT_EQ(::RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                               static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
  }
  // The test key's path below HKEY_CURRENT_USER, then more components.
  std::vector<std::string> Path(std::initializer_list<const char*> more) const {
    std::vector<std::string> parts = {"Software", name_.substr(name_.find('\\') + 1)};
    parts.insert(parts.end(), more.begin(), more.end());
    return parts;
  }
  static bool SetPath(CRegistryKey& key, const std::vector<std::string>& parts) {
    std::vector<const char*> texts;
    for (const std::string& p : parts) texts.push_back(p.c_str());
    return key.SetPath(kHkeyCurrentUser, texts.data(), texts.size());
  }

  Win32Registry registry_;
  std::string name_;
  HKEY root_ = nullptr;
};

TEST_F(Win32Keys, ValuesOfEveryTypeAndSizeAndMissingLevels) {
  HKEY kora = Create(root_, "KORA");
  std::string exact(259, 'x');
  Set(kora, "Exact", REG_SZ, exact + '\0');
  Set(kora, "TooLong", REG_SZ, exact + "y" + '\0');
  Set(kora, "Expand", REG_EXPAND_SZ, std::string("%ProgramFiles%\\ZET") + '\0');
  Set(kora, "List", REG_MULTI_SZ, std::string("Deutsch\0English\0\0", 17));
  Set(kora, "VersionText", REG_SZ, std::string("262144") + '\0');
  Set(kora, "Big", REG_DWORD_BIG_ENDIAN, std::string("\x00\x04\x00\x00", 4));
  Set(kora, "VERSION", REG_DWORD, std::string("\x00\x00\x04\x00", 4));
  // A letter the code page lacks: read as no text, never as a look-alike.
  const std::wstring river = L"C:\\\u0158eka\\RESOURCEN";
  ASSERT_EQ(::RegSetValueExW(kora, L"Foreign", 0, REG_SZ, reinterpret_cast<const BYTE*>(river.c_str()),
                             static_cast<DWORD>((river.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
  ::RegCloseKey(kora);

  CRegistryKey key(registry_);
  ASSERT_TRUE(SetPath(key, Path({"KORA"})));
  ASSERT_TRUE(key.Open(kKeyRead));
  EXPECT_EQ(Text(key, "Exact"), exact);
  EXPECT_EQ(Text(key, "TooLong"), "<false>");
  EXPECT_EQ(Text(key, "Expand"), "%ProgramFiles%\\ZET");
  EXPECT_EQ(Text(key, "Foreign"), "<false>");
  EXPECT_EQ(Text(key, "list"), "Deutsch");
  EXPECT_EQ(Bytes(key, "VersionText"), "<false>");
  EXPECT_EQ(Bytes(key, "VERSION"), "00000400");
  EXPECT_EQ(Bytes(key, "Big"), "00040000");
  EXPECT_FALSE(key.WriteDword("Scan", 2));  // opened for reading
  EXPECT_TRUE(key.Close());

  ASSERT_TRUE(key.Open(kKeyWrite));
  EXPECT_TRUE(key.WriteDword("Scan", 2));
  EXPECT_TRUE(key.Close());
  DWORD type = 0, value = 0, size = sizeof value;
  ASSERT_EQ(::RegGetValueA(root_, "KORA", "Scan", RRF_RT_ANY, &type, &value, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(value, 2u);

  // A missing middle level opens nothing.
  ::RegCloseKey(Create(root_, "Software"));
  ASSERT_TRUE(SetPath(key, Path({"Software", "Brankor", "KORA"})));
  EXPECT_FALSE(key.Open(kKeyRead));
  // HKEY_CLASSES_ROOT is reached through its 32-bit value.
  EXPECT_TRUE(Open(key, kKeyRead, kHkeyClassesRoot, {"CLSID"}));
}

TEST_F(Win32Keys, WritingNeedsWriteAccessToEveryLevel) {
  HKEY outer = Create(root_, "Outer");
  ::RegCloseKey(Create(outer, "Inner"));
  // Outer: reading only, for everybody.
  SECURITY_DESCRIPTOR sd;
  ASSERT_TRUE(::InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  ASSERT_TRUE(::AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
  char aclBuffer[256];
  PACL acl = reinterpret_cast<PACL>(aclBuffer);
  ASSERT_TRUE(::InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION));
  ASSERT_TRUE(::AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, everyone));
  ASSERT_TRUE(::SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE));
  ASSERT_EQ(::RegSetKeySecurity(outer, DACL_SECURITY_INFORMATION, &sd), ERROR_SUCCESS);

  HKEY readable = nullptr, writable = nullptr;
  ASSERT_EQ(::RegOpenKeyExA(root_, "Outer", 0, KEY_READ, &readable), ERROR_SUCCESS);
  LONG innerAlone = ::RegOpenKeyExA(readable, "Inner", 0, KEY_WRITE, &writable);
  if (innerAlone == ERROR_SUCCESS) ::RegCloseKey(writable);
  ::RegCloseKey(readable);
  HKEY probe = nullptr;
  LONG outerForWrite = ::RegOpenKeyExA(root_, "Outer", 0, KEY_WRITE, &probe);
  if (outerForWrite == ERROR_SUCCESS) ::RegCloseKey(probe);

  CRegistryKey key(registry_);
  ASSERT_TRUE(SetPath(key, Path({"Outer", "Inner"})));
  EXPECT_TRUE(key.Open(kKeyRead));
  EXPECT_EQ(innerAlone, ERROR_SUCCESS);  // the innermost key itself is writable
  if (outerForWrite == ERROR_SUCCESS) {
    std::printf("note: this registry does not enforce key security; the level check is not exercised\n");
  } else {
    EXPECT_FALSE(key.Open(kKeyWrite));
  }

  // Give the key back to its owner so the test's key can be removed.
  ASSERT_TRUE(::SetSecurityDescriptorDacl(&sd, FALSE, nullptr, FALSE));
  ::RegSetKeySecurity(outer, DACL_SECURITY_INFORMATION, &sd);
  ::RegCloseKey(outer);
  ::FreeSid(everyone);
}

#endif  // _WIN32

}  // namespace
}  // namespace zet
