#include "update/tree_copy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#endif

#include "platform/platform.h"
#include "update/refusals.h"
#include "update_fixture.h"

namespace zet {
namespace {

using test::Strings;

class TreeCopy : public test::UpdateTest {
 protected:
  // Both passes of the copy; every unit counted is a step of the bar.
  int Copy(bool overwrite) {
    const int counted = BothPasses([&](bool counting) { CopyResourceTree("", g_SourceRoot, overwrite, counting); });
    EXPECT_EQ(static_cast<int>(view.stepped.size()), counted);
    return counted;
  }
};

TEST_F(TreeCopy, CopiesOrdinaryFilesAndLeavesOutTheExclusionsAtAnyDepth) {
  Package("a.txt", "A");
  Package("Sub/b.txt", "B");
  Package("Sub/Deep/c.txt", "C");
  Package(".hidden/h.txt", "H");
  Package("empty.txt", "");
  Package("Sounds.TXT", "S");
  Package("Sub/sounds.txt", "S");
  Package("PARALLELS/x.dds", "X");
  Package("Sub/Categories/y.inf", "Y");
  Package("Sub/Deep/parallels/z.bmp", "Z");
  Package("Sub/Deep/CATEGORIES/Loks/w.inf", "W");

  // The empty file is a step of the bar, and left out.
  EXPECT_EQ(Copy(false), 5);
  EXPECT_EQ(HostFiles(), (Strings{".hidden/h.txt", "Sub/Deep/c.txt", "Sub/b.txt", "a.txt"}));
  EXPECT_EQ(HostBytes("Sub/Deep/c.txt"), "C");
  EXPECT_EQ(g_RunReport.copied(), 4);
  EXPECT_TRUE(g_RunReport.failures().empty());
  // Files before subfolders at each level, folders in listing order.
  EXPECT_EQ(view.stepped, (Strings{target + "\\a.txt", target + "\\empty.txt", target + "\\.hidden\\h.txt",
                                   target + "\\Sub\\b.txt", target + "\\Sub\\Deep\\c.txt"}));

  // A folder may also be named by its parent and name; an empty one counts
  // nothing, and one that cannot be listed is a failure.
  auto walk = [&](const std::string& parent, const std::string& folder) {
    return BothPasses([&](bool counting) { CopyResourceTree(parent, folder, false, counting); });
  };
  EXPECT_EQ(walk(g_SourceRoot + "\\..", "RESOURCEN"), 5);
  EXPECT_EQ(g_RunReport.keptExisting(), 4);
  test::MakeFolders(t / "pkg/RESOURCEN/Empty");
  EXPECT_EQ(walk("", g_SourceRoot + "\\Empty"), 0);
  EXPECT_TRUE(g_RunReport.failures().empty());
  EXPECT_EQ(walk("", g_SourceRoot + "\\none"), 0);
  ASSERT_EQ(g_RunReport.failures().size(), 1u);
  EXPECT_EQ(g_RunReport.failures()[0].path, g_SourceRoot + "\\none");
}

TEST_F(TreeCopy, FilesTheArchiveListsAreLeftToItUnlessOverwriteIsOn) {
  Package("a.txt", "A");
  Package("Sub/Deep/b.txt", "B");
  Package("Sub/c.txt", "C");
  PackageArchive({"SUB\\DEEP\\B.TXT", "SUB\\C.TXT", "OTHER.TXT"}, true);

  EXPECT_EQ(Copy(false), 3);  // counted and stepped, though not copied
  EXPECT_EQ(HostFiles(), (Strings{"a.txt"}));
  EXPECT_FALSE(test::Exists(t / "host/RESOURCEN/Sub"));  // no folder made for nothing
  EXPECT_EQ(g_RunReport.leftToArchive(), 2);

  Copy(true);
  EXPECT_EQ(HostFiles(), (Strings{"Sub/Deep/b.txt", "Sub/c.txt", "a.txt"}));
}

// An empty file is never copied, whatever else its way meets: a name that
// another entry has in other letter case, the archive, a folder that holds
// nothing else, a host file to replace. It is a step of the bar all the same.
TEST_F(TreeCopy, AnEmptyFileIsLeftOutWhateverElseItsWayMeets) {
  Strings copied = {"a.txt"};
  int files = 4;
#ifndef _WIN32
  Package("A.dat", "");  // the name goes to the next entry
  Package("a.dat", "a");
  Package("B.dat", "B");  // keeps it without a word about the empty one
  Package("b.dat", "");
  Package("C", "");  // the folder of its name is walked
  Package("c/in.dat", "in");
  copied = {"B.dat", "a.dat", "a.txt", "c/in.dat"};
  files = 10;
#endif
  Package("a.txt", "A");
  Package("Arch.dat", "");
  Package("Leer/x.dat", "");
  Package("h.dat", "");
  Host("h.dat", "the host's");
  PackageArchive({"ARCH.DAT"}, true);

  for (bool overwrite : {false, true}) {
    SCOPED_TRACE(overwrite ? "overwrite" : "no overwrite");
    g_RunReport.Reset();
    EXPECT_EQ(Copy(overwrite), files);
    Strings host = copied;
    host.insert(std::upper_bound(host.begin(), host.end(), "h.dat"), "h.dat");
    EXPECT_EQ(HostFiles(), host);
    EXPECT_EQ(HostBytes("h.dat"), "the host's");
    EXPECT_FALSE(test::Exists(t / "host/RESOURCEN/Leer"));
    EXPECT_TRUE(g_RunReport.failures().empty()) << g_RunReport.failures()[0].path;
    EXPECT_EQ(g_RunReport.leftToArchive(), 0);
    EXPECT_EQ(g_RunReport.copied() + g_RunReport.keptExisting(), static_cast<int>(copied.size()));
  }
}

TEST_F(TreeCopy, ExistingHostFilesStayUnlessOverwriteIsOnAndAFolderInTheWayIsAFailure) {
  Package("a.txt", "new a");
  Package("Sub/b.txt", "new b");
  Package("c.txt", "C");
  Host("a.txt", "old a");
  Host("SUB/B.TXT", "old b");  // the same file in another letter case
  test::MakeFolders(t / "host/RESOURCEN/c.txt");
  Strings hostFiles = {"SUB/B.TXT", "a.txt"};
#ifndef _WIN32
  // Letters beyond A to Z fold as Windows and Wine fold them (UTF-8 names).
  Package("Sub/Br\u00fccke.txt", "new bridge");
  Host("SUB/BR\u00dcCKE.TXT", "old bridge");
  hostFiles.insert(hostFiles.begin() + 1, "SUB/BR\u00dcCKE.TXT");
#endif

  Copy(false);
  EXPECT_EQ(HostBytes("a.txt"), "old a");
  EXPECT_EQ(HostBytes("SUB/B.TXT"), "old b");
  EXPECT_EQ(g_RunReport.keptExisting(), static_cast<int>(hostFiles.size()));
  EXPECT_EQ(g_RunReport.copied(), 0);

  g_RunReport.Reset();
  Copy(true);
  EXPECT_EQ(HostFiles(), hostFiles);
  EXPECT_EQ(HostBytes("a.txt"), "new a");
  EXPECT_EQ(HostBytes("SUB/B.TXT"), "new b");
  EXPECT_EQ(g_RunReport.copied(), static_cast<int>(hostFiles.size()));
  // The folder in the way fails whether overwrite is on or not, and the walk goes on.
  ASSERT_EQ(g_RunReport.failures().size(), 1u);
  EXPECT_EQ(g_RunReport.failures()[0].path, target + "\\c.txt");
}

#ifdef _WIN32
// The Windows build speaks the system's code page: a name with a letter it
// lacks is refused, never taken for its look-alike, another file.
TEST_F(TreeCopy, ALetterTheCodePageLacksIsRefusedNotTakenForALookAlike) {
  std::ofstream(std::filesystem::path(t.path()) / "pkg/RESOURCEN" / L"\u0159eka.txt") << "R";
  Package("reka.txt", "another file");
  Copy(false);
  EXPECT_EQ(HostFiles(), (Strings{"reka.txt"}));
  EXPECT_EQ(HostBytes("reka.txt"), "another file");
  ASSERT_EQ(g_RunReport.failures().size(), 1u);
  EXPECT_EQ(g_RunReport.failures()[0].reason, "name holds letters the system's code page lacks; not copied");
}
#endif

TEST_F(TreeCopy, ATargetInsideTheSourceIsNotWalkedHoweverSpelled) {
  Package("a.txt", "A");
  Package("Out/old.txt", "O");
  g_TargetRoot = source + "\\.\\Out";
  g_UpdateDialog = &view;
  CopyResourceTree("", g_SourceRoot, false, false);
  EXPECT_EQ(FilesBelow("pkg/RESOURCEN"), (Strings{"Out/a.txt", "Out/old.txt", "a.txt"}));
}

// A host path longer than Windows programs take: the host could not use
// the file, nor could the program undo it.
TEST_F(TreeCopy, PathsLongerThanWindowsProgramsTakeAreNotCopiedThere) {
  const std::string name = std::string(260 - g_TargetRoot.size() - 1 - 4, 'n') + ".mdl";
  Package(name, "long");
  Package("short.mdl", "short");
  Copy(false);
  EXPECT_EQ(HostBytes("short.mdl"), "short");
  if (platform::kLongestPath < 260) {
    EXPECT_FALSE(test::Exists(t / ("host/RESOURCEN/" + name)));
    ASSERT_EQ(g_RunReport.failures().size(), 1u);
    EXPECT_EQ(g_RunReport.failures()[0].reason, std::string(kPathTooLong));
  } else {
    EXPECT_EQ(HostBytes(name), "long");
  }
}

// A package inside the target that holds its own place there: those files
// would be copied onto themselves, and the package changed.
TEST_F(TreeCopy, APackageInsideTheTargetIsNotCopiedOntoItself) {
  Host("Addon/RESOURCEN/Modelle/x.mdl", "good");
  Host("Addon/RESOURCEN/Addon/RESOURCEN/Modelle/x.mdl", "evil");
  Host("Addon/RESOURCEN/Addon/readme.txt", "beside the package");
  g_SourceRoot = HostPath("Addon\\RESOURCEN");
  g_UpdateDialog = &view;
  BothPasses([](bool counting) { CopyResourceTree("", g_SourceRoot, true, counting); });
  EXPECT_EQ(HostBytes("Addon/RESOURCEN/Modelle/x.mdl"), "good");
  EXPECT_EQ(HostBytes("Modelle/x.mdl"), "good");
  EXPECT_EQ(HostBytes("Addon/readme.txt"), "beside the package");
  ASSERT_EQ(g_RunReport.failures().size(), 1u);
  EXPECT_EQ(g_RunReport.failures()[0].reason, "the package's own place in the target; not copied onto itself");
  EXPECT_EQ(view.stepped.size(), 2u) << "what is not walked is not counted";
}

#ifndef _WIN32
// Host folders that are links into the package, to the folder of the same
// place or another: copies into them would change the package's files.
TEST_F(TreeCopy, AHostFolderThatLiesInThePackageIsNotCopiedInto) {
  Package("Modelle/Loks/x.mdl", "package");
  Package("Sounds/s.wav", "sound");
  Package("Texturen/t.bmp", "texture");
  test::MakeFolders(t / "host/RESOURCEN");
  std::filesystem::create_directory_symlink(t / "pkg/RESOURCEN/Modelle", t / "host/RESOURCEN/Modelle");
  std::filesystem::create_directory_symlink(t / "pkg/RESOURCEN/Texturen", t / "host/RESOURCEN/Sounds");
  const auto package = test::TreeState(t / "pkg", false);
  BothPasses([](bool counting) { CopyResourceTree("", g_SourceRoot, true, counting); });
  EXPECT_EQ(test::TreeState(t / "pkg", false), package);
  ASSERT_EQ(g_RunReport.failures().size(), 2u);
  for (const RunFailure& f : g_RunReport.failures())
    EXPECT_EQ(f.reason, "the host's folder lies in the package (a link); not copied into it");
  EXPECT_EQ(HostBytes("Texturen/t.bmp"), "texture");
  EXPECT_EQ(g_RunReport.copied(), 1);
}
#endif

// The copies are made by several threads, but what a user sees is what one
// thread gives: the same steps, counts and failures in the same order, the
// same files with the same bytes and times, and a stop that leaves no file
// half-made. A file swapped for a link leading out of the package, or for a
// pipe, after the count is not copied.
// The Windows build's tests run under Wine: one copy thread (see CopyPool).
#ifndef _WIN32
TEST_F(TreeCopy, SeveralCopyThreadsGiveWhatOneGivesFailuresAndStopIncluded) {
  namespace fs = std::filesystem;
  for (int folder = 0; folder < 12; ++folder)
    for (int file = 0; file < 9; ++file) Package("F" + std::to_string(folder) + "/f" + std::to_string(file) + ".dat",
                                                 std::string(100 + folder * 9 + file, 'a' + file));
  Package("F1/CASE.dat", "upper");  // one name in two letter cases, for two files and for a file and a folder
  Package("F1/case.dat", "lower");
  Package("F2/x", "a file");
  Package("F2/X/y.dat", "in a folder of the same name");
  Package("F5/CON.txt", "refused");
  test::WriteBytes(t / "secret.txt", "outside the package");
  const fs::file_time_type when = fs::last_write_time(fs::path(t / "pkg/RESOURCEN/F0/f0.dat")) - std::chrono::hours(50);
  for (const auto& e : fs::recursive_directory_iterator(fs::path(t / "pkg/RESOURCEN")))
    if (e.is_regular_file()) fs::last_write_time(e.path(), when - std::chrono::minutes(e.path().filename().string()[1]));

  struct Seen {
    Strings stepped, failures, files;
    std::vector<int> counts;
  };
  auto run = [&](int workers, int stopAfter) {
    ResetUpdateRunState();
    fs::remove_all(fs::path(t / "host"));
    test::MakeFolders(t / "host/RESOURCEN/F3/f5.dat");  // a folder in the way
    Host("F7/f2.dat", "read-only");
    fs::last_write_time(fs::path(t / "host/RESOURCEN/F7/f2.dat"), when);
    fs::permissions(fs::path(t / "host/RESOURCEN/F7/f2.dat"), fs::perms::owner_read);
    Package("F9/f4.dat", "gone before the copy");
    fs::remove(fs::path(t / "pkg/RESOURCEN/F9/f6.dat"));
    Package("F9/f6.dat", "swapped for a link before the copy");
    fs::remove(fs::path(t / "pkg/RESOURCEN/F9/f7.dat"));
    Package("F9/f7.dat", "swapped for a pipe before the copy");
    class View : public test::RecordingView {
     public:
      std::function<void()> onWork, onStep;
      void WorkStarted(int units) override {
        total = units;
        onWork();
      }
      void Stepped() override {
        RecordingView::Stepped();
        onStep();
      }
    } view;
    view.onWork = [&] {
      fs::remove(fs::path(t / "pkg/RESOURCEN/F9/f4.dat"));
      fs::remove(fs::path(t / "pkg/RESOURCEN/F9/f6.dat"));
      fs::create_symlink(fs::path(t / "secret.txt"), fs::path(t / "pkg/RESOURCEN/F9/f6.dat"));
      fs::remove(fs::path(t / "pkg/RESOURCEN/F9/f7.dat"));
      ASSERT_EQ(::mkfifo((t / "pkg/RESOURCEN/F9/f7.dat").c_str(), 0644), 0);
    };
    view.onStep = [&] {
      if (static_cast<int>(view.stepped.size()) == stopAfter) RequestRunStop();
    };
    RunRequest request;
    request.source = source;
    request.target = target;
    request.overwrite = true;
    request.copyWorkers = workers;
    if (stopAfter == 0) RequestRunStop();  // while the caller prepared the run
    const RunReport report = RunUpdate(request, view);
    Seen seen{view.stepped, {}, {}, {view.total, report.copied(), report.keptExisting()}};
    for (const RunFailure& f : report.failures()) seen.failures.push_back(f.path + ": " + f.reason);
    for (const auto& e : fs::recursive_directory_iterator(fs::path(t / "host")))
      if (e.is_regular_file())
        seen.files.push_back(e.path().lexically_relative(t.path()).generic_string() + " " +
                             std::to_string(test::ReadBytes(e.path().string()).size()) + " " +
                             std::to_string(fs::last_write_time(e.path()).time_since_epoch().count()));
    std::sort(seen.files.begin(), seen.files.end());
    fs::permissions(fs::path(t / "host/RESOURCEN/F7/f2.dat"), fs::perms::owner_all);
    return seen;
  };

  const Seen early = run(4, 0);
  EXPECT_TRUE(early.stepped.empty());
  EXPECT_EQ(early.counts[1], 0);
  EXPECT_EQ(early.files.size(), 1u);  // the host's own

  for (int stopAfter : {-1, 50}) {
    const Seen one = run(1, stopAfter);
    for (int round = 0; round < 3; ++round) {
      // The last round asks for more threads than a process may have.
      const Seen four = run(round < 2 ? 4 : 100000, stopAfter);
      EXPECT_EQ(four.stepped, one.stepped);
      if (stopAfter < 0) {
        EXPECT_EQ(four.failures, one.failures);
        EXPECT_EQ(four.counts, one.counts);
        EXPECT_EQ(four.files, one.files);
        continue;
      }
      // Stopped: the copies the walk had queued and the threads had not
      // begun are not made. What is made is what one thread made, whole,
      // and counted.
      EXPECT_LE(four.counts[1], one.counts[1]);
      EXPECT_EQ(four.files.size(), static_cast<size_t>(four.counts[1]) + 1);  // and the host's own
      EXPECT_TRUE(std::includes(one.files.begin(), one.files.end(), four.files.begin(), four.files.end()));
    }
    if (stopAfter > 0) {
      EXPECT_EQ(one.counts[1], 50 - 2);  // the steps of F1/case.dat and F2/x copied nothing
      EXPECT_EQ(one.files.size(), 49u);  // and no temporary file is left
      continue;
    }
    const std::string twice = ": the package has this name in other letter case too; not copied";
    EXPECT_EQ(one.failures, (Strings{source + "\\F1\\case.dat" + twice, source + "\\F2\\x" + twice,
                                     target + "\\F3\\f5.dat: a folder of that name is in the way",
                                     source + "\\F5\\CON.txt: name is a device on Windows (CON, NUL, COM1, ...), not a file",
                                     target + "\\F7\\f2.dat: is read-only; left as it was",
                                     source + "\\F9\\f4.dat: is not in the package",
                                     source + "\\F9\\f6.dat: a link that leads out of the package; not copied",
                                     source + "\\F9\\f7.dat: cannot be read"}));
    EXPECT_EQ(HostBytes("F1/CASE.dat"), "upper");
    EXPECT_EQ(HostBytes("F2/X/y.dat"), "in a folder of the same name");
    EXPECT_EQ(fs::last_write_time(fs::path(t / "host/RESOURCEN/F8/f3.dat")),
              fs::last_write_time(fs::path(t / "pkg/RESOURCEN/F8/f3.dat")));
  }
}

TEST_F(TreeCopy, LinksAndSpecialFilesAreNeitherFollowedNorCopiedAndEachIsReported) {
  namespace fs = std::filesystem;
  const std::string pkg = t / "pkg/RESOURCEN";
  Package("a.txt", "A");
  Package("Sub/b.txt", "B");
  test::WriteBytes(t / "secret.txt", "outside the package");
  fs::create_directory_symlink(".", pkg + "/loop1");  // two loops: 2^depth folders if followed
  fs::create_directory_symlink(".", pkg + "/loop2");
  fs::create_directory_symlink("/", pkg + "/root");
  fs::create_symlink(t / "secret.txt", pkg + "/secret.txt");
  fs::create_symlink("Sub/b.txt", pkg + "/inside.txt");  // stays inside: copied as a file
  fs::create_symlink("/dev/zero", pkg + "/zero.bmp");
  fs::create_symlink(pkg + "/none", pkg + "/dangling.txt");
  ASSERT_EQ(::mkfifo((pkg + "/Sub/pipe.txt").c_str(), 0644), 0);
  Package("Sub/~zvt0123abcd.tmp", "a temporary file of this program");
  std::ofstream(pkg + "/back\\slash.txt") << "a name Windows would take for two";

  EXPECT_EQ(Copy(false), 3);
  EXPECT_EQ(HostFiles(), (Strings{"Sub/b.txt", "a.txt", "inside.txt"}));
  EXPECT_FALSE(fs::is_symlink(fs::path(t / "host/RESOURCEN/inside.txt")));
  std::map<std::string, std::string> reported;
  for (const RunFailure& f : g_RunReport.failures()) reported[f.path.substr(source.size() + 1)] = f.reason;
  EXPECT_EQ(reported, (std::map<std::string, std::string>{
                          {"Sub\\pipe.txt", "not a regular file or folder; skipped"},
                          {"back?slash.txt", "name holds a path separator"},
                          {"dangling.txt", "not a regular file or folder; skipped"},
                          {"loop1", "a link to a folder; not followed"},
                          {"loop2", "a link to a folder; not followed"},
                          {"root", "a link to a folder; not followed"},
                          {"secret.txt", "a link that leads out of the package; not copied"},
                          {"zero.bmp", "not a regular file or folder; skipped"},
                      }));
}

TEST_F(TreeCopy, ARunClearsOnlyItsOwnLeftoversAndOnlyWhereItWrites) {
  Package("Sub/b.txt", "B");
  Host("Sub/~zvt0123abcd.tmp", "left by a killed run");
  Host("Sub/~zvt-mine.tmp", "the user's");
  Host("Other/~zvt0123abcd.tmp", "not written by this run");
  {
    platform::TemporarySweep sweep;
    Copy(false);
  }
  EXPECT_EQ(HostFiles(), (Strings{"Other/~zvt0123abcd.tmp", "Sub/b.txt", "Sub/~zvt-mine.tmp"}));
}

// Names that would lead out of the target, that Windows would make a device
// or a shorter name, or that hold control characters are refused and
// reported, so a package gives the same tree on every system.
TEST_F(TreeCopy, NamesThatWouldNotStayWhatTheySayAreRefused) {
  Package("a.txt", "A");
  Package("CONTENT.txt", "C");
  // Written past the helpers, which would take the backslashes for separators.
  std::filesystem::create_directory(t.path() + "/pkg/RESOURCEN/..\\x");
  std::ofstream(t.path() + "/pkg/RESOURCEN/..\\x/f.txt") << "F";
  std::ofstream(t.path() + "/pkg/RESOURCEN/..\\..\\evil.txt") << "E";
  Strings refused = {"CON.txt", "nul", "Aux.tar.gz", "com7", "LPT1 .x", "conout$.mdl", "CONIN$", "com0.x",
                           "lpt\xC2\xB2.mdl", "dot.", "blank ", "ctl\x01.txt", "del\x7F.txt", "c1\xC2\x9B.txt",
                           "CON/f.txt", "trail./g.txt"};
#ifndef _WIN32
  // Characters no Windows name holds, which Linux names may.
  for (const char* name : {"a:b.mdl", "what?.mdl", "star*.mdl", "q\"uote.mdl", "pipe|.mdl", "<lt>.mdl"})
    refused.push_back(name);
#endif
  for (const std::string& name : refused) Package(name, "E");
  // One name in two letter cases: Windows holds the first the listing gives,
  // of files and of folders alike.
  Package("DUP.TXT", "first");
  Package("dup.txt", "second");
  Package("DIR/b.txt", "B");
  Package("Dir/a.txt", "A");

  Copy(false);
  EXPECT_EQ(HostFiles(), (Strings{"CONTENT.txt", "DIR/b.txt", "DUP.TXT", "a.txt"}));
  EXPECT_EQ(HostBytes("DUP.TXT"), "first");
  EXPECT_EQ(g_RunReport.failures().size(), refused.size() + 4);
}

TEST_F(TreeCopy, PathsBeyondTheSystemsLimitAreFailuresNotCrashes) {
  // Folders nested deeper than a path can name: made one level at a time.
  Package("a.txt", "A");
  char here[4096];
  ASSERT_NE(::getcwd(here, sizeof here), nullptr);
  ASSERT_EQ(::chdir((t.path() + "/pkg/RESOURCEN").c_str()), 0);
  const std::string level(200, 'd');
  for (int i = 0; i < 30; ++i) {
    ASSERT_EQ(::mkdir(level.c_str(), 0777), 0);
    ASSERT_EQ(::chdir(level.c_str()), 0);
    std::ofstream("f.txt") << "F";
  }
  ASSERT_EQ(::chdir(here), 0);

  Copy(false);
  EXPECT_EQ(HostBytes("a.txt"), "A");
  EXPECT_EQ(HostBytes(level + "/f.txt"), "F");
  EXPECT_FALSE(g_RunReport.failures().empty());
  EXPECT_LT(g_RunReport.copied(), 31);
  EXPECT_GT(g_RunReport.copied(), 10);
  // The scratch folder's own clean-up cannot name such paths either.
  EXPECT_EQ(std::system(("rm -rf '" + t.path() + "/pkg' '" + t.path() + "/host'").c_str()), 0);
}
#endif

}  // namespace
}  // namespace zet
