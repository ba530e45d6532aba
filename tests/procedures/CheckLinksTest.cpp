// "Check Links" against a real HTTP server on 127.0.0.1: marlinden-cli check
// prints one line per web address and keeps each result, list --json shows
// it for the bookmark's current address only, a deleted bookmark's result
// goes with it; in the window program Cancel ends the check at once.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/AppTestSupport.h"
#include "app/DataFiles.h"
#include "app/Globals.h"
#include "app/LinkResults.h"
#include "app/StartUp.h"
#include "links/LinkTestServer.h"
#include "mail/SmtpLibrary.h"
#include "procedures/BatchProgress.h"
#include "procedures/CheckLinks.h"
#include "procedures/LinkProblems.h"
#include "runtime/files/DataFile.h"
#include "support/CliTest.h"
#include "support/StoredBookmarks.h"
#include "support/WindowTestFixture.h"

namespace marlinden {
namespace {

using namespace std::chrono_literals;
using links_testing::LinkTestServer;

// Each line of text, keyed by what follows its first field of "url".
std::map<std::string, std::string> LinesByUrl(const std::string& text) {
  std::map<std::string, std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    const std::size_t at = line.find("\"url\": \"");
    if (at == std::string::npos) continue;
    const std::size_t start = at + 8;
    lines[line.substr(start, line.find('"', start) - start)] = line;
  }
  return lines;
}

class CliCheckTest : public testing_support::CliTest {
 protected:
  std::int64_t LinkRecords() const {
    auto file = runtime::DataFile::Make(runtime::Driver::Keyed, LinkCheckLayout(), dir.File("data/LINKS"));
    if (file->Open(runtime::AccessRead | runtime::ShareDenyNone) != 0) return -1;
    const std::int64_t records = file->Records();
    (void)file->Close();
    return records;
  }
  // Gives the bookmark at url another address, as a change in place would.
  void Readdress(const std::string& url, const std::string& now) {
    auto file = runtime::DataFile::Make(runtime::Driver::Keyed, BookmarkLayout(), dir.File("data/MARLINDEN"));
    ASSERT_EQ(file->Open(runtime::AccessReadWrite | runtime::ShareDenyNone), 0);
    ASSERT_EQ(file->SetOrder(WebNameKey), 0);
    while (file->Next() == 0) {
      if (file->Record().Field(WebUrl).ClippedText() != url) continue;
      file->Record().Field(WebUrl).SetText(now);
      EXPECT_EQ(file->Put(), 0);
      break;
    }
    (void)file->Close();
  }

  LinkTestServer server;
};

TEST_F(CliCheckTest, EachWebAddressIsCheckedOnceAndItsResultKeptForItsAddress) {
  ASSERT_TRUE(server.Ready());
  const std::string ok = server.Url("/ok"), moved = server.Url("/moved"), missing = server.Url("/missing");
  const std::string broken = server.Url("/broken"), refused = "http://127.0.0.1:1/";
  for (const std::string& url : {ok, moved, missing, broken, refused, std::string("ftp://ftp.example.org/pub/")}) {
    ASSERT_EQ(Cli("add " + url).status, 0) << Err();
  }

  const auto r = Cli("check --json --timeout 5");
  ASSERT_EQ(r.status, 0) << Err();
  const auto lines = LinesByUrl(r.out);
  ASSERT_EQ(lines.size(), 5u) << r.out << "\nthe FTP address is left unchecked";
  EXPECT_EQ(lines.at(ok), R"({"url": ")" + ok + R"(", "status": "ok", "code": 200, "location": "", "error": ""})");
  EXPECT_EQ(lines.at(moved), R"({"url": ")" + moved + R"(", "status": "redirect", "code": 200, "location": ")" + ok +
                                 R"(", "error": ""})");
  EXPECT_NE(lines.at(missing).find(R"("status": "dead", "code": 404)"), std::string::npos);
  EXPECT_NE(lines.at(broken).find(R"("status": "dead", "code": 500)"), std::string::npos);
  EXPECT_NE(lines.at(refused).find(R"("status": "error", "code": 0)"), std::string::npos);
  EXPECT_NE(Err().find("Checked 5 links: 1 ok, 1 moved, 2 dead, 1 could not be reached."), std::string::npos) << Err();
  EXPECT_EQ(server.Count("count HEAD /ok"), 2) << "the ok link and the moved link's target, once each";

  // Kept with each bookmark, for the address it had when checked.
  Readdress(broken, server.Url("/broken-now"));
  const auto listed = LinesByUrl(Cli("list --json").out);
  EXPECT_NE(listed.at(ok).find(R"("link": "ok")"), std::string::npos);
  EXPECT_NE(listed.at(moved).find(R"("link": "redirect")"), std::string::npos);
  EXPECT_NE(listed.at(missing).find(R"("link": "dead")"), std::string::npos);
  EXPECT_NE(listed.at(refused).find(R"("link": "error")"), std::string::npos);
  EXPECT_NE(listed.at(server.Url("/broken-now")).find(R"("link": "")"), std::string::npos)
      << "a result for the address it had before is not shown";
  EXPECT_NE(listed.at("ftp://ftp.example.org/pub/").find(R"("link": "")"), std::string::npos);

  EXPECT_EQ(LinkRecords(), 5);
  ASSERT_EQ(Cli("delete " + missing).status, 0) << Err();
  EXPECT_EQ(LinkRecords(), 4) << "the deleted bookmark's result goes with it";
  EXPECT_EQ(Cli("list --link-problems").out, refused + "\t\n" + moved + "\t\n")
      << "those whose last check, of the address they have now, was not ok";

  // The plain lines: status, code, address, and the new address or the error.
  const auto plain = Cli("check --timeout 5");
  ASSERT_EQ(plain.status, 0);
  EXPECT_NE(plain.out.find("redirect\t200\t" + moved + "\t" + ok + "\n"), std::string::npos) << plain.out;
  EXPECT_NE(plain.out.find("error\t0\t" + refused + "\t"), std::string::npos) << plain.out;
}

// Certificates are trusted as the mail trusts them: the system's authorities
// and those of the file MARLINDEN_MAIL_CA_FILE names, which must be readable.
TEST_F(CliCheckTest, CertificatesAreTrustedAsTheMailTrustsThem) {
  ASSERT_TRUE(links_testing::MakeCertificate(dir.Path()));
  LinkTestServer secure({"--cert", dir.File("cert.pem"), "--key", dir.File("key.pem")});
  ASSERT_TRUE(secure.Ready());
  const std::string url = secure.Url("/ok", "127.0.0.1", "https");
  ASSERT_EQ(Cli("add " + url).status, 0) << Err();
  const auto checked = [&] {
    const auto r = Cli("check --json --timeout 5");
    EXPECT_EQ(r.status, 0) << Err();
    return r.out;
  };
  ::unsetenv(kMailCaFileVariable);
  EXPECT_NE(checked().find(R"("status": "error")"), std::string::npos) << "a certificate nobody vouches for";
  ::setenv(kMailCaFileVariable, dir.File("cert.pem").c_str(), 1);
  EXPECT_NE(checked().find(R"("status": "ok")"), std::string::npos) << Err();
  ::setenv(kMailCaFileVariable, dir.File("missing.pem").c_str(), 1);
  const auto refused = Cli("check --timeout 5");
  ::unsetenv(kMailCaFileVariable);
  EXPECT_NE(refused.status, 0);
  EXPECT_EQ(refused.out, "");
  EXPECT_NE(Err().find("cannot be read: " + dir.File("missing.pem")), std::string::npos) << Err();
}

TEST_F(CliCheckTest, ATimeoutThatIsNoNumberOfSecondsIsRefused) {
  for (const char* args : {"check --timeout", "check --timeout 0", "check --timeout x", "check --fast"}) {
    EXPECT_EQ(Cli(args).status, 64) << args;
  }
}

class CheckLinksWindowTest : public runtime::ui::testing::WindowFixture<> {
 protected:
  testing_support::TempCurrentDirectory cwd;
};

TEST_F(CheckLinksWindowTest, CancelEndsTheCheckAtOnceAndKeepsWhatWasFound) {
  LinkTestServer server;
  ASSERT_TRUE(server.Ready());
  // Held by the server until 50 arrive, which never happens: only Cancel ends them.
  std::vector<testing_support::StoredBookmark> bookmarks = {{server.Url("/ok"), "ok"}};
  for (int i = 0; i < 3; ++i) bookmarks.push_back({server.Url("/hold?n=50&i=" + std::to_string(i)), "held"});
  LinkCheckFigures figures;
  backend.MessageBoxes().Script(runtime::ui::ButtonOk);
  std::promise<void> okFound;
  LinkCheckListen = [&okFound](std::int64_t, const links::LinkResult& result) {
    if (result.status == links::LinkStatus::Ok) okFound.set_value();
  };
  Start([&] {
    (void)RunProgram([&] {
      testing_support::StoreBookmarks(bookmarks);
      CheckLinks();
      figures = LastLinkCheckFigures;
    });
  });
  const runtime::ui::WindowId id = driver.WaitForWindow(1);
  ASSERT_NE(id, runtime::ui::kNoWindow);
  EXPECT_EQ(driver.Properties(id, ProgressTextLine).text, "Checking Links");
  // Cancel has the keyboard: Escape cancels as a click would.
  std::int32_t focus = 0;
  driver.WithWindow(id, [&focus](runtime::ui::Window& window) { focus = window.Focus(); });
  EXPECT_EQ(focus, ProgressCancel);
  ASSERT_EQ(okFound.get_future().wait_for(10s), std::future_status::ready);
  driver.PressKey(id, ProgressCancel, runtime::ui::KeyCode::Esc);
  ASSERT_TRUE(program->WaitForEnd(10s)) << "the held links did not hold the window";
  LinkCheckListen = nullptr;
  EXPECT_TRUE(figures.cancelled);
  EXPECT_EQ(figures.ok, 1);
  EXPECT_EQ(figures.checked, 1) << "the held links are not reported";
  const auto boxes = backend.MessageBoxRequests();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Cancelled after 1 link: 1 ok, 0 moved, 0 dead, 0 could not be reached.");
}

// A moved link takes its new address in one click, a dead one can be
// deleted, and only bookmarks whose address was checked as it is now are
// listed.
TEST_F(CheckLinksWindowTest, TheProblemsWindowUpdatesMovedLinksAndDeletesDeadOnes) {
  const auto result = [](const char* url, links::LinkStatus status, long code, const char* location = "") {
    links::LinkResult r;
    r.url = url;
    r.status = status;
    r.code = code;
    r.location = location;
    r.permanent = true;
    return r;
  };
  std::vector<std::string> left;
  std::string linkOfNew;
  backend.MessageBoxes().Script(runtime::ui::ButtonYes);  // the delete's confirmation
  Start([&] {
    (void)RunProgram([&] {
      testing_support::StoreBookmarks({{"http://moved.example/", "Moved"},
                                       {"http://dead.example/", "Dead"},
                                       {"http://fine.example/", "Fine"},
                                       {"http://since.example/", "Changed since"}});
      ASSERT_EQ(BookmarkStoreRelations->Open(), SeverityOk);
      (void)WriteLinkResult(
          1, result("http://moved.example/", links::LinkStatus::Redirect, 200, "https://moved.example/new"));
      (void)WriteLinkResult(2, result("http://dead.example/", links::LinkStatus::Dead, 404));
      (void)WriteLinkResult(3, result("http://fine.example/", links::LinkStatus::Ok, 200));
      (void)WriteLinkResult(4, result("http://before.example/", links::LinkStatus::Dead, 410));
      (void)BookmarkStoreRelations->Close();
      ShowLinkProblems(ReadLinkProblems());
      ASSERT_EQ(BookmarkStoreRelations->Open(), SeverityOk);
      (void)BookmarkStore().SetOrder(WebNameKey);
      while (BookmarkStore().Next() == 0) {
        left.emplace_back(BookmarkStore().Record().Field(WebUrl).ClippedText());
      }
      linkOfNew = LinkResultName(ReadLinkResult(1, "https://moved.example/new"));
      (void)BookmarkStoreRelations->Close();
    });
  });
  const runtime::ui::WindowId id = driver.WaitForWindow(1);
  ASSERT_NE(id, runtime::ui::kNoWindow);
  EXPECT_EQ(driver.ColumnTexts(id, ProblemsList, 0), (std::vector<std::string>{"moved", "dead 404"}));
  EXPECT_EQ(driver.ColumnTexts(id, ProblemsList, 2),
            (std::vector<std::string>{"https://moved.example/new", "the server answered 404"}));
  EXPECT_TRUE(driver.Properties(id, ProblemsUseNewAddress).enabled);
  driver.Click(id, ProblemsUseNewAddress);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_EQ(driver.ColumnTexts(id, ProblemsList, 1), std::vector<std::string>{"http://dead.example/"});
  EXPECT_FALSE(driver.Properties(id, ProblemsUseNewAddress).enabled) << "a dead link has no new address";
  driver.Click(id, ProblemsDelete);
  ASSERT_TRUE(driver.WaitIdle(1));
  EXPECT_TRUE(driver.ColumnTexts(id, ProblemsList, 1).empty());
  driver.PressKey(id, ProblemsList, runtime::ui::KeyCode::Esc);
  ASSERT_TRUE(program->WaitForEnd(10s));
  EXPECT_EQ(left,
            (std::vector<std::string>{"http://fine.example/", "http://since.example/", "https://moved.example/new"}));
  EXPECT_EQ(linkOfNew, "ok") << "the new address is where the check found the page";
}

}  // namespace
}  // namespace marlinden
