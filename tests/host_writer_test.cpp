// The run's write path: the preview, the journal, and undo from the journal.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <csignal>
#include <functional>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#include <sys/resource.h>
#endif

#include "host/journal.h"
#include "host/run_journal.h"
#include "host/undo.h"
#include "platform/platform.h"
#include "test_support.h"
#include "update/host_writer.h"
#include "update/unified_diff.h"
#include "update/update_view.h"
#include "update_fixture.h"

namespace zet::test {
namespace {

namespace fs = std::filesystem;
using Outcomes = std::vector<WriteOutcome>;

class HostWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    for (const auto& [path, bytes, mode] : std::vector<std::tuple<std::string, std::string, fs::perms>>{
             {"Modelle/Turm.mdl", "old tower", fs::perms(0666)},
             {"Modelle/Haus.mdl", "house", fs::perms(0644)},
             {"Index.ini", "[A]\r\nx=1\r\n", fs::perms(0600)}}) {
      WriteBytes(t / ("host/RESOURCEN/" + path), bytes);
      fs::permissions(t / ("host/RESOURCEN/" + path), mode);
      fs::last_write_time(t / ("host/RESOURCEN/" + path), old);
    }
    MakeFolders(t / "host/RESOURCEN/Modelle/Wand.mdl");
    for (const char* path : {"Modelle/Loks/BR218.mdl", "Modelle/Turm.mdl", "Modelle/Haus.mdl", "Modelle/Wand.mdl",
                             "Neu/Tief/Datei 100%.bin"})
      WriteBytes(t / (std::string("pkg/RESOURCEN/") + path), std::string("package ") + path);
    original = TreeState(t / "host", false);
  }

  std::string Host(const std::string& relative) const { return ProgramPath(t, "host/RESOURCEN/" + relative); }
  std::string Package(const std::string& relative) const { return ProgramPath(t, "pkg/RESOURCEN/" + relative); }

  // A run of every kind of change: folders made, files new, replaced, kept,
  // in the way, merged, and created then merged again.
  Outcomes SyntheticRun(HostWriter& w) {
    Outcomes o;
    auto copy = [&](const std::string& path, bool overwrite) {
      w.MakeFolders(Host(path.substr(0, path.find_last_of('\\'))));
      o.push_back(w.CopyIn(Package(path), Host(path), overwrite).outcome);
    };
    copy("Modelle\\Loks\\BR218.mdl", false);
    copy("Modelle\\Turm.mdl", true);
    copy("Modelle\\Haus.mdl", false);
    copy("Modelle\\Wand.mdl", true);
    copy("Neu\\Tief\\Datei 100%.bin", false);
    o.push_back(w.ReplaceBytes(Host("Index.ini"), "[A]\nx=1\n[B]\ny=2\n", true, "1 section added").outcome);
    o.push_back(w.ReplaceBytes(Host("Neu\\Liste.txt"), "a\n", true).outcome);
    o.push_back(w.ReplaceBytes(Host("Neu\\Liste.txt"), "a\nb\n", true).outcome);
    return o;
  }

  // A run through the journal; without finish it ends as a killed run does.
  Outcomes JournalRun(const std::function<Outcomes(HostWriter&)>& run, bool link = true, bool finish = true) {
    Journal journal;
    std::string error;
    EXPECT_TRUE(journal.Begin({root, Host(""), Package(""), "1.2.3", link}, error)) << error;
    JournalWriter writer(journal, Host(""));
    Outcomes outcomes = run(writer);
    if (finish) {
      EXPECT_TRUE(journal.Finish());
    }
    return outcomes;
  }
  Outcomes JournalRun(bool link = true, bool finish = true) {
    return JournalRun([this](HostWriter& w) { return SyntheticRun(w); }, link, finish);
  }

  UndoResult Undo() { return UndoLatestRun(root, Host("")); }
  std::vector<RunRecord> Runs() { return ListRuns(root, Host("")); }

  TempDir t;
  std::string root = ProgramPath(t, "journal");
  std::string original;
};

const Outcomes kSyntheticOutcomes = {WriteOutcome::Created, WriteOutcome::Replaced,     WriteOutcome::KeptExisting,
                                     WriteOutcome::Failed,  WriteOutcome::Created,      WriteOutcome::Replaced,
                                     WriteOutcome::Created, WriteOutcome::Replaced};

TEST_F(HostWriterTest, PreviewWritesNothingAndListsWhatTheRunDoes) {
  const std::string before = TreeState(t / "host", true);
  PreviewWriter preview(Host(""));
  EXPECT_EQ(SyntheticRun(preview), kSyntheticOutcomes);
  std::string bytes;
  EXPECT_TRUE(preview.ReadBack(Host("Neu\\Liste.txt"), bytes));
  EXPECT_EQ(bytes, "a\r\nb\r\n") << "a later step reads what the preview would have written";
  EXPECT_EQ(TreeState(t / "host", true), before);
  EXPECT_TRUE(Listing(t.path()) == (std::vector<std::string>{"host", "pkg"})) << "no journal either";

  std::string lines;
  for (const PreviewChange& c : preview.changes()) lines += PreviewLine(c) + "\n";
  const std::string sep = platform::IsPathSeparator('/') ? "/" : "\\";
  auto native = [&](std::string s) {
    for (size_t at; (at = s.find('|')) != std::string::npos;) s.replace(at, 1, sep);
    return s;
  };
  EXPECT_EQ(lines, native("+ Modelle|Loks|                     new folder\n"
                          "+ Modelle|Loks|BR218.mdl            new file\n"
                          "> Modelle|Turm.mdl                  replaced (overwrite)\n"
                          ". Modelle|Haus.mdl                  kept, the host has it\n"
                          "! Modelle|Wand.mdl                  would fail: a folder of that name is in the way\n"
                          "+ Neu|                              new folder\n"
                          "+ Neu|Tief|                         new folder\n"
                          "+ Neu|Tief|Datei 100%.bin           new file\n"
                          "~ Index.ini                         merged: 1 section added\n"
                          "+ Neu|Liste.txt                     new file\n"
                          "~ Neu|Liste.txt                     merged\n"));
  EXPECT_EQ(UnifiedDiff(preview.changes()[8].oldBytes, preview.changes()[8].newBytes, "Index.ini"),
            "--- Index.ini\n+++ Index.ini\n@@ -1,2 +1,4 @@\n [A]\n x=1\n+[B]\n+y=2\n");
#ifndef _WIN32
  // Named in other letters, a host file is listed as the host spells it.
  PreviewWriter other(Host(""));
  other.CopyIn(Package("Modelle\\Haus.mdl"), Host("MODELLE\\HAUS.MDL"), true);
  EXPECT_EQ(other.changes().at(0).path, "Modelle\\Haus.mdl");
#endif

  // The real run makes the same changes, and the journal lists them.
  EXPECT_EQ(JournalRun(), kSyntheticOutcomes);
  std::vector<std::string> made, previewed;
  RunRecord run;
  ASSERT_TRUE(ReadRun(Runs().at(0).folder, run, true));
  for (const JournalEntry& e : run.entries) made.push_back(e.path);
  for (const PreviewChange& c : preview.changes())
    if (c.kind != ChangeKind::KeptExisting && c.kind != ChangeKind::Failed) previewed.push_back(c.path);
  EXPECT_EQ(made, previewed);
}

#ifndef _WIN32
// A link of the host's that leads nowhere (to a drive not there, say) is the
// user's: neither replaced nor written through, in a preview as in a run;
// and a preview sees a read-only host file as the run does.
TEST_F(HostWriterTest, AHostLinkThatLeadsNowhereOrAReadOnlyFileIsLeftAsItIs) {
  fs::create_symlink(t / "gone/Liste.txt", t / "host/RESOURCEN/Liste.txt");
  fs::create_symlink(t / "gone/BR218.mdl", t / "host/RESOURCEN/Modelle/BR218.mdl");
  auto run = [&](HostWriter& w) {
    std::vector<WriteResult> results{w.ReplaceBytes(Host("Liste.txt"), "a\n", true),
                                     w.CopyIn(Package("Modelle\\Loks\\BR218.mdl"), Host("Modelle\\BR218.mdl"), false),
                                     w.CopyIn(Package("Modelle\\Loks\\BR218.mdl"), Host("Modelle\\BR218.mdl"), true)};
    Outcomes o;
    for (const WriteResult& r : results) {
      EXPECT_EQ(r.reason, "a link that leads nowhere; left as it was");
      o.push_back(r.outcome);
    }
    return o;
  };
  const Outcomes failed(3, WriteOutcome::Failed);
  PreviewWriter preview(Host(""));
  EXPECT_EQ(run(preview), failed);
  EXPECT_EQ(JournalRun(run), failed);
  // Nor is one in the place of a folder the package brings, which a dry run
  // does not promise to make either.
  fs::create_symlink(t / "gone/Sounds", t / "host/RESOURCEN/Sounds");
  auto into = [&](HostWriter& w) {
    EXPECT_FALSE(w.MakeFolders(Host("Sounds\\BR218")));
    const WriteResult r = w.CopyIn(Package("Modelle\\Haus.mdl"), Host("Sounds\\BR218\\Horn.wav"), false);
    EXPECT_EQ(r.reason, "its folder is a link that leads nowhere; left as it was");
    return Outcomes{r.outcome};
  };
  PreviewWriter beside(Host(""));
  EXPECT_EQ(into(beside), Outcomes{WriteOutcome::Failed});
  EXPECT_EQ(beside.changes().size(), 1u);
  EXPECT_EQ(JournalRun(into), Outcomes{WriteOutcome::Failed});

  // A read-only host file is seen by a dry run as the run sees it.
  fs::permissions(t / "host/RESOURCEN/Modelle/Haus.mdl", fs::perms::owner_read);
  PreviewWriter again(Host(""));
  const WriteResult replaced = again.CopyIn(Package("Modelle\\Haus.mdl"), Host("Modelle\\Haus.mdl"), true);
  EXPECT_EQ(replaced.outcome, WriteOutcome::Failed);
  EXPECT_EQ(replaced.reason, "is read-only; left as it was");
  // So is a merge's write, in a dry run and in the run.
  DiskWriter disk(Host(""));
  for (HostWriter* w : std::initializer_list<HostWriter*>{&again, &disk})
    EXPECT_EQ(w->ReplaceBytes(Host("Modelle\\Haus.mdl"), "merged", false).reason, "is read-only; left as it was");
  EXPECT_EQ(ReadBytes(t / "host/RESOURCEN/Modelle/Haus.mdl"), "house");
  // A pipe in a file's place is neither written nor called read-only.
  ASSERT_EQ(::mkfifo((t / "host/RESOURCEN/Modelle/Rohr.mdl").c_str(), 0666), 0);
  EXPECT_EQ(again.CopyIn(Package("Modelle\\Haus.mdl"), Host("Modelle\\Rohr.mdl"), true).reason,
            "is no plain file (a pipe or a device); left as it was");
  EXPECT_TRUE(fs::is_symlink(t / "host/RESOURCEN/Liste.txt"));
  EXPECT_TRUE(fs::is_symlink(t / "host/RESOURCEN/Modelle/BR218.mdl"));
  EXPECT_FALSE(fs::exists(t / "gone"));

  // Nor is one into the package: writing through it would change the package.
  g_SourceRoot = ProgramPath(t, "pkg/RESOURCEN");
  fs::create_symlink(t / "pkg/RESOURCEN/Modelle/Turm.mdl", t / "host/RESOURCEN/Modelle/Dach.mdl");
  auto intoThePackage = [&](HostWriter& w) {
    Outcomes o;
    for (const WriteResult& r : {w.CopyIn(Package("Modelle\\Haus.mdl"), Host("Modelle\\Dach.mdl"), true),
                                 w.ReplaceBytes(Host("Modelle\\Dach.mdl"), "a\n", true)}) {
      EXPECT_EQ(r.reason, "a link into the package; left as it was");
      o.push_back(r.outcome);
    }
    return o;
  };
  PreviewWriter third(Host(""));
  EXPECT_EQ(intoThePackage(third), Outcomes(2, WriteOutcome::Failed));
  EXPECT_EQ(JournalRun(intoThePackage), Outcomes(2, WriteOutcome::Failed));
  // A package file that a link puts outside the package, where the walk
  // cannot tell a link (as under Wine): a dry run fails it as the run does.
  WriteBytes(t / "outside.mdl", "not the package's");
  fs::create_symlink(t / "outside.mdl", t / "pkg/RESOURCEN/Modelle/Fremd.mdl");
  PreviewWriter fourth(Host(""));
  EXPECT_EQ(fourth.CopyIn(Package("Modelle\\Fremd.mdl"), Host("Modelle\\Fremd.mdl"), false).outcome,
            WriteOutcome::Failed);
  g_SourceRoot.clear();
  EXPECT_EQ(ReadBytes(t / "pkg/RESOURCEN/Modelle/Turm.mdl"), "package Modelle/Turm.mdl");
}
#endif

TEST_F(HostWriterTest, AnEmptyFileTheTreeLeavesOutIsNeitherWrittenNorRecordedNorPreviewed) {
  WriteBytes(t / "pkg/RESOURCEN/Modelle/Turm.mdl", "");
  WriteBytes(t / "pkg/RESOURCEN/Modelle/Leer.mdl", "");
  auto run = [this](HostWriter& w) {
    Outcomes o;
    for (bool overwrite : {false, true})
      for (const char* path : {"Modelle\\Turm.mdl", "Modelle\\Leer.mdl", "Modelle\\Wand.mdl"})
        o.push_back(w.CopyIn(Package("Modelle\\Turm.mdl"), Host(path), overwrite, EmptySource::LeftOut).outcome);
    return o;
  };
  const Outcomes leftOut(6, WriteOutcome::LeftOut);
  DiskWriter disk(Host(""));
  EXPECT_EQ(run(disk), leftOut);
  PreviewWriter preview(Host(""));
  EXPECT_EQ(run(preview), leftOut);
  EXPECT_TRUE(preview.changes().empty());
  EXPECT_EQ(JournalRun(run), leftOut);
  EXPECT_TRUE(Runs().empty()) << "a run that changed nothing is no run to undo";
  EXPECT_EQ(TreeState(t / "host", false), original);
  // Other copies take an empty file as any other.
  EXPECT_EQ(disk.CopyIn(Package("Modelle\\Leer.mdl"), Host("Modelle\\Leer.mdl"), false).outcome,
            WriteOutcome::Created);
  EXPECT_EQ(ReadBytes(t / "host/RESOURCEN/Modelle/Leer.mdl"), "");
}

// A merge reads a host file, works, then writes it: what another program
// wrote to the file in between is not lost, with the journal or without.
TEST_F(HostWriterTest, AFileAnotherProgramWroteAfterTheReadIsNotReplaced) {
  auto merge = [this](HostWriter& w) {
    std::string bytes;
    EXPECT_TRUE(w.ReadBack(Host("Index.ini"), bytes));
    // Read and written by the run itself: read again, written again.
    Outcomes o{w.ReplaceBytes(Host("Index.ini"), bytes + "[B]\r\n", false).outcome};
    EXPECT_TRUE(w.ReadBack(Host("Index.ini"), bytes));
    std::ofstream(t / "host/RESOURCEN/Index.ini", std::ios::binary | std::ios::app) << "[Other]\r\n";
    const WriteResult refused = w.ReplaceBytes(Host("Index.ini"), bytes + "[C]\r\n", false);
    EXPECT_EQ(refused.reason, "changed by another program while the run merged it; left as it was");
    o.push_back(refused.outcome);
    return o;
  };
  const Outcomes replacedThenRefused{WriteOutcome::Replaced, WriteOutcome::Failed};
  DiskWriter disk(Host(""));
  EXPECT_EQ(merge(disk), replacedThenRefused);
  EXPECT_EQ(ReadBytes(t / "host/RESOURCEN/Index.ini"), "[A]\r\nx=1\r\n[B]\r\n[Other]\r\n");
  EXPECT_EQ(JournalRun(merge), replacedThenRefused);
  EXPECT_EQ(ReadBytes(t / "host/RESOURCEN/Index.ini"), "[A]\r\nx=1\r\n[B]\r\n[Other]\r\n[B]\r\n[Other]\r\n");
  EXPECT_EQ(Undo().status, 1) << "the file changed since the run: kept, and listed";
}

#ifndef _WIN32
// A file that stands is replaced beside the file a host link there names: a
// dry run judges that folder, not the link's, as the run does. Checked as a
// user whom the folders' bits bind (root passes every check).
TEST_F(HostWriterTest, ADryRunJudgesAReplacementThroughALinkWhereTheRunWritesIt) {
  MakeFolders(t / "free");
  MakeFolders(t / "locked");
  WriteBytes(t / "free/target.mdl", "free");
  WriteBytes(t / "locked/target.mdl", "locked");
  fs::create_symlink(t / "free/target.mdl", t / "host/RESOURCEN/Modelle/InLocked.mdl");
  fs::create_symlink(t / "locked/target.mdl", t / "host/RESOURCEN/Modelle/ToLocked.mdl");
  EXPECT_EXIT(
      {
        if (::getuid() == 0) {
          if (::lchown(fs::path(t.path()).c_str(), 65534, 65534) != 0) std::_Exit(3);
          for (const auto& e : fs::recursive_directory_iterator(t.path()))
            if (::lchown(e.path().c_str(), 65534, 65534) != 0) std::_Exit(3);
          if (::setgid(65534) != 0 || ::setuid(65534) != 0) std::_Exit(3);
        }
        fs::permissions(t / "host/RESOURCEN/Modelle", fs::perms(0555));
        fs::permissions(t / "locked", fs::perms(0555));
        PreviewWriter preview(Host(""));
        DiskWriter disk(Host(""));
        bool ok = true;
        for (const auto& [name, expected] : {std::pair<const char*, WriteOutcome>{"InLocked.mdl", WriteOutcome::Replaced},
                                             {"ToLocked.mdl", WriteOutcome::Failed}}) {
          const std::string path = Host(std::string("Modelle\\") + name);
          ok = ok && preview.CopyIn(Package("Modelle\\Haus.mdl"), path, true).outcome == expected &&
               preview.ReplaceBytes(path, "merged", false, {}).outcome == expected &&
               disk.CopyIn(Package("Modelle\\Haus.mdl"), path, true).outcome == expected;
        }
        // A new file, and one in a new folder, where the user may not write:
        // the run and the dry run say why alike.
        for (const auto& [name, reason] :
             {std::pair<const char*, const char*>{"Neu.mdl", "cannot be written: this user may not write there"},
              {"Neu\\Haus.mdl", "its folder cannot be created: this user may not write there"}}) {
          const std::string path = Host(std::string("Modelle\\") + name);
          ok = ok && disk.CopyIn(Package("Modelle\\Haus.mdl"), path, false).reason == reason &&
               preview.CopyIn(Package("Modelle\\Haus.mdl"), path, false).reason == reason;
        }
        std::_Exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  fs::permissions(t / "host/RESOURCEN/Modelle", fs::perms(0755));
  fs::permissions(t / "locked", fs::perms(0755));
  EXPECT_EQ(ReadBytes(t / "free/target.mdl"), "package Modelle/Haus.mdl");
  EXPECT_EQ(ReadBytes(t / "locked/target.mdl"), "locked");
}
#endif

// A texture list changed since the run is kept, and so are the texture
// files the run added that it still names: it would name files the host lacks.
TEST_F(HostWriterTest, UndoKeepsTheTexturesOfAListChangedSince) {
  WriteBytes(t / "pkg/RESOURCEN/Parallels/p2.dds", "P2");
  WriteBytes(t / "pkg/RESOURCEN/Parallels/p3.dds", "P3");
  WriteBytes(t / "pkg/RESOURCEN/Parallels/Boden.bmp", "B");
  JournalRun([this](HostWriter& w) {
    w.MakeFolders(Host("Parallels"));
    return Outcomes{w.CopyIn(Package("Parallels\\p2.dds"), Host("Parallels\\p2.dds"), false).outcome,
                    w.CopyIn(Package("Parallels\\p3.dds"), Host("Parallels\\p3.dds"), false).outcome,
                    w.CopyIn(Package("Parallels\\Boden.bmp"), Host("Parallels\\Boden.bmp"), false).outcome,
                    w.ReplaceBytes(Host("Parallels\\Texturen.txt"), "Basis{ Textur{ id(2) name(p2) } Textur{ id(3) name(p3) } }",
                                   false, {})
                        .outcome,
                    w.ReplaceBytes(Host("Parallels\\Bodentexturen.txt"), "Basis{ Textur{ id(1) name(Boden) } }", false, {})
                        .outcome};
  });
  // The user's list names p2 (in other letters), no longer p3.
  WriteBytes(t / "host/RESOURCEN/Parallels/Texturen.txt", "Basis{ Textur{ id(2) name(P2) } }\r\n; mine\r\n");
  const UndoResult undo = Undo();
  EXPECT_EQ(undo.status, 1);
  Strings kept;
  for (const UndoKept& k : undo.kept) kept.push_back(k.path + ": " + k.reason);
  EXPECT_EQ(kept, (Strings{"Parallels\\Texturen.txt: changed since the run",
                           "Parallels\\p2.dds: a texture list changed since the run names it"}));
  EXPECT_EQ(ReadBytes(t / "host/RESOURCEN/Parallels/p2.dds"), "P2");
  EXPECT_FALSE(test::Exists(t / "host/RESOURCEN/Parallels/p3.dds"));
  EXPECT_FALSE(test::Exists(t / "host/RESOURCEN/Parallels/Boden.bmp"));  // its list was undone
}

// Zero bytes amid a manifest's lines (a crash of the system while the
// run wrote them) are no killed run's rest: the run is listed as damaged,
// undo goes no further back, and no later run clears it with its old bytes.
TEST_F(HostWriterTest, AManifestDamagedAmidItsLinesIsKept) {
  auto damage = [](const std::string& manifest, const std::vector<std::string>& starts) {
    std::string bytes = ReadBytes(manifest);
    for (const std::string& start : starts)
      for (size_t at = bytes.find(start); at != std::string::npos; at = bytes.find(start, at))
        bytes.replace(at, start.size(), std::string(start.size(), '\0'));
    WriteBytes(manifest, bytes);
  };
  // Every change line damaged: no run that changed nothing (which undo
  // passes over and the next run clears), but one whose changes are not known.
  EXPECT_EQ(JournalRun(), kSyntheticOutcomes);
  const std::string folder = Runs().at(0).folder;
  damage(platform::NativePath(folder + "\\manifest.txt"), {"file-", "folder-"});
  ASSERT_EQ(Runs().size(), 1u);
  EXPECT_TRUE(Runs().at(0).unreadable);
  EXPECT_EQ(Undo().status, 1);
  JournalRun();
  EXPECT_TRUE(test::Exists(platform::NativePath(folder)));
  // One change line damaged: undo takes back what the others say, and
  // says that one is lost.
  const std::string second = Runs().at(0).folder;
  damage(platform::NativePath(second + "\\manifest.txt"), {"file-merged"});
  const UndoResult undo = Undo();
  EXPECT_EQ(undo.status, 1);
  ASSERT_FALSE(undo.kept.empty());
  EXPECT_EQ(undo.kept.back().reason, "the run's manifest holds a line no run writes; what it said is not undone");
}

TEST_F(HostWriterTest, RunThenUndoGivesTheTreeBack) {
  for (bool link : {true, false}) {
    SCOPED_TRACE(link ? "old bytes linked" : "old bytes copied");
    EXPECT_EQ(JournalRun(link), kSyntheticOutcomes);
    EXPECT_EQ(ReadBytes(t / "host/RESOURCEN/Index.ini"), "[A]\r\nx=1\r\n[B]\r\ny=2\r\n");
    const RunRecord run = Runs().at(0);
    EXPECT_EQ(run.state, RunState::Completed);
    EXPECT_EQ(run.package, Package(""));
    EXPECT_EQ(run.version, "1.2.3");
    EXPECT_EQ(run.Count(ChangeKind::FolderCreated), 3);
    EXPECT_EQ(run.Count(ChangeKind::FileCreated), 3);
    EXPECT_EQ(run.Count(ChangeKind::FileReplaced), 1);
    EXPECT_EQ(run.Count(ChangeKind::FileMerged), 2);
    const std::string manifest = ReadBytes(run.folder + "/manifest.txt");
    EXPECT_NE(manifest.find("file-replaced\tModelle\\Turm.mdl\tsize=24\txxh3="), std::string::npos) << manifest;
    EXPECT_NE(manifest.find("file-created\tNeu\\Tief\\Datei 100%25.bin\tsize=31\txxh3="), std::string::npos)
        << manifest;

    const UndoResult undo = Undo();
    EXPECT_EQ(undo.status, 0);
    EXPECT_TRUE(undo.kept.empty());
    EXPECT_EQ(undo.filesRemoved, 3);
    EXPECT_EQ(undo.filesRestored, 3);
    EXPECT_EQ(undo.foldersRemoved, 3);
    EXPECT_EQ(TreeState(t / "host", false), original);
    EXPECT_EQ(Runs().at(0).state, RunState::Undone);
  }
  EXPECT_EQ(Runs().size(), 2u);
  EXPECT_EQ(Undo().status, 2) << "both runs are undone";

  // The host scans its tree: no journal goes there.
  Journal journal;
  std::string error;
  EXPECT_FALSE(journal.Begin({Host("Modelle\\journal"), Host(""), Package(""), "1.2.3"}, error));
  EXPECT_EQ(error, "the run journal would lie in the host's folder: " + Host("Modelle\\journal"));
  EXPECT_EQ(TreeState(t / "host", false), original);
  // Nor in the package, from where the run would install it.
  const std::string package = TreeState(t / "pkg", false);
  EXPECT_FALSE(journal.Begin({Package("journal"), Host(""), Package(""), "1.2.3"}, error));
  EXPECT_EQ(error, "the run journal would lie in the package's folder, and be installed from there: " +
                       Package("journal"));
  EXPECT_EQ(TreeState(t / "pkg", false), package);
}

// A manifest is a file others may change: undo reaches no file outside the
// host, takes old bytes only from the run's own folder, and gives back
// permission bits alone.
TEST_F(HostWriterTest, UndoGoesNoFurtherThanTheHostWhateverTheManifestSays) {
  WriteBytes(t / "victim.txt", "the user's");
  WriteBytes(t / "host/RESOURCEN/Neu.txt", "the user's");
  char hash[17];
  std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(DigestOf("the user's").hash));
  JournalRun();
  const std::string manifest = Runs().at(0).folder + "/manifest.txt";
  std::string lines = ReadBytes(manifest);
  std::vector<std::pair<std::string, std::string>> changes{{"old-bytes=old\\000002", "old-bytes=..\\..\\victim.txt"}};
#ifndef _WIN32
  changes.push_back({"mode=0666", "mode=4755"});
#endif
  for (const auto& [from, to] : changes) {
    ASSERT_NE(lines.find(from), std::string::npos) << lines;
    lines.replace(lines.find(from), from.size(), to);
  }
  // Old bytes put in the run's folder since (a file, or a link to one).
  fs::remove(fs::path(platform::NativePath(Runs().at(0).folder + "\\old\\000003")));
  WriteBytes(platform::NativePath(Runs().at(0).folder + "\\old\\000003"), "not the old list");
  lines.erase(lines.find_last_not_of('\0') + 1);  // written where the run's lines end
  for (const char* path : {"..\\..\\victim.txt", "/etc/../victim.txt", "C:\\victim.txt", "Neu\\..\\Neu.txt"})
    lines += std::string("file-created\t") + path + "\tsize=10\txxh3=" + hash + "\n";
  lines += "folder-created\t..\\..\n";
  WriteBytes(manifest, lines);

  const UndoResult undo = Undo();
  EXPECT_EQ(undo.status, 1);
  EXPECT_EQ(ReadBytes(t / "victim.txt"), "the user's");
  EXPECT_EQ(ReadBytes(t / "host/RESOURCEN/Neu.txt"), "the user's");
  Strings kept;
  for (const UndoKept& k : undo.kept) kept.push_back(k.path + ": " + k.reason);
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(kept, (Strings{"..\\..: not a path in the host; left alone",
                           "..\\..\\victim.txt: not a path in the host; left alone",
                           "/etc/../victim.txt: not a path in the host; left alone",
                           "C:\\victim.txt: not a path in the host; left alone",
                           "Index.ini: its old bytes are not in the journal",
                           "Neu\\..\\Neu.txt: not a path in the host; left alone",
                           "Neu\\Liste.txt: changed since the run",
                           "Neu\\Liste.txt: its old bytes are not in the journal"}));
  EXPECT_EQ(ReadBytes(t / "host/RESOURCEN/Modelle/Turm.mdl"), "old tower");
#ifndef _WIN32
  EXPECT_EQ(fs::status(t / "host/RESOURCEN/Modelle/Turm.mdl").permissions(), fs::perms(0755));
#endif
}

#ifndef _WIN32
// Links put into the host since the run: what they lead to is no host file,
// whatever bytes it holds; the rest of the run is undone. A link that stood
// before the run (a folder moved to another disk) is the host's own: undo
// goes through it as the run did.
TEST_F(HostWriterTest, UndoChangesNothingThroughALinkPutInSinceTheRun) {
  const fs::path host = t / "host/RESOURCEN", outside = t / "outside";
  fs::create_directories(outside / "Modelle");
  fs::rename(host / "Modelle", outside / "Modelle");
  fs::create_directory_symlink(outside / "Modelle", host / "Modelle");
  const std::string modelle = TreeState(outside / "Modelle", false);
  // The journal tells the run's start as finely as the system stamps files
  // (a tick of its clock): a link made a moment before the run stood before it.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  JournalRun();
  fs::rename(host / "Neu", outside / "Neu");
  fs::create_directory_symlink(outside / "Neu", host / "Neu");
  const std::string outsideNeu = TreeState(outside / "Neu", false);

  UndoResult undo = Undo();
  EXPECT_EQ(undo.status, 1);
  EXPECT_EQ(TreeState(outside / "Neu", false), outsideNeu);
  Strings kept;
  for (const UndoKept& k : undo.kept) kept.push_back(k.path + ": " + k.reason);
  std::sort(kept.begin(), kept.end());
  const std::string why = ": reached through a link put in since the run, which leads out of the host; left alone";
  EXPECT_EQ(kept, (Strings{"Neu" + why, "Neu\\Liste.txt" + why, "Neu\\Tief" + why, "Neu\\Tief\\Datei 100%.bin" + why}));
  EXPECT_EQ(ReadBytes(host / "Index.ini"), "[A]\r\nx=1\r\n");
  EXPECT_EQ(TreeState(outside / "Modelle", false), modelle);
}
#endif

// Runs refused or killed before their manifest's first line, or before
// their first change, leave folders that hold no run; they push no run out
// of the journal.
TEST_F(HostWriterTest, FoldersThatHoldNoRunPushNoRunOut) {
  JournalRun();
  const fs::path hostFolder = fs::path(platform::NativePath(Runs().at(0).folder)).parent_path();
  const std::string header = "zetveltran-journal 1\ntarget\tx\npackage\ty\nstarted\t2026-12-07T10:00:00Z\n";
  for (int i = 2; i <= 12; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "%08d", i);
    const std::string manifest[] = {"", header, header + std::string(4096, '\0'), header + "end\t2026-12-07T10:00:01Z\n"};
    WriteBytes((hostFolder / name / "manifest.txt").string(), manifest[(i + 2) % 4]);  // the newest killed
  }
#ifndef _WIN32
  // A link among the runs is neither read nor cleared through.
  WriteBytes(t / "victim/a.txt", "the user's");
  fs::create_directory_symlink(t / "victim", hostFolder / "00000014");
#endif
  RunRecord interrupted;
  EXPECT_FALSE(FindInterruptedRun(root, Host(""), interrupted)) << "nothing to take back: not named";
  ASSERT_EQ(Undo().status, 0);
  JournalRun();
#ifndef _WIN32
  EXPECT_EQ(ReadBytes(t / "victim/a.txt"), "the user's");
  fs::remove(hostFolder / "00000014");
#endif
  EXPECT_EQ(Listing(hostFolder.string()), (std::vector<std::string>{"00000001", "00000013"}));
  ASSERT_EQ(Runs().size(), 2u);
  EXPECT_EQ(Runs().at(1).state, RunState::Undone);

  // A manifest line no run writes (megabytes long) is not passed over in silence.
  const std::string manifest = platform::NativePath(Runs().at(0).folder + "\\manifest.txt");
  const std::string lines = ReadBytes(manifest);
  WriteBytes(manifest, lines + "file-created\t" + std::string(2 << 20, 'x') + "\n");
  UndoResult undo = Undo();
  EXPECT_EQ(undo.status, 1);
  ASSERT_EQ(undo.kept.size(), 1u);
  EXPECT_NE(undo.kept[0].reason.find("holds a line no run writes"), std::string::npos);
#ifndef _WIN32
  // Nor is a line behind a stretch of nothing (a hole of a sparse file),
  // which is not read through.
  WriteBytes(manifest, lines);
  fs::resize_file(manifest, fs::file_size(manifest) + (std::uintmax_t{1} << 28));
  {
    std::ofstream more(manifest, std::ios::binary | std::ios::app);
    more << "file-created\tsomewhere.txt\tsize=1\txxh3=0000000000000000\n";
  }
  undo = Undo();
  ASSERT_EQ(undo.kept.size(), 1u);
  EXPECT_NE(undo.kept[0].reason.find("holds a line no run writes"), std::string::npos);
#endif
}

// A run whose manifest is damaged in its header is listed, and undo goes
// no further back than it: what it changed is not known.
TEST_F(HostWriterTest, ARunWhoseJournalCannotBeReadStopsUndo) {
  JournalRun();
  JournalRun([this](HostWriter& w) {
    return Outcomes{w.CopyIn(Package("Modelle\\Loks\\BR218.mdl"), Host("Modelle\\Neu.mdl"), false).outcome};
  });
  const std::string manifest = platform::NativePath(Runs().at(0).folder + "\\manifest.txt");
  std::string bytes = ReadBytes(manifest);
  bytes[0] = 'X';
  WriteBytes(manifest, bytes);
  ASSERT_EQ(Runs().size(), 2u);
  EXPECT_TRUE(Runs().at(0).unreadable);
  const std::string state = TreeState(t / "host", false);
  const UndoResult undo = Undo();
  EXPECT_EQ(undo.status, 1);
  ASSERT_EQ(undo.kept.size(), 1u);
  EXPECT_EQ(undo.kept[0].reason, "the run's journal cannot be read; neither it nor a run before it is undone");
  EXPECT_EQ(TreeState(t / "host", false), state);
  EXPECT_EQ(Runs().at(1).state, RunState::Completed);
  // So is one whose manifest cannot be read at all (a folder in its place).
  fs::remove(manifest);
  fs::create_directory(manifest);
  ASSERT_EQ(Runs().size(), 2u);
  EXPECT_TRUE(Runs().at(0).unreadable);
  EXPECT_EQ(Undo().status, 1);
  EXPECT_EQ(TreeState(t / "host", false), state);
  // A later run keeps it: pruning takes it for a run, not for a folder
  // that holds none.
  JournalRun();
  ASSERT_EQ(Runs().size(), 3u);
  EXPECT_TRUE(Runs().at(1).unreadable);
}

TEST_F(HostWriterTest, FilesChangedSinceTheRunAreKeptAndListed) {
  JournalRun();
  WriteBytes(t / "host/RESOURCEN/Modelle/Turm.mdl", "the user's tower");
  WriteBytes(t / "host/RESOURCEN/Modelle/Loks/BR218.mdl", "the user's loco");
  WriteBytes(t / "host/RESOURCEN/Neu/Tief/Eigen.txt", "the user's own file");
  fs::remove(t / "host/RESOURCEN/Neu/Tief/Datei 100%.bin");

  const UndoResult undo = Undo();
  EXPECT_EQ(undo.status, 1);
  std::string kept;
  for (const UndoKept& k : undo.kept) kept += k.path + ": " + k.reason + "\n";
  EXPECT_EQ(kept,
            "Modelle\\Turm.mdl: changed since the run\n"
            "Modelle\\Loks\\BR218.mdl: changed since the run\n"
            "Neu\\Tief: holds files added since the run\n");
  EXPECT_EQ(ReadBytes(t / "host/RESOURCEN/Index.ini"), "[A]\r\nx=1\r\n");
  EXPECT_FALSE(Exists(t / "host/RESOURCEN/Neu/Liste.txt"));
  EXPECT_EQ(ReadBytes(t / "host/RESOURCEN/Modelle/Turm.mdl"), "the user's tower");
}

TEST_F(HostWriterTest, AKilledRunIsNamedAndUndone) {
  // Killed after its changes, with a copy and a save under way.
  JournalRun(true, false);
  WriteBytes(t / "host/RESOURCEN/Modelle/~zvt0badf00d.tmp", "half a copy");
  WriteBytes(t / "host/RESOURCEN/Neu/Tief/~zvt12345678.tmp", "half a save");
  RunRecord interrupted;
  ASSERT_TRUE(FindInterruptedRun(root, Host(""), interrupted));
  EXPECT_GE(interrupted.lastWritten, interrupted.started);
  UndoResult undo = Undo();
  EXPECT_EQ(undo.status, 0);
  EXPECT_EQ(undo.temporariesRemoved, 2);
  EXPECT_EQ(TreeState(t / "host", false), original);
  EXPECT_FALSE(FindInterruptedRun(root, Host(""), interrupted));

  // Killed between writing a change's line and making the change: one new
  // file and one replacement announced, neither made, the last line cut and
  // followed by the manifest's unwritten rest (a hole, or zero bytes).
  std::string killed;
  {
    Journal journal;
    std::string error;
    ASSERT_TRUE(journal.Begin({root, Host(""), Package(""), "1.2.3"}, error)) << error;
    killed = journal.folder() + "/manifest.txt";
    JournalEntry created{ChangeKind::FileCreated, "Modelle\\Neu.mdl", DigestOf("new"), {}, 0, {}};
    JournalEntry replaced{ChangeKind::FileReplaced, "Modelle\\Turm.mdl", DigestOf("new tower"),
                          DigestOf("old tower"), 0640, {}};
    ASSERT_TRUE(journal.Record(created));
    ASSERT_TRUE(journal.KeepOldBytes(Host("Modelle\\Turm.mdl"), replaced.oldBytes));
    ASSERT_TRUE(journal.Record(replaced));
  }
  WriteBytes(killed, ReadBytes(killed) + "file-cre" + std::string(4096, '\0'));
  fs::resize_file(platform::NativePath(killed), fs::file_size(platform::NativePath(killed)) + (std::uintmax_t{1} << 19));
  ASSERT_TRUE(FindInterruptedRun(root, Host(""), interrupted));
  EXPECT_EQ(interrupted.Count(ChangeKind::FileCreated) + interrupted.Count(ChangeKind::FileReplaced), 2);
  undo = Undo();
  EXPECT_EQ(undo.status, 0);
  EXPECT_EQ(undo.filesRemoved + undo.filesRestored, 0);
  EXPECT_EQ(TreeState(t / "host", false), original);
  EXPECT_EQ(Undo().status, 2);  // the undone mark is read
  EXPECT_EQ(Runs().at(0).state, RunState::Undone);

  // A run the user stopped is no interrupted run, nor a completed one; it
  // is undone as either is.
  JournalRun([this](HostWriter& w) {
    const Outcomes o{w.CopyIn(Package("Modelle\\Loks\\BR218.mdl"), Host("Modelle\\BR218.mdl"), false).outcome};
    w.RunDone(true);
    return o;
  });
  EXPECT_FALSE(FindInterruptedRun(root, Host(""), interrupted));
  EXPECT_EQ(Runs().at(0).state, RunState::Stopped);
  EXPECT_EQ(Undo().status, 0);
  EXPECT_EQ(TreeState(t / "host", false), original);
}

// An undo that does not end leaves the run for the next one, and says so;
// a journal that has lost its folder or recorded nothing keeps no run.
TEST_F(HostWriterTest, WhatAnUndoCannotFinishIsLeftForTheNext) {
  JournalRun();
#ifndef _WIN32
  // A journal the user may not write: refused before any change, as an
  // undo it could not note would later be taken for none.
  if (::getuid() == 0) {
    const auto before = TreeState(t / "host", false);
    EXPECT_EXIT(
        {
          if (::lchown(fs::path(t.path()).c_str(), 65534, 65534) != 0) std::_Exit(3);
          for (const auto& e : fs::recursive_directory_iterator(t / "host"))
            if (::lchown(e.path().c_str(), 65534, 65534) != 0) std::_Exit(3);
          if (::setgid(65534) != 0 || ::setuid(65534) != 0) std::_Exit(3);
          const UndoResult refused = Undo();
          std::_Exit(!refused.journalUnwritable ? 4 : refused.status != 2 ? 5 : TreeState(t / "host", false) != before ? 6 : 0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(Runs().at(0).state, RunState::Completed);
  }
#endif
  const std::string manifest = platform::NativePath(Runs().at(0).folder + "\\manifest.txt");
  const std::string whole = ReadBytes(manifest);
  RunRecord run;
  // Killed while it undid: named, listed, and finished by the next undo.
  WriteBytes(manifest, whole + "undoing\t2026-12-07T10:00:00Z\n");
  ASSERT_TRUE(FindInterruptedRun(root, Host(""), run));
  EXPECT_EQ(run.state, RunState::PartlyUndone);
  // A last line cut short (a full disk): the undo's mark is read all the same.
  WriteBytes(manifest, whole.substr(0, whole.size() - 5));
#ifndef _WIN32
  // No room for a copy of the old bytes (a file size limit stands in for a
  // full disk): they go back all the same, as the journal keeps the old
  // files under a second name. The limit also keeps the undo's mark out (a
  // full disk leaves the journal its reserve for it): listed, and the run
  // is no undone one until the next undo notes it.
  struct rlimit limit;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
  struct rlimit small = limit;
  small.rlim_cur = 4;
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const UndoResult partly = Undo();
  setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(partly.status, 1);
  ASSERT_EQ(partly.kept.size(), 1u);
  EXPECT_EQ(partly.kept[0].reason, "the journal cannot mark the run as undone");
  EXPECT_EQ(TreeState(t / "host", false), original);
  EXPECT_NE(Runs().at(0).state, RunState::Undone);
#else
  // A file another program holds open without sharing: not one changed
  // since, but one to look at again.
  {
    const HANDLE held = ::CreateFileA(Host("Neu\\Liste.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const UndoResult partly = Undo();
    ::CloseHandle(held);
    EXPECT_TRUE(partly.unfinished);
    ASSERT_FALSE(partly.kept.empty());
    EXPECT_EQ(partly.kept[0].path + ": " + partly.kept[0].reason, "Neu\\Liste.txt: cannot be read now");
    EXPECT_NE(Runs().at(0).state, RunState::Undone);
  }
#endif
  // A stop asked for between two changes (Ctrl-C) ends the undo there,
  // among the files as among the folders at the end.
  RunRecord recorded;
  ASSERT_TRUE(ReadRun(Runs().at(0).folder, recorded, true));
  // (Each change is one step, each folder the run made a second one.)
  const size_t steps = recorded.entries.size() + static_cast<size_t>(recorded.Count(ChangeKind::FolderCreated));
  ASSERT_GT(steps, recorded.entries.size());
  for (size_t stopAt = 2; stopAt <= steps; ++stopAt) {
    size_t asked = 0;
    const UndoResult stopped = UndoLatestRun(root, Host(""), [&] { return ++asked >= stopAt; });
    EXPECT_TRUE(stopped.unfinished) << stopAt;
    EXPECT_EQ(stopped.status, 1);
    ASSERT_FALSE(stopped.kept.empty());
    EXPECT_EQ(stopped.kept.back().reason, "the undo was stopped; the next undo goes on with it");
    EXPECT_EQ(Runs().at(0).state, RunState::PartlyUndone);
  }
  const UndoResult undo = Undo();
  EXPECT_EQ(undo.status, 0) << (undo.kept.empty() ? "" : undo.kept[0].path + ": " + undo.kept[0].reason);
  EXPECT_EQ(TreeState(t / "host", false), original);
  EXPECT_EQ(Runs().at(0).state, RunState::Undone);

  std::string error;
#ifndef _WIN32
  // Its folder removed under a run (Windows keeps the folder of an open
  // file): nothing is recorded after the next sync, so nothing more is
  // changed.
  {
    Journal journal;
    ASSERT_TRUE(journal.Begin({root, Host(""), Package(""), "1.2.3"}, error)) << error;
    fs::remove_all(fs::path(platform::NativePath(journal.folder())));
    const JournalEntry entry{ChangeKind::FolderCreated, "Neu", {}, {}, 0, {}};
    int recorded = 0;
    while (recorded <= Journal::kSyncLines && journal.Record(entry)) ++recorded;
    EXPECT_EQ(recorded, Journal::kSyncLines);
  }
#endif
  // A run that recorded nothing, or only changes that failed, leaves nothing.
  for (const bool fails : {false, true}) {
    Journal idle;
    ASSERT_TRUE(idle.Begin({root, Host(""), Package(""), "1.2.3"}, error)) << error;
    if (fails) {
      ASSERT_TRUE(idle.Record({ChangeKind::FileCreated, "Neu.mdl", DigestOf("new"), {}, 0, {}}));
      ASSERT_TRUE(idle.RecordFailed("Neu.mdl"));
    }
    EXPECT_TRUE(idle.Finish());
    EXPECT_EQ(Runs().size(), 1u);
  }

  // A sparse file's holes are hashed without being read, alike as the run
  // copies the file and as undo finds it: the copy is taken back.
  WriteBytes(t / "pkg/RESOURCEN/Modelle/Loch.dat", "data");
  fs::resize_file(t / "pkg/RESOURCEN/Modelle/Loch.dat", 8 << 20);
  JournalRun([&](HostWriter& w) {
    return Outcomes{w.CopyIn(Package("Modelle\\Loch.dat"), Host("Modelle\\Loch.dat"), false).outcome};
  });
  FileDigest sparse;
  ASSERT_TRUE(DigestFile(Host("Modelle\\Loch.dat"), sparse));
  EXPECT_EQ(sparse.size, 8u << 20);
  EXPECT_EQ(Undo().filesRemoved, 1);
  EXPECT_FALSE(Exists(t / "host/RESOURCEN/Modelle/Loch.dat"));

  // A file replaced by the same bytes gets its time back.
  const fs::path same = t / "host/RESOURCEN/Modelle/Haus.mdl";
  const fs::file_time_type before = fs::last_write_time(same);
  WriteBytes(t / "pkg/RESOURCEN/Modelle/Haus.mdl", "house");
  JournalRun([&](HostWriter& w) {
    return Outcomes{w.CopyIn(Package("Modelle\\Haus.mdl"), Host("Modelle\\Haus.mdl"), true).outcome};
  });
  EXPECT_NE(fs::last_write_time(same), before);
  EXPECT_EQ(Undo().filesRestored, 1);
  EXPECT_EQ(fs::last_write_time(same), before);
}

// The end mark is written before the view hears of the end, which may wait
// on the user; and a host is one however its folder is spelled.
TEST_F(HostWriterTest, TheEndMarkComesBeforeTheEndIsShown) {
  struct View : UpdateView {
    std::function<void()> ended;
    void RunEnded(const RunReport&) override { ended(); }
  } view;
  RunState seen = RunState::Interrupted;
  view.ended = [&] { seen = Runs().at(0).state; };
  RunRequest request;
  request.source = ProgramPath(t, "pkg/RESOURCEN");
  request.target = ProgramPath(t, "host/RESOURCEN");
  request.journalRoot = root;
  RunReport report;
  std::string error;
  ASSERT_TRUE(RunWithJournal(request, view, report, error)) << error;
  EXPECT_EQ(seen, RunState::Completed);
#ifdef _WIN32
  std::string slashed = request.target;
  std::replace(slashed.begin(), slashed.end(), '\\', '/');
  EXPECT_EQ(HostJournalFolder(root, slashed + "/"), HostJournalFolder(root, request.target));
#endif
}

TEST_F(HostWriterTest, CopiesFromSeveralThreadsAreAllJournaled) {
  constexpr int kThreads = 4, kFiles = 25;
  for (int i = 0; i < kThreads * kFiles; ++i)
    WriteBytes(t / ("pkg/RESOURCEN/Viele/" + std::to_string(i)), "file " + std::to_string(i));
  JournalRun([&](HostWriter& w) {
    w.MakeFolders(Host("Viele"));
    std::vector<std::thread> threads;
    for (int n = 0; n < kThreads; ++n)
      threads.emplace_back([&, n] {
        for (int i = n * kFiles; i < (n + 1) * kFiles; ++i) {
          const std::string name = "Viele\\" + std::to_string(i);
          EXPECT_EQ(w.CopyIn(Package(name), Host(name), false).outcome, WriteOutcome::Created);
        }
      });
    for (std::thread& th : threads) th.join();
    return Outcomes{};
  });
  EXPECT_EQ(Runs().at(0).Count(ChangeKind::FileCreated), kThreads * kFiles);
  EXPECT_EQ(Undo().status, 0);
  EXPECT_EQ(TreeState(t / "host", false), original);
}

TEST(UnifiedDiffTest, HunksWithContext) {
  struct Case {
    std::string before, after, diff;
  };
  const std::vector<Case> cases = {
      {"a\nb\n", "a\nb\n", ""},
      {"", "x\n", "--- f\n+++ f\n@@ -0,0 +1,1 @@\n+x\n"},
      {"1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n", "1\nzwei\n3\n4\n5\n6\n7\n8\n9\n10\n11\n",
       "--- f\n+++ f\n@@ -1,5 +1,5 @@\n 1\n-2\n+zwei\n 3\n 4\n 5\n@@ -9,4 +9,3 @@\n 9\n 10\n 11\n-12\n"},
      {"a\r\nb\r\nc\r\n", "a\r\nc\r\n", "--- f\n+++ f\n@@ -1,3 +1,2 @@\n a\n-b\n c\n"},
      {"a\rb\rc\r", "a\rc\r", "--- f\n+++ f\n@@ -1,3 +1,2 @@\n a\n-b\n c\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(UnifiedDiff(c.before, c.after, "f"), c.diff) << c.before << "->" << c.after;
}

}  // namespace
}  // namespace zet::test
