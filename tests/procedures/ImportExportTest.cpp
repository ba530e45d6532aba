// The import, clean-up and export procedures end to end on the headless
// backend, with real files in a temporary data folder: realistic browser
// files from the generator, every kind of bad input, cancelling half-way
// and the round trip export -> import.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/AppTestSupport.h"
#include "app/DataFiles.h"
#include "app/Globals.h"
#include "app/StartUp.h"
#include "procedures/BatchProgress.h"
#include "procedures/CleanUp.h"
#include "procedures/ExportBookmarks.h"
#include "procedures/ExportProcess.h"
#include "procedures/ImportBookmarks.h"
#include "procedures/ImportProcess.h"
#include "runtime/files/DataFile.h"
#include "runtime/system/Clock.h"
#include "runtime/text/FixedText.h"
#include "runtime/ui/EventLoop.h"
#include "support/BatchClock.h"
#include "support/ScopedFileSystem.h"
#include "support/StoredBookmarks.h"
#include "support/WindowTestFixture.h"
#include "testing/FaultyFileSystem.h"
#include "tests/runtime/SqliteHookVfs.h"
#include "window/Globals.h"

namespace marlinden {
namespace {

using namespace std::chrono_literals;
using Store = std::map<std::string, std::string>;  // URL -> description

// One line of n links to http://m.example/0 ... n-1.
std::string ManyLinks(int n) {
  std::string line;
  for (int i = 0; i < n; ++i) line += "<DT><A HREF=\"http://m.example/" + std::to_string(i) + "\">M</A>";
  return line;
}

// The addresses http://m.example/0 ... n-1 with their description.
Store FirstLinks(std::int64_t n) {
  Store store;
  for (std::int64_t i = 0; i < n; ++i) store["http://m.example/" + std::to_string(i)] = "M";
  return store;
}

class ImportExportTest : public runtime::ui::testing::WindowFixture<> {
 protected:
  // Runs body as the program's main procedure and waits for its end.
  void RunMain(const std::function<void()>& body) {
    Start([body] { RunProgram(body); });
    ASSERT_TRUE(program->WaitForEnd(60s));
    NewProgram();
  }
  void NewProgram() {
    program.reset();
    program = std::make_unique<runtime::ui::Program>(backend);
  }

  ImportFigures Import(const std::string& path) {
    ImportFigures figures;
    RunMain([&] {
      ImportProcess(path);
      figures = LastImportFigures;
    });
    return figures;
  }

  // Starts the import of path on thread 1 and returns its progress window;
  // figures gets the import's figures when it ends.
  runtime::ui::WindowId StartImport(const std::string& path, ImportFigures& figures) {
    Start([&figures, path] {
      RunProgram([&figures, path] {
        ImportProcess(path);
        figures = LastImportFigures;
      });
    });
    return driver.WaitForWindow(1);
  }

  std::uint8_t Export(const std::string& target) {
    std::uint8_t response = 0;
    RunMain([&] {
      ExportProcess(target);
      response = ResponseCode;
    });
    return response;
  }

  // Every bookmark, read through a station of its own.
  Store ReadStore() {
    Store store;
    auto file = runtime::DataFile::Make(runtime::Driver::Keyed, BookmarkLayout(), "MARLINDEN");
    if (file->Open(runtime::AccessRead | runtime::ShareDenyNone) != 0) return store;
    (void)file->SetOrder(0);
    while (file->Next() == 0) {
      const auto url = std::string(file->Record().Field(WebUrl).ClippedText());
      EXPECT_EQ(store.count(url), 0u) << "twice: " << url;
      store[url] = std::string(file->Record().Field(WebDescription).ClippedText());
    }
    (void)file->Close();
    return store;
  }

  // One timer event of window: the clock moves on, and an event of no
  // meaning wakes the window's loop, which then finds its timer due.
  void Tick(testing_support::BatchClock& clock, runtime::ui::WindowId window) {
    clock.Advance(10'000);
    driver.Post(window, runtime::ui::ProgramEvent(1));
    ASSERT_TRUE(driver.WaitIdle(1));
  }

  std::string Path(const std::string& name) const { return cwd.Dir().File(name); }

  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }

  // A generated browser file of n links and the figures it must give.
  std::map<std::string, long> Generate(const std::string& name, int n) {
    const std::string stats = Path(name + ".stats");
    const std::string command = std::string("python3 ") + MARLINDEN_BOOKMARK_GENERATOR + " " + std::to_string(n) +
                                " -o " + Path(name) + " --stats " + stats + " 2>/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
    std::ifstream in(stats);
    std::stringstream text;
    text << in.rdbuf();
    std::map<std::string, long> figures;
    for (const char* key :
         {"links", "lines", "distinct_urls_nocase", "long_lines", "distinct_kept_nocase", "not_web_links"}) {
      const std::string json = text.str();
      const std::size_t at = json.find(std::string("\"") + key + "\": ");
      if (at != std::string::npos) figures[key] = std::stol(json.substr(at + std::string(key).size() + 4));
    }
    return figures;
  }

  std::string ReadFile(const std::string& name) {
    std::ifstream in(Path(name), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  testing_support::TempCurrentDirectory cwd;
};

TEST_F(ImportExportTest, ImportOfABrowserFileGivesTheGeneratorsFigures) {
  auto expected = Generate("bookmarks.html", 3000);
  ASSERT_GT(expected["long_lines"], 0);
  const ImportFigures figures = Import(Path("bookmarks.html"));
  EXPECT_EQ(figures.lines, expected["lines"]);
  EXPECT_EQ(figures.links, expected["links"]);
  EXPECT_EQ(figures.added, expected["distinct_kept_nocase"]);
  EXPECT_EQ(figures.notWeb, expected["not_web_links"]);
  EXPECT_EQ(figures.added + figures.skipped + figures.notWeb + figures.tooLong, figures.links);
  EXPECT_EQ(figures.removed, 0) << "only web and FTP addresses are added, so the clean-up finds nothing";
  const Store store = ReadStore();
  EXPECT_EQ(static_cast<std::int64_t>(store.size()), figures.added) << "every bookmark counted as added is stored";
  for (const auto& [url, description] : store) EXPECT_TRUE(KeepsAddress(url)) << url;
  // A second import finds every web and FTP address stored already.
  const ImportFigures again = Import(Path("bookmarks.html"));
  EXPECT_EQ(again.added, 0);
  EXPECT_EQ(again.skipped, figures.added + figures.skipped);
  EXPECT_EQ(ReadStore(), store);
}

TEST_F(ImportExportTest, ImportReadsRealWorldLineShapes) {
  Write(
      "quirks.htm",
      "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n<TITLE>Bookmarks</TITLE>\r\n<H1>Bookmarks</H1>\r\n"
      "<DL><p>\r\n<DT><H3>Folder &amp; more</H3>\r\n"
      "<DT><A ADD_DATE=\"1\" href=\"https://a.example/?x=1&amp;y=2\" ICON=\"data:" +
          std::string(5000, 'Q') +
          "\">Caf\xC3\xA9 &lt;b&gt; it&#39;s</a>\r\n"
          "<dt><a href='HTTPS://A.EXAMPLE/?X=1&amp;Y=2'>same, other case</a><DT><A HREF=\"ftp://f.example/\">F</A>\r\n"
          "<DT><A HREF=\"mailto:x@y.example\">mail</A>\r\n<DD>just a description\r\n"
          "<DT><A HREF=\"https://long.example/" +
          std::string(300, 'p') + "\">too long</A>\r\n<DT><A HREF=\"https://fits.example/" + std::string(234, 'p') +
          "\">" + std::string(240, 'd') + "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC</A>\r\n</DL><p>\r\n");
  const ImportFigures figures = Import(Path("quirks.htm"));
  EXPECT_EQ(figures.links, 6);
  EXPECT_EQ(figures.skipped, 1);
  EXPECT_EQ(figures.notWeb, 1) << "the mail address";
  EXPECT_EQ(figures.tooLong, 1) << "a cut address would be a broken link";
  EXPECT_EQ(figures.firstTooLong, (std::vector<std::string>{"https://long.example/" + std::string(300, 'p')}));
  EXPECT_EQ(figures.removed, 0);
  const Store store = ReadStore();
  const std::string fitting = "https://fits.example/" + std::string(234, 'p');  // exactly 255 bytes
  // 240 + three whole euro signs fit in 250 bytes; the fourth is left out.
  const std::string longTitle = std::string(240, 'd') + "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC";
  EXPECT_EQ(
      store,
      (Store{{"https://a.example/?x=1&y=2", "Caf\xC3\xA9 <b> it's"}, {"ftp://f.example/", "F"}, {fitting, longTitle}}));
}

TEST_F(ImportExportTest, BadInputImportsNothingAndNeverEndsTheProgram) {
  // One bookmark that must stay as it is.
  Write("one.htm", "<DT><A HREF=\"https://kept.example/\">Kept</A>\n");
  ASSERT_EQ(Import(Path("one.htm")).added, 1);
  std::filesystem::create_directory(Path("folder.htm"));
  std::string binary;
  for (int i = 0; i < 70000; ++i) binary += static_cast<char>((i * 7919 + 13) % 256);
  Write("empty.htm", "");
  Write("nolinks.htm", "<TITLE>Bookmarks</TITLE>\n<H1>Nothing</H1>\n<DL><p>\n</DL><p>\n");
  Write("binary.bin", binary);
  Write("nul.htm", std::string("<DT>\0\0\0<A\0HREF=\"x\">\0</A>\n\0\0\n", 24));
  Write("badutf8.htm", "\xFF\xFE<DT>\xC3(\xA0\xA1 header\n");
  Write("unrelated.json", "{\"name\": \"not bookmarks\", \"href\": \"https://x.example/\", \"list\": [1, 2]}\n");
  Write("mailonly.htm", "<DT><A HREF=\"mailto:a@b.example\">Mail</A>\n");
  Write("plain.txt", "Some notes about https://x.example/ and www.y.example\nnothing else\n");
  ASSERT_EQ(::mkfifo(Path("fifo.htm").c_str(), 0600), 0);
  const struct {
    std::string name;
    std::string text;  // what the one message shown says, in part ("": no message)
  } cases[] = {
      {"empty.htm", "holds no bookmarks"},
      {"nolinks.htm", "holds no bookmarks"},
      {"binary.bin", "holds no bookmarks"},
      {"nul.htm", "holds no bookmarks"},
      {"mailonly.htm", ""},  // one link, to an address that is neither web nor FTP: left out, and counted
      {"badutf8.htm", "holds no bookmarks"},
      {"unrelated.json", "holds no bookmarks"},
      {"plain.txt", "holds no bookmarks"},
      {"fifo.htm", "is not a regular file"},
      {"/dev/null", "is not a regular file"},
      {"missing.htm", "does not exist"},
      {"", "No bookmark file has been named."},
      {"folder.htm", "is a folder"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    backend.MessageBoxes().Reset();
    if (!c.text.empty()) backend.MessageBoxes().Script(runtime::ui::ButtonOk);
    const ImportFigures figures = Import(c.name.empty() || c.name.starts_with("/") ? c.name : Path(c.name));
    EXPECT_EQ(figures.added, 0);
    EXPECT_EQ(figures.removed, 0) << "nothing changes, not even through the clean-up";
    const auto boxes = backend.MessageBoxRequests();
    ASSERT_EQ(boxes.size(), c.text.empty() ? 0u : 1u);
    if (!c.text.empty()) {
      EXPECT_EQ(boxes[0].caption, "Import Bookmarks");
      EXPECT_NE(boxes[0].text.find(c.text), std::string::npos) << boxes[0].text;
    }
    EXPECT_EQ(ReadStore(), (Store{{"https://kept.example/", "Kept"}}));
  }
  EXPECT_FALSE(std::filesystem::exists(Path("missing.htm")));
}

TEST_F(ImportExportTest, AFiftyMegabyteFileOnOneLineGivesEveryLink) {
  {
    std::ofstream out(Path("oneline.htm"), std::ios::binary);
    const std::string icon(50'000, 'A');
    for (int i = 0; i < 1000; ++i) {
      out << "<DT><A HREF=\"https://one.example/" << i << "\" ICON=\"data:image/png;base64," << icon << "\">Link " << i
          << "</A>";
    }
  }
  ASSERT_GT(std::filesystem::file_size(Path("oneline.htm")), 50'000'000u);
  const ImportFigures figures = Import(Path("oneline.htm"));
  EXPECT_EQ(figures.lines, 1);
  EXPECT_EQ(figures.added, 1000);
  const Store store = ReadStore();
  EXPECT_EQ(store.size(), 1000u);
  EXPECT_EQ(store.at("https://one.example/999"), "Link 999");
}

TEST_F(ImportExportTest, EscapeHalfWayCancelsAndKeepsWhatWasImported) {
  testing_support::BatchClock clock;
  auto timeSource = std::make_unique<runtime::ScopedTimeSource>(clock);
  Write("many.htm", ManyLinks(3 * kLinksPerTurn));
  ImportFigures figures;
  const runtime::ui::WindowId progress = StartImport(Path("many.htm"), figures);
  Tick(clock, progress);
  // Cancel has the keyboard, so Escape cancels as a click would.
  std::int32_t focus = 0;
  driver.WithWindow(progress, [&focus](runtime::ui::Window& window) { focus = window.Focus(); });
  EXPECT_EQ(focus, ProgressCancel);
  driver.PressKey(progress, ProgressCancel, runtime::ui::KeyCode::Esc);
  ASSERT_TRUE(driver.WaitForClose(progress));
  timeSource.reset();  // the clean-up that follows runs on the system's clock
  ASSERT_TRUE(program->WaitForEnd(30s));
  NewProgram();
  EXPECT_EQ(figures.added, kLinksPerTurn);
  EXPECT_EQ(ReadStore().size(), static_cast<std::size_t>(kLinksPerTurn));
  EXPECT_TRUE(figures.cancelled) << "told as cancelled, not as complete";
  EXPECT_EQ(figures.failure, "");
  EXPECT_NE(ImportSummary(figures).find("stopped early: cancelled\n"), std::string::npos);
}

TEST_F(ImportExportTest, ExportThenImportIntoAnEmptyFolderGivesEveryBookmarkBack) {
  Generate("source.html", 1500);
  (void)Import(Path("source.html"));
  const Store original = ReadStore();
  ASSERT_GT(original.size(), 1000u);
  EXPECT_EQ(Export(Path("Exported.HTM")), ResponseCompleted);
  const std::string text = ReadFile("Exported.HTM");
  EXPECT_EQ(text.rfind("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<META", 0), 0u);
  EXPECT_TRUE(text.ends_with("\n</DL><p>\n"));
  EXPECT_FALSE(std::filesystem::exists(ExportTemporaryPath(Path("Exported.HTM"))));

  testing_support::TempCurrentDirectory other;
  std::filesystem::copy_file(cwd.Dir().File("Exported.HTM"), other.Dir().File("Exported.HTM"));
  const ImportFigures figures = Import(other.Dir().File("Exported.HTM"));
  EXPECT_EQ(figures.removed, 0);
  EXPECT_EQ(ReadStore(), original);
}

TEST_F(ImportExportTest, ExportOfAnEmptyFileWritesHeaderAndClosingLine) {
  backend.MessageBoxes().Script(runtime::ui::ButtonOk);  // "No Records"
  EXPECT_EQ(Export(Path("empty.htm")), ResponseCancelled);
  EXPECT_EQ(ReadFile("empty.htm"),
            "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
            "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
            "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n</DL><p>\n");
}

TEST_F(ImportExportTest, ExportRefusesBadTargetsAndKeepsThePreviousFile) {
  Write("one.htm", "<DT><A HREF=\"https://kept.example/\">Kept</A>\n");
  (void)Import(Path("one.htm"));
  std::filesystem::create_directory(Path("locked"));
  Write("locked/previous.htm", "previous contents\n");
  std::filesystem::permissions(Path("locked"), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  const bool privileged = ::access(Path("locked").c_str(), W_OK) == 0;
  struct Case {
    std::string target;
    int boxes;
  };
  std::vector<Case> cases = {
      {"", 1},
      {Path("no-such-folder/x.htm"), 1},
      {Path("locked"), 1},
      {Path("MARLINDEN.db"), 1},
      {Path("marlinden.INI"), 1},
  };
  if (!privileged) cases.push_back({Path("locked/previous.htm"), 1});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    backend.MessageBoxes().Reset();
    for (int i = 0; i < c.boxes; ++i) backend.MessageBoxes().Script(runtime::ui::ButtonOk);
    EXPECT_EQ(Export(c.target), ResponseCancelled);
    EXPECT_EQ(static_cast<int>(backend.MessageBoxRequests().size()), c.boxes);
  }
  EXPECT_EQ(ReadFile("locked/previous.htm"), "previous contents\n");
  EXPECT_EQ(ReadStore(), (Store{{"https://kept.example/", "Kept"}}));
  std::filesystem::permissions(Path("locked"), std::filesystem::perms::owner_all);
}

TEST_F(ImportExportTest, CancelledExportIsWellFormedAndReplacesTheTarget) {
  std::string links;
  for (int i = 0; i < 200; ++i) links += "<DT><A HREF=\"https://c.example/" + std::to_string(i) + "\">C</A>\n";
  Write("links.htm", links);
  (void)Import(Path("links.htm"));
  Write("out.htm", "previous contents\n");
  testing_support::BatchClock clock;
  runtime::ScopedTimeSource timeSource(clock);
  Start([&] { RunProgram([&] { ExportProcess(Path("out.htm")); }); });
  const runtime::ui::WindowId progress = driver.WaitForWindow(1);
  Tick(clock, progress);
  Tick(clock, progress);
  EXPECT_EQ(ReadFile("out.htm"), "previous contents\n");  // replaced only at the end
  driver.Click(progress, ProgressCancel);
  ASSERT_TRUE(program->WaitForEnd(10s));
  NewProgram();
  const std::string text = ReadFile("out.htm");
  const std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  EXPECT_GT(lines, 6u);
  EXPECT_LT(lines, 206u);
  EXPECT_TRUE(text.ends_with("</A>\n</DL><p>\n"));
}

// A disk that fills or fails while the export writes: the run ends with a
// message, the file that was there stays as it was and the new one is gone.
TEST_F(ImportExportTest, FailedWritesEndTheExportAndKeepThePreviousFile) {
  std::string links;
  for (int i = 0; i < 2000; ++i) links += "<DT><A HREF=\"https://c.example/" + std::to_string(i) + "\">C</A>\n";
  Write("links.htm", links);
  (void)Import(Path("links.htm"));
  struct Case {
    const char* what;
    runtime::FileCall call;
    int error;
    int after;
    runtime::FaultRepeat repeat;
    std::string message;  // the start of the first message's text
  };
  const std::string target = Path("out.htm");
  const Case cases[] = {
      {"the disk fills half-way", runtime::FileCall::Write, ENOSPC, 0, runtime::FaultRepeat::Always,
       "An error was experienced during the creation of a record. Error: No space left on device"},
      {"the closing lines cannot be written", runtime::FileCall::Write, ENOSPC, 1, runtime::FaultRepeat::Once,
       "The export could not be written to " + target + ": No space left on device."},
      {"the lines do not reach the disk", runtime::FileCall::Sync, EIO, 0, runtime::FaultRepeat::Once,
       "The export could not be written to " + target + ": Input/output error."},
      {"the new file cannot replace the old", runtime::FileCall::Rename, EIO, 0, runtime::FaultRepeat::Once,
       "The export could not replace " + target + ": Input/output error."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Write("out.htm", "previous contents\n");
    backend.MessageBoxes().Reset();
    backend.MessageBoxes().Script(runtime::ui::ButtonOk);
    runtime::FaultyFileSystem faulty;
    {
      testing_support::ScopedFileSystem use(faulty);
      faulty.Fail(c.call, c.error, c.after, c.repeat);
      EXPECT_EQ(Export(target), ResponseCancelled);
    }
    EXPECT_TRUE(LastExportFailed);
    ASSERT_GE(backend.MessageBoxRequests().size(), 1u);
    EXPECT_TRUE(backend.MessageBoxRequests()[0].text.starts_with(c.message)) << backend.MessageBoxRequests()[0].text;
    EXPECT_EQ(ReadFile("out.htm"), "previous contents\n");
    EXPECT_FALSE(std::filesystem::exists(ExportTemporaryPath(target)));
  }
  backend.MessageBoxes().Reset();
  EXPECT_EQ(Export(target), ResponseCompleted);
  EXPECT_EQ(LastExportLines, 2000);
}

TEST_F(ImportExportTest, ImportWindowLetsTheUserCorrectABadName) {
  Write("good.htm", "<DT><A HREF=\"https://good.example/\">Good</A>\n");
  backend.MessageBoxes().Script(runtime::ui::ButtonOk);
  Start([] { RunProgram([] { ImportBookmarks(); }); });
  const runtime::ui::WindowId window = driver.WaitForWindow(1);
  driver.Type(window, ImportEntry, Path("typo.htm"));
  driver.Click(window, ImportOk);
  ASSERT_TRUE(driver.WaitIdle(1));
  ASSERT_EQ(backend.MessageBoxRequests().size(), 1u);
  EXPECT_EQ(backend.MessageBoxRequests()[0].text, "The file " + Path("typo.htm") + " does not exist.");
  EXPECT_FALSE(std::filesystem::exists(Path("typo.htm")));
  driver.Type(window, ImportEntry, Path("good.htm"));
  backend.MessageBoxes().Script(runtime::ui::ButtonOk);
  driver.Click(window, ImportOk);
  ASSERT_TRUE(program->WaitForEnd(30s));
  NewProgram();
  EXPECT_EQ(ReadStore(), (Store{{"https://good.example/", "Good"}}));
  // The window ends with what the import did, as the companion prints it.
  ASSERT_EQ(backend.MessageBoxRequests().size(), 2u);
  const runtime::ui::MessageBoxRequest summary = backend.MessageBoxRequests()[1];
  EXPECT_EQ(summary.caption, "Import Bookmarks");
  EXPECT_EQ(summary.icon, runtime::ui::Icon::Asterisk);
  EXPECT_EQ(summary.text,
            "The import is complete.\n\nlines read: 1\nlinks read: 1\nbookmarks added: 1\n"
            "skipped, already stored: 0\nleft out, not a web or FTP address: 0\n"
            "left out, address too long: 0\nremoved by the clean-up: 0\n");
}

TEST_F(ImportExportTest, SaveAsLookupKeepsTheCaseAndExportsWhereOkWasPressed) {
  Write("one.htm", "<DT><A HREF=\"https://kept.example/\">Kept</A>\n");
  (void)Import(Path("one.htm"));
  backend.ScriptFileChoice(Path("Mixed/Case"));
  std::filesystem::create_directory(Path("Mixed"));
  Start([] { RunProgram([] { ExportBookmarks(); }); });
  const runtime::ui::WindowId window = driver.WaitForWindow(1);
  driver.Click(window, ExportLookup);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(driver.Text(window, ExportEntry), Path("Mixed/Case.html"));
  driver.Click(window, ExportOk);
  ASSERT_TRUE(program->WaitForEnd(30s));
  NewProgram();
  EXPECT_NE(ReadFile("Mixed/Case.html").find("<DT><A HREF=\"https://kept.example/\">Kept</A>\n"), std::string::npos);
}

TEST_F(ImportExportTest, ExportRunsOnAThreadOfItsOwnWhileTheCallerGoesOn) {
  Write("one.htm", "<DT><A HREF=\"https://kept.example/\">Kept</A>\n");
  (void)Import(Path("one.htm"));
  std::int32_t exportThread = 0;
  Start([&] {
    RunProgram([&] {
      exportThread = StartExportBookmarks();
      // The caller's own window stays usable meanwhile.
      auto own = runtime::ui::Window::Open(runtime::ui::testing::Form("main", 1));
      runtime::ui::RunEventLoop(*own, [](const runtime::ui::Event&) { return runtime::ui::LoopAction::CarryOn; });
    });
  });
  const runtime::ui::WindowId main = driver.WaitForWindow(1);
  ASSERT_TRUE(driver.WaitIdle(1));
  std::int32_t thread = 0;
  {
    runtime::LockedSection locked;
    thread = exportThread;
  }
  ASSERT_GT(thread, 1);
  const runtime::ui::WindowId saveAs = driver.WaitForWindow(thread);
  driver.Type(main, 1, "typed meanwhile");
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(driver.Text(main, 1), "typed meanwhile");
  driver.Type(saveAs, ExportEntry, Path("threaded.htm"));
  driver.Click(saveAs, ExportOk);
  ASSERT_TRUE(driver.WaitForThreadEnd(thread));
  driver.Post(main, runtime::ui::EventCode::CloseWindow);
  ASSERT_TRUE(program->WaitForEnd(30s));
  NewProgram();
  EXPECT_NE(ReadFile("threaded.htm").find("https://kept.example/"), std::string::npos);
}

TEST_F(ImportExportTest, AnImportKilledHalfWayLeavesWholeRecordsAndARerunCompletesIt) {
  auto expected = Generate("big.html", 30000);
  const std::string command = std::string(MARLINDEN_IMPORT_UNTIL_KILLED) + " " + Path("big.html") + " 9";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGKILL)) << status;
  const Store partial = ReadStore();
  EXPECT_GT(partial.size(), 0u);
  EXPECT_LT(static_cast<long>(partial.size()), expected["distinct_kept_nocase"]);
  for (const auto& [url, description] : partial) EXPECT_FALSE(url.empty());

  const ImportFigures figures = Import(Path("big.html"));
  EXPECT_EQ(static_cast<long>(partial.size()) + figures.added, expected["distinct_kept_nocase"]);
  const Store store = ReadStore();
  EXPECT_EQ(static_cast<std::int64_t>(store.size()), expected["distinct_kept_nocase"]);
  std::set<std::string> folded;
  for (const auto& [url, description] : store) folded.insert(runtime::UpperAscii(url));
  EXPECT_EQ(folded.size(), store.size());
}

TEST_F(ImportExportTest, AFullDiskEndsTheImportAtOnceAndCountsOnlyWhatIsStored) {
  Write("many.htm", ManyLinks(4 * kLinksPerTurn));
  runtime::testing::SqliteHookVfs vfs;
  testing_support::BatchClock clock;
  auto timeSource = std::make_unique<runtime::ScopedTimeSource>(clock);
  ImportFigures figures;
  const runtime::ui::WindowId progress = StartImport(Path("many.htm"), figures);
  Tick(clock, progress);
  Tick(clock, progress);
  vfs.FailWritesAfter(0);
  backend.MessageBoxes().Script(runtime::ui::ButtonOk);
  Tick(clock, progress);
  ASSERT_TRUE(driver.WaitForClose(progress)) << "the first failure ends the run";
  vfs.Heal();
  timeSource.reset();
  ASSERT_TRUE(program->WaitForEnd(30s));
  NewProgram();

  ASSERT_EQ(backend.MessageBoxRequests().size(), 1u) << "one message, no question to try again";
  EXPECT_NE(backend.MessageBoxRequests()[0].text.find("database or disk is full"), std::string::npos)
      << backend.MessageBoxRequests()[0].text;
  EXPECT_FALSE(figures.failure.empty());
  EXPECT_EQ(figures.added, 2 * kLinksPerTurn) << "the batch that failed is not counted";
  EXPECT_EQ(ReadStore(), FirstLinks(figures.added)) << "the batches before the failure stay whole";

  // Once there is room again, a second run completes the import.
  const ImportFigures again = Import(Path("many.htm"));
  EXPECT_TRUE(again.failure.empty());
  EXPECT_EQ(again.added, 2 * kLinksPerTurn);
  EXPECT_EQ(ReadStore(), FirstLinks(4 * kLinksPerTurn));
}

TEST_F(ImportExportTest, AnImportRemovesNothingItDidNotBring) {
  Write("one.htm", "<DT><A HREF=\"https://kept.example/\">Kept</A>\n");
  ASSERT_EQ(Import(Path("one.htm")).added, 1);
  // Rows typed by hand that are neither web nor FTP addresses.
  RunMain([] { testing_support::StoreBookmarks({{"www.example.com", "typed"}, {"mailto:me@example.com", "typed"}}); });
  const Store typed{
      {"https://kept.example/", "Kept"}, {"www.example.com", "typed"}, {"mailto:me@example.com", "typed"}};
  ASSERT_EQ(ReadStore(), typed);

  const ImportFigures nothingNew = Import(Path("one.htm"));
  EXPECT_EQ(nothingNew.added, 0);
  EXPECT_EQ(nothingNew.removed, 0);
  EXPECT_EQ(ReadStore(), typed);

  Write("two.htm", "<DT><A HREF=\"https://new.example/\">New</A>\n<DT><A HREF=\"news:comp.lang\">News</A>\n");
  const ImportFigures some = Import(Path("two.htm"));
  EXPECT_EQ(some.added, 1);
  EXPECT_EQ(some.notWeb, 1);
  EXPECT_EQ(some.removed, 0);
  Store expected = typed;
  expected["https://new.example/"] = "New";
  EXPECT_EQ(ReadStore(), expected);
}

}  // namespace
}  // namespace marlinden
