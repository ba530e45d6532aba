// What the import keeps beside the address and description, end to end on
// the headless backend with real files: folder paths, dates and notes, in
// the bookmark file and the details file together, through every encoding,
// a second import and a kill half-way.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/AppTestSupport.h"
#include "app/BookmarkDetails.h"
#include "app/DataFiles.h"
#include "app/StartUp.h"
#include "procedures/BookmarkReader.h"
#include "procedures/CleanUp.h"
#include "procedures/ExportProcess.h"
#include "procedures/ImportBookmarks.h"
#include "procedures/ImportProcess.h"
#include "runtime/files/DataFile.h"
#include "runtime/text/FixedText.h"
#include "support/ScopedHome.h"
#include "support/StoredBookmarks.h"
#include "support/TempDir.h"
#include "support/WindowTestFixture.h"
#include "window/Globals.h"

namespace marlinden {
namespace {

using namespace std::chrono_literals;

// What the collection holds of one bookmark.
struct Held {
  std::string description;
  std::string notes;
  BookmarkDetails details;
  bool hasDetails = false;

  bool operator==(const Held&) const = default;
};
using Collection = std::map<std::string, Held>;  // by address

std::ostream& operator<<(std::ostream& out, const Held& held) {
  out << "{" << held.description << " | " << held.notes << " | ";
  for (const std::string& name : held.details.folder) out << name << "/";
  return out << " toolbar " << held.details.toolbarDepth << " " << held.details.added << " " << held.details.modified
             << (held.hasDetails ? "" : " no details") << "}";
}

// Everything stored, read through stations of its own.
Collection ReadCollection() {
  std::map<std::int64_t, BookmarkDetails> details;
  auto folders = runtime::DataFile::Make(runtime::Driver::Keyed, BookmarkDetailsLayout(), "FOLDERS");
  if (folders->Open(runtime::AccessRead | runtime::ShareDenyNone) == 0) {
    (void)folders->SetOrder(0);
    while (folders->Next() == 0) {
      runtime::RecordBuffer& record = folders->Record();
      BookmarkDetails& d = details[record.Field(FolNum).Get().AsInteger()];
      d.folder = DecodeFolderPath(record.Field(FolPath).ClippedText());
      d.toolbarDepth = static_cast<std::size_t>(record.Field(FolToolbar).Get().AsInteger());
      d.added = static_cast<std::uint32_t>(record.Field(FolAdded).Get().AsInteger());
      d.modified = static_cast<std::uint32_t>(record.Field(FolModified).Get().AsInteger());
    }
    (void)folders->Close();
  }
  Collection collection;
  auto file = runtime::DataFile::Make(runtime::Driver::Keyed, BookmarkLayout(), "MARLINDEN");
  if (file->Open(runtime::AccessRead | runtime::ShareDenyNone) != 0) return collection;
  (void)file->SetOrder(0);
  while (file->Next() == 0) {
    runtime::RecordBuffer& web = file->Record();
    Held& held = collection[std::string(web.Field(WebUrl).ClippedText())];
    held.description = web.Field(WebDescription).ClippedText();
    held.notes = web.Memo(WebNotes);
    const auto found = details.find(web.Field(WebNum).Get().AsInteger());
    held.hasDetails = found != details.end();
    if (held.hasDetails) held.details = found->second;
  }
  (void)file->Close();
  return collection;
}

Held Link(std::string description, std::vector<std::string> folder, std::uint32_t added = 0, std::uint32_t modified = 0,
          std::string notes = "", std::size_t toolbar = 0) {
  return {std::move(description), std::move(notes), {std::move(folder), toolbar, added, modified}, true};
}

class ImportFoldersTest : public runtime::ui::testing::WindowFixture<> {
 protected:
  void RunMain(const std::function<void()>& body) {
    Start([body] { RunProgram(body); });
    ASSERT_TRUE(program->WaitForEnd(60s));
    program.reset();
    program = std::make_unique<runtime::ui::Program>(backend);
  }

  ImportFigures Import(const std::string& name) {
    ImportFigures figures;
    RunMain([&] {
      ImportProcess(Path(name));
      figures = LastImportFigures;
    });
    return figures;
  }

  std::string Path(const std::string& name) const { return cwd.Dir().File(name); }

  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }

  testing_support::TempCurrentDirectory cwd;
};

constexpr const char* kBrowserFile = R"(<!DOCTYPE NETSCAPE-Bookmark-file-1>
<META HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=UTF-8">
<TITLE>Bookmarks</TITLE>
<H1>Bookmarks</H1>
<DL><p>
    <DT><H3 ADD_DATE="10" LAST_MODIFIED="20" PERSONAL_TOOLBAR_FOLDER="true">Bookmarks bar</H3>
    <DL><p>
        <DT><A HREF="https://bar.example/" ADD_DATE="1600000000" LAST_MODIFIED="1600000100">On the &eacute;bar</A>
        <DT><H3>News / Weather &amp; more</H3>
        <DL><p>
            <DT><A HREF="https://news.example/" ADD_DATE="1600000200">News</A>
            <DD>Read every morning.
Second line &lt;kept&gt;.
        </DL><p>
    </DL><p>
    <DT><A HREF="https://loose.example/">Loose</A>
</DL><p>
)";

TEST_F(ImportFoldersTest, KeepsFoldersDatesAndNotesAndASecondImportChangesNothing) {
  Write("bookmarks.html", kBrowserFile);
  const ImportFigures figures = Import("bookmarks.html");
  EXPECT_EQ(figures.added, 3);
  EXPECT_FALSE(figures.cancelled);
  const Collection expected{
      {"https://bar.example/", Link("On the \u00E9bar", {"Bookmarks bar"}, 1600000000, 1600000100, "", 1)},
      {"https://news.example/", Link("News", {"Bookmarks bar", "News / Weather & more"}, 1600000200, 0,
                                     "Read every morning.\nSecond line <kept>.", 1)},
      {"https://loose.example/", Link("Loose", {})},
  };
  EXPECT_EQ(ReadCollection(), expected);

  // The same addresses elsewhere, with other texts: nothing changes.
  Write("moved.html",
        "<DL><p><DT><H3>Elsewhere</H3><DL><p>"
        "<DT><A HREF=\"HTTPS://NEWS.EXAMPLE/\" ADD_DATE=\"5\">Moved</A><DD>other note"
        "<DT><A HREF=\"https://loose.example/\">Loose again</A></DL><p></DL><p>\n");
  const ImportFigures again = Import("moved.html");
  EXPECT_EQ(again.added, 0);
  EXPECT_EQ(again.skipped, 2);
  EXPECT_EQ(ReadCollection(), expected);
}

TEST_F(ImportFoldersTest, TheExportWritesTheTreeBackAndItsImportGivesTheSameCollection) {
  Write("bookmarks.html", std::string(kBrowserFile) +
                              "<DL><p><DT><H3>Bookmarks bar</H3><DL><p><DT><H3>Z &lt;last&gt;</H3><DL><p>"
                              "<DT><A HREF=\"https://z.example/?a=1&amp;b=2\" LAST_MODIFIED=\"7\">Z &amp; z</A>"
                              "<DD>note\n\n  indented &amp; after an empty line</DL><p></DL><p></DL><p>\n");
  ASSERT_EQ(Import("bookmarks.html").added, 4);
  const Collection original = ReadCollection();
  std::uint8_t response = 0;
  RunMain([&] {
    ExportProcess(Path("exported.html"));
    response = ResponseCode;
  });
  ASSERT_EQ(response, ResponseCompleted);
  std::ifstream in(Path("exported.html"), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(),
            "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
            "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
            "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n"
            "    <DT><A HREF=\"https://loose.example/\">Loose</A>\n"
            "    <DT><H3 PERSONAL_TOOLBAR_FOLDER=\"true\">Bookmarks bar</H3>\n"
            "    <DL><p>\n"
            "        <DT><A HREF=\"https://bar.example/\" ADD_DATE=\"1600000000\" LAST_MODIFIED=\"1600000100\">"
            "On the \u00E9bar</A>\n"
            "        <DT><H3>News / Weather & more</H3>\n"
            "        <DL><p>\n"
            "            <DT><A HREF=\"https://news.example/\" ADD_DATE=\"1600000200\">News</A>\n"
            "            <DD>Read every morning.\nSecond line &lt;kept>.\n"
            "        </DL><p>\n"
            "    </DL><p>\n"
            "    <DT><H3>Bookmarks bar</H3>\n"
            "    <DL><p>\n"
            "        <DT><H3>Z &lt;last></H3>\n"
            "        <DL><p>\n"
            "            <DT><A HREF=\"https://z.example/?a=1&amp;b=2\" LAST_MODIFIED=\"7\">Z &amp; z</A>\n"
            "            <DD>note\n\n  indented & after an empty line\n"
            "        </DL><p>\n"
            "    </DL><p>\n"
            "</DL><p>\n");

  testing_support::TempCurrentDirectory other;
  std::filesystem::copy_file(Path("exported.html"), other.Dir().File("exported.html"));
  ImportFigures figures;
  RunMain([&] {
    ImportProcess(other.Dir().File("exported.html"));
    figures = LastImportFigures;
  });
  EXPECT_EQ(figures.added, 4);
  EXPECT_EQ(ReadCollection(), original);
}

// Folders and the links in them come back in the order the imported file
// had them, not by name or address: the order a user arranged in a browser.
TEST_F(ImportFoldersTest, TheExportKeepsTheOrderOfTheImportedFoldersAndLinks) {
  Write("ordered.html",
        "<DL><p><DT><H3>Zeta</H3><DL><p>"
        "<DT><A HREF=\"https://b.example/\">B first</A>"
        "<DT><H3>Inner</H3><DL><p><DT><A HREF=\"https://d.example/\">D</A></DL><p>"
        "<DT><A HREF=\"https://a.example/\">A second</A></DL><p>"
        "<DT><H3>Alpha</H3><DL><p><DT><A HREF=\"https://c.example/\">C</A></DL><p>"
        "<DT><H3 PERSONAL_TOOLBAR_FOLDER=\"true\">Bar</H3><DL><p>"
        "<DT><A HREF=\"https://e.example/\">E</A></DL><p></DL><p>\n");
  ASSERT_EQ(Import("ordered.html").added, 5);
  RunMain([&] { ExportProcess(Path("exported.html")); });
  std::ifstream in(Path("exported.html"), std::ios::binary);
  std::stringstream read;
  read << in.rdbuf();
  const std::string text = read.str();
  std::vector<std::size_t> at;
  for (const char* part : {">Bar</H3>", "e.example", ">Zeta</H3>", "b.example", "a.example", ">Inner</H3>", "d.example",
                           ">Alpha</H3>", "c.example"}) {
    at.push_back(text.find(part));
    ASSERT_NE(at.back(), std::string::npos) << part << " in\n" << text;
  }
  EXPECT_TRUE(std::is_sorted(at.begin(), at.end()))
      << "the toolbar first, then the folders as imported, a folder's own links before its subfolders:\n"
      << text;
}

// Records of a number no bookmark has, with a stray word, as a bookmark
// deleted without them leaves; or none.
std::vector<std::string> StoredWordsOf(std::int64_t number) {
  std::vector<std::string> words;
  auto file = runtime::DataFile::Make(runtime::Driver::Keyed, BookmarkWordsLayout(), "WORDS");
  if (file->Open(runtime::AccessRead | runtime::ShareDenyNone) != 0) return words;
  (void)file->SetOrder(0);
  while (file->Next() == 0) {
    if (file->Record().Field(WrdNum).Get().AsInteger() == number) {
      words.emplace_back(file->Record().Field(WrdWord).ClippedText());
    }
  }
  (void)file->Close();
  return words;
}

// An import adds a new bookmark's records unread only where no record is
// stored above the highest number: a deleted bookmark's left ones are
// replaced, never added beside (which would fail the import).
TEST_F(ImportFoldersTest, RecordsLeftAboveTheHighestNumberAreReplacedByTheImport) {
  RunMain([] { testing_support::StoreBookmarks({{"https://one.example/", "one"}}); });
  auto leave = [](runtime::RecordLayout layout, const char* name,
                  const std::function<void(runtime::RecordBuffer&)>& set) {
    auto file = runtime::DataFile::Make(runtime::Driver::Keyed, std::move(layout), name);
    ASSERT_EQ(file->Open(runtime::AccessReadWrite | runtime::ShareDenyNone), 0);
    file->ClearBuffer();
    set(file->Record());
    ASSERT_EQ(file->Add(), 0);
    (void)file->Close();
  };
  leave(BookmarkDetailsLayout(), "FOLDERS", [](runtime::RecordBuffer& r) {
    r.Field(FolNum).SetInteger(2);
    r.Field(FolPath).SetText(EncodeFolderPath({"Stale"}));
  });
  leave(BookmarkWordsLayout(), "WORDS", [](runtime::RecordBuffer& r) {
    r.Field(WrdNum).SetInteger(2);
    r.Field(WrdWord).SetText("stale");
  });
  leave(FolderOrderLayout(), "ORDER", [](runtime::RecordBuffer& r) {
    r.Field(OrdNum).SetInteger(2);
    r.Field(OrdSort).SetText("stale");
  });

  Write("fresh.html",
        "<DL><p><DT><H3>Fresh</H3><DL><p><DT><A HREF=\"https://two.example/\">Two</A>"
        "<DT><A HREF=\"https://three.example/\">Three</A></DL><p></DL><p>\n");
  const ImportFigures figures = Import("fresh.html");
  EXPECT_EQ(figures.failure, "");
  EXPECT_EQ(figures.added, 2);
  const Collection collection = ReadCollection();
  EXPECT_EQ(collection.at("https://two.example/").details.folder, std::vector<std::string>{"Fresh"});
  const std::vector<std::string> words = StoredWordsOf(2);
  EXPECT_EQ(std::count(words.begin(), words.end(), "stale"), 0) << "the stray word went";
  EXPECT_EQ(std::count(words.begin(), words.end(), "two"), 1);
  EXPECT_EQ(std::count(words.begin(), words.end(), "fresh"), 1);
}

TEST_F(ImportFoldersTest, TheCleanUpTakesTheDetailsOfWhatItRemoves) {
  RunMain([] {
    testing_support::StoreBookmarks(
        {{"https://kept.example/", "kept"}, {"www.typed.example", "typed"}, {"mailto:me@example.com", "mail"}});
  });
  ASSERT_EQ(ReadCollection().size(), 3u);
  RunMain([] { CleanUp(0); });
  const Collection left = ReadCollection();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_TRUE(left.at("https://kept.example/").hasDetails);
  auto details = runtime::DataFile::Make(runtime::Driver::Keyed, BookmarkDetailsLayout(), "FOLDERS");
  ASSERT_EQ(details->Open(runtime::AccessRead | runtime::ShareDenyNone), 0);
  EXPECT_EQ(details->Records(), 1);
  (void)details->Close();
}

TEST_F(ImportFoldersTest, ReadsAnUndeclaredFileAsUtf8OnlyWhenAllOfItIsUtf8) {
  // Valid UTF-8 up to a byte far into the file that is none: windows-1252.
  std::string latin = "<DL><p><DT><A HREF=\"https://a.example/\">\xC3\xA9t\xC3\xA9</A>\n";
  for (int i = 0; i < 20000; ++i) latin += "<!-- padding beyond the first piece of the file -->\n";
  latin += "<DT><A HREF=\"https://b.example/\">caf\xE9 \x80</A></DL>\n";
  Write("latin.htm", latin);
  Write("utf8.htm", "<DL><p><DT><A HREF=\"https://c.example/\">\xC3\xA9t\xC3\xA9</A></DL>\n");
  ASSERT_EQ(Import("latin.htm").added, 2);
  ASSERT_EQ(Import("utf8.htm").added, 1);
  const Collection collection = ReadCollection();
  EXPECT_EQ(collection.at("https://a.example/").description, "\xC3\x83\xC2\xA9t\xC3\x83\xC2\xA9");
  EXPECT_EQ(collection.at("https://b.example/").description, "caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(collection.at("https://c.example/").description, "\xC3\xA9t\xC3\xA9");
}

TEST_F(ImportFoldersTest, NotesAreCutAtAWholeCharacterAndCounted) {
  const std::string longNote = std::string(998, 'n') + "\u20AC\u20AC";  // 1004 bytes
  Write("notes.htm", "<DL><p><DT><A HREF=\"https://long.example/\">L</A><DD>" + longNote +
                         "\n<DT><A HREF=\"https://short.example/\">S</A><DD>short</DL>\n");
  const ImportFigures figures = Import("notes.htm");
  EXPECT_EQ(figures.notesCut, 1);
  EXPECT_NE(ImportSummary(figures).find("notes cut to what a bookmark holds: 1\n"), std::string::npos);
  const Collection collection = ReadCollection();
  EXPECT_EQ(collection.at("https://long.example/").notes, std::string(998, 'n'));
  EXPECT_EQ(collection.at("https://short.example/").notes, "short");
}

constexpr const char* kChromiumBookmarks = R"({
   "checksum": "0123456789abcdef0123456789abcdef",
   "roots": {
      "bookmark_bar": {
         "children": [ {
            "date_added": "13300000000000000",
            "date_last_used": "0",
            "guid": "8a5e0c3a-1b3a-4f6e-9a43-6c1f0c7a2b01",
            "id": "5",
            "meta_info": { "power_bookmark_meta": "" },
            "name": "On the bar",
            "type": "url",
            "url": "https://bar.example/"
         }, {
            "children": [ {
               "date_added": "13300000000500000",
               "guid": "8a5e0c3a-1b3a-4f6e-9a43-6c1f0c7a2b03",
               "id": "7",
               "name": "Deep \"one\" \u00e9",
               "type": "url",
               "url": "https://deep.example/"
            } ],
            "date_added": "13300000000000000",
            "date_modified": "13300000001000000",
            "guid": "8a5e0c3a-1b3a-4f6e-9a43-6c1f0c7a2b02",
            "id": "6",
            "name": "Sub/dir",
            "type": "folder"
         } ],
         "date_added": "13300000000000000",
         "date_modified": "13300000001000000",
         "guid": "0bc5d13f-2cba-5d74-951f-3f233fe6c908",
         "id": "1",
         "name": "Bookmarks bar",
         "type": "folder"
      },
      "other": {
         "children": [ {
            "date_added": "0",
            "guid": "8a5e0c3a-1b3a-4f6e-9a43-6c1f0c7a2b04",
            "id": "8",
            "name": "Other",
            "type": "url",
            "url": "https://other.example/"
         }, {
            "children": [ {
               "date_added": "13300000002000000",
               "guid": "8a5e0c3a-1b3a-4f6e-9a43-6c1f0c7a2b06",
               "id": "10",
               "name": "Reading",
               "type": "url",
               "url": "https://reading.example/"
            } ],
            "date_added": "13300000000000000",
            "date_modified": "0",
            "guid": "8a5e0c3a-1b3a-4f6e-9a43-6c1f0c7a2b05",
            "id": "9",
            "name": "Later",
            "type": "folder"
         } ],
         "date_added": "13300000000000000",
         "date_modified": "0",
         "guid": "82b081ec-3dd3-529c-8475-ab6c344590dd",
         "id": "2",
         "name": "Other bookmarks",
         "type": "folder"
      },
      "synced": {
         "children": [ {
            "date_added": "13300000003000000",
            "guid": "8a5e0c3a-1b3a-4f6e-9a43-6c1f0c7a2b07",
            "id": "11",
            "name": "Phone",
            "type": "url",
            "url": "https://mobile.example/"
         } ],
         "date_added": "13300000000000000",
         "date_modified": "0",
         "guid": "4cf2e351-0e85-532b-bb37-df045d8f8d0f",
         "id": "3",
         "name": "Mobile bookmarks",
         "type": "folder"
      }
   },
   "version": 1
}
)";

TEST_F(ImportFoldersTest, ReadsAChromiumBookmarksFileWithTheFoldersItsExportWouldGive) {
  Write("Bookmarks", kChromiumBookmarks);
  const ImportFigures figures = Import("Bookmarks");
  EXPECT_EQ(figures.links, 5);
  EXPECT_EQ(figures.added, 5);
  // 13300000000 seconds after 1601 is 1655526400 after 1970.
  const Collection expected{
      {"https://bar.example/", Link("On the bar", {"Bookmarks bar"}, 1655526400, 0, "", 1)},
      {"https://deep.example/", Link("Deep \"one\" \u00E9", {"Bookmarks bar", "Sub/dir"}, 1655526400, 0, "", 1)},
      {"https://other.example/", Link("Other", {})},
      {"https://reading.example/", Link("Reading", {"Later"}, 1655526402)},
      {"https://mobile.example/", Link("Phone", {}, 1655526403)},
  };
  EXPECT_EQ(ReadCollection(), expected);
  EXPECT_EQ(Import("Bookmarks").added, 0) << "a second import changes nothing";
}

TEST_F(ImportFoldersTest, ReadsAFirefoxPlacesDatabaseFromACopyAndLeavesItAsItWas) {
  const std::string sql =
      "PRAGMA journal_mode=WAL;"
      "CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR, rev_host LONGVARCHAR,"
      " visit_count INTEGER DEFAULT 0, hidden INTEGER DEFAULT 0 NOT NULL, typed INTEGER DEFAULT 0 NOT NULL,"
      " frecency INTEGER DEFAULT -1 NOT NULL, last_visit_date INTEGER, guid TEXT,"
      " foreign_count INTEGER DEFAULT 0 NOT NULL, url_hash INTEGER DEFAULT 0 NOT NULL, description TEXT,"
      " preview_image_url TEXT, origin_id INTEGER);"
      "CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER DEFAULT NULL, parent INTEGER,"
      " position INTEGER, title LONGVARCHAR, keyword_id INTEGER, folder_type TEXT, dateAdded INTEGER,"
      " lastModified INTEGER, guid TEXT, syncStatus INTEGER NOT NULL DEFAULT 0,"
      " syncChangeCounter INTEGER NOT NULL DEFAULT 1);"
      "INSERT INTO moz_places(id, url, title, guid) VALUES"
      " (1, 'https://menu.example/', 'page', 'p1'), (2, 'https://nested.example/', 'page', 'p2'),"
      " (3, 'https://toolbar.example/', 'page', 'p3'), (4, 'https://unfiled.example/', 'page', 'p4'),"
      " (5, 'https://mobile.example/', 'page', 'p5');"
      "INSERT INTO moz_bookmarks(id, type, fk, parent, position, title, dateAdded, lastModified, guid) VALUES"
      " (1, 2, NULL, 0, 0, '', 1, 1, 'root________'),"
      " (2, 2, NULL, 1, 0, 'menu', 1, 1, 'menu________'),"
      " (3, 2, NULL, 1, 1, 'toolbar', 1, 1, 'toolbar_____'),"
      " (4, 2, NULL, 1, 2, 'tags', 1, 1, 'tags________'),"
      " (5, 2, NULL, 1, 3, 'unfiled', 1, 1, 'unfiled_____'),"
      " (6, 2, NULL, 1, 4, 'mobile', 1, 1, 'mobile______'),"
      " (11, 2, NULL, 2, 1, 'Menu / folder', 1, 1, 'f11'),"
      " (10, 1, 1, 2, 0, 'On the menu', 1600000000000000, 1600000001000000, 'b10'),"
      " (12, 1, 2, 11, 0, 'Nested', 1600000002000000, 0, 'b12'),"
      " (13, 1, 3, 3, 0, 'On the toolbar', 0, 0, 'b13'),"
      " (14, 1, 4, 5, 0, 'Unfiled', 0, 0, 'b14'),"
      " (15, 1, 5, 6, 0, 'Phone', 0, 0, 'b15'),"
      " (16, 2, NULL, 4, 0, 'a tag', 1, 1, 'f16'),"
      " (17, 1, 1, 16, 0, 'tagged', 1, 1, 'b17');";
  ASSERT_EQ(std::system(("sqlite3 " + Path("places.sqlite") + " \"" + sql + "\" >/dev/null").c_str()), 0);
  const std::string before = [&] {
    std::ifstream in(Path("places.sqlite"), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }();
  const ImportFigures figures = Import("places.sqlite");
  EXPECT_EQ(figures.links, 5) << "the tag is no bookmark of its own";
  const Collection expected{
      {"https://menu.example/", Link("On the menu", {}, 1600000000, 1600000001)},
      {"https://nested.example/", Link("Nested", {"Menu / folder"}, 1600000002)},
      {"https://toolbar.example/", Link("On the toolbar", {"Bookmarks Toolbar"}, 0, 0, "", 1)},
      {"https://unfiled.example/", Link("Unfiled", {"Other Bookmarks"})},
      {"https://mobile.example/", Link("Phone", {"Mobile Bookmarks"})},
  };
  EXPECT_EQ(ReadCollection(), expected);
  std::ifstream in(Path("places.sqlite"), std::ios::binary);
  std::stringstream after;
  after << in.rdbuf();
  EXPECT_EQ(after.str(), before) << "the browser's file is never written";
  EXPECT_FALSE(std::filesystem::exists(Path("places.sqlite-shm")));
  EXPECT_FALSE(std::filesystem::exists(Path("places.sqlite-wal")));
}

TEST_F(ImportFoldersTest, TheImportWindowListsTheBrowsersProfilesAndImportsOneWithOneClick) {
  testing_support::TempDir home;
  const auto store = [&](const std::string& folder, const std::string& name, const std::string& text) {
    std::filesystem::create_directories(home.Path() / folder);
    std::ofstream(home.Path() / folder / name, std::ios::binary) << text;
    return (home.Path() / folder / name).string();
  };
  const std::string chromium = store(".config/chromium/Default", "Bookmarks", kChromiumBookmarks);
  const std::string other = store(".config/chromium/Profile 1", "Bookmarks", "{}");
  store(".mozilla/firefox/abc.default-release", "places.sqlite", "");
  store(".mozilla/firefox/no-store.default", "prefs.js", "");
  const testing_support::ScopedHome scopedHome(home.Path().string());

  Start([] { RunProgram([] { ImportBookmarks(); }); });
  const runtime::ui::WindowId window = driver.WaitForWindow(1);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(driver.ColumnTexts(window, ImportStores, 0), (std::vector<std::string>{"Chromium", "Chromium", "Firefox"}));
  EXPECT_EQ(driver.ColumnTexts(window, ImportStores, 1),
            (std::vector<std::string>{"Default", "Profile 1", "abc.default-release"}));
  driver.Choose(window, ImportStores, 2);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(driver.Text(window, ImportEntry), other) << "a selected row fills in its store";
  driver.Choose(window, ImportStores, 1);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(driver.Text(window, ImportEntry), chromium);
  backend.MessageBoxes().Script(runtime::ui::ButtonOk);  // the summary
  driver.Click(window, ImportStores);
  ASSERT_TRUE(program->WaitForEnd(30s));
  program.reset();
  program = std::make_unique<runtime::ui::Program>(backend);
  EXPECT_EQ(ReadCollection().size(), 5u);
  ASSERT_EQ(backend.MessageBoxRequests().size(), 1u);
  EXPECT_NE(backend.MessageBoxRequests()[0].text.find("bookmarks added: 5\n"), std::string::npos);
}

// A generated file's links with their folders, as the reader finds them
// (the first of each address, letter case aside).
std::map<std::string, std::vector<std::string>> FoldersOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  BookmarkReader reader("UTF-8");
  reader.Read(text.str(), true);
  std::map<std::string, std::vector<std::string>> folders;
  for (const BookmarkEntry& link : reader.Entries()) {
    if (KeepsAddress(link.url)) folders.emplace(runtime::UpperAscii(link.url), link.folder);
  }
  return folders;
}

TEST_F(ImportFoldersTest, AnImportKilledHalfWayLeavesEveryBookmarkWithItsFolder) {
  const std::string file = Path("big.html");
  const std::string generate = std::string("python3 ") + MARLINDEN_BOOKMARK_GENERATOR + " 30000 -o " + file;
  ASSERT_EQ(std::system(generate.c_str()), 0);
  const std::string command = std::string(MARLINDEN_IMPORT_UNTIL_KILLED) + " " + file + " 9";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGKILL)) << status;

  const auto folders = FoldersOf(file);
  const Collection partial = ReadCollection();
  ASSERT_GT(partial.size(), 0u);
  ASSERT_LT(partial.size(), folders.size());
  std::size_t foldered = 0;
  for (const auto& [url, held] : partial) {
    SCOPED_TRACE(url);
    ASSERT_TRUE(held.hasDetails) << "a bookmark without its record";
    EXPECT_EQ(held.details.folder, folders.at(runtime::UpperAscii(url)));
    if (!held.details.folder.empty()) ++foldered;
  }
  EXPECT_GT(foldered, 0u);

  // A second run completes the import; what the first stored stays.
  (void)Import("big.html");
  const Collection whole = ReadCollection();
  EXPECT_EQ(whole.size(), folders.size());
  for (const auto& [url, held] : whole) {
    ASSERT_TRUE(held.hasDetails) << url;
    EXPECT_EQ(held.details.folder, folders.at(runtime::UpperAscii(url))) << url;
  }
  for (const auto& [url, held] : partial) EXPECT_EQ(whole.at(url), held) << url;
}

}  // namespace
}  // namespace marlinden
