// The link checker against a real HTTP server on 127.0.0.1 (link_server.py):
// every kind of answer, the limits on connections, the time limit, cancel,
// certificates, and that addresses are taken only as transfers free up.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "links/LinkChecker.h"
#include "links/LinkTestServer.h"
#include "support/TempDir.h"

namespace marlinden::links {
namespace {

using namespace std::chrono_literals;
using links_testing::LinkTestServer;

constexpr std::int64_t kCheckTime = 1765000000;

// A port of 127.0.0.1 where nothing listens: bound, then let go.
int FreePort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
  close(s);
  return ntohs(address.sin_port);
}

class LinkCheckerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server.Ready()); }

  static LinkCheckOptions Options() {
    LinkCheckOptions options;
    options.timeout = 1s;
    options.now = [] { return kCheckTime; };
    return options;
  }

  // Polls as a batch would until the check is done (a minute of real time
  // at most); the results in the order of their ids.
  static std::vector<LinkResult> RunToEnd(LinkChecker& checker) {
    std::vector<LinkResult> results;
    const auto watchdog = std::chrono::steady_clock::now() + 60s;
    while (!checker.Done() && std::chrono::steady_clock::now() < watchdog) {
      for (LinkResult& result : checker.Poll(100ms)) results.push_back(std::move(result));
    }
    EXPECT_TRUE(checker.Done()) << "the check did not end within a minute";
    std::sort(results.begin(), results.end(), [](const LinkResult& a, const LinkResult& b) { return a.id < b.id; });
    return results;
  }

  static std::vector<LinkResult> Check(std::vector<std::string> urls, LinkCheckOptions options = Options()) {
    std::unique_ptr<LinkChecker> checker = LinkChecker::Create(std::move(options));
    EXPECT_NE(checker, nullptr);
    if (checker == nullptr) return {};
    EXPECT_TRUE(checker->Start(std::move(urls)));
    return RunToEnd(*checker);
  }

  // Polls until the server has count stalling requests (20 s at most).
  bool PollUntilStalls(LinkChecker& checker, int count) {
    const auto watchdog = std::chrono::steady_clock::now() + 20s;
    while (server.Stalls(0ms) < count && std::chrono::steady_clock::now() < watchdog) {
      EXPECT_TRUE(checker.Poll(20ms).empty());
    }
    return server.Stalls(0ms) >= count;
  }

  LinkTestServer server;
};

TEST_F(LinkCheckerTest, EachAnswerGivesItsStatusCodeAndReason) {
  struct Case {
    std::string url;
    LinkStatus status;
    long code;
    std::string location;
    std::string error;
    bool permanent;
  };
  const std::string closed = "http://127.0.0.1:" + std::to_string(FreePort()) + "/ok";
  const std::vector<Case> cases = {
      {server.Url("/ok"), LinkStatus::Ok, 200, "", "", false},
      {server.Url("/moved"), LinkStatus::Redirect, 200, server.Url("/ok"), "", true},
      {server.Url("/moved?code=308"), LinkStatus::Redirect, 200, server.Url("/ok"), "", true},
      {server.Url("/moved?code=307"), LinkStatus::Redirect, 200, server.Url("/ok"), "", false},
      // The fragment a browser carries through the redirect, or the new one.
      {server.Url("/moved#part"), LinkStatus::Redirect, 200, server.Url("/ok#part"), "", true},
      {server.Url("/to?url=/ok%23new#old"), LinkStatus::Redirect, 200, server.Url("/ok#new"), "", false},
      {server.Url("/ok?note=two words"), LinkStatus::Ok, 200, "", "", false},
      {server.Url("/chain/5"), LinkStatus::Redirect, 200, server.Url("/chain/0"), "", false},
      {server.Url("/chain/6"), LinkStatus::Error, 302, server.Url("/chain/1"), "more than 5 redirects", false},
      {server.Url("/loop/a"), LinkStatus::Error, 302, server.Url("/loop/b"), "redirect loop", false},
      {server.Url("/to?url=ftp://127.0.0.1/file"), LinkStatus::Error, 302, "", "redirect to a non-web address", false},
      {server.Url("/missing"), LinkStatus::Dead, 404, "", "", false},
      {server.Url("/broken"), LinkStatus::Dead, 500, "", "", false},
      {server.Url("/moved", "localhost").replace(0, 0, "  ") + " ", LinkStatus::Redirect, 200,
       server.Url("/ok", "localhost"), "", true},
      // HEAD refused: a GET, which ends itself on a body without end.
      {server.Url("/no-head"), LinkStatus::Ok, 200, "", "", false},
      {server.Url("/no-head?code=501"), LinkStatus::Ok, 200, "", "", false},
      {server.Url("/stall"), LinkStatus::Error, 0, "", "timed out", false},
      {closed, LinkStatus::Error, 0, "", "connection refused", false},
      {"http://", LinkStatus::Error, 0, "", "malformed address", false},
      {"mailto:someone@example.org", LinkStatus::NotChecked, 0, "", "not a web address", false},
      {"www.example.org/page", LinkStatus::NotChecked, 0, "", "not a web address", false},
  };
  std::vector<std::string> urls;
  for (const Case& c : cases) urls.push_back(c.url);

  std::unique_ptr<LinkChecker> checker = LinkChecker::Create(Options());
  ASSERT_NE(checker, nullptr);
  ASSERT_TRUE(checker->Start(urls));
  const std::vector<LinkResult> results = RunToEnd(*checker);

  ASSERT_EQ(results.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].url);
    EXPECT_EQ(results[i].id, i);
    EXPECT_EQ(LinkStatusName(results[i].status), LinkStatusName(cases[i].status));
    EXPECT_EQ(results[i].code, cases[i].code);
    EXPECT_EQ(results[i].location, cases[i].location);
    EXPECT_EQ(results[i].error, cases[i].error);
    EXPECT_EQ(results[i].permanent, cases[i].permanent);
    EXPECT_EQ(results[i].checkedAt, kCheckTime);
  }
  EXPECT_EQ(results[13].url, server.Url("/moved", "localhost"));
  const LinkCheckProgress progress = checker->Progress();
  EXPECT_EQ(progress.total, static_cast<std::int64_t>(cases.size()));
  EXPECT_EQ(progress.finished, static_cast<std::int64_t>(cases.size()));
  EXPECT_EQ(progress.running, 0);
  // HEAD is enough where the server takes it; GET only where it refused.
  EXPECT_EQ(server.Count("count HEAD /no-head"), 2);
  EXPECT_EQ(server.Count("count GET /no-head"), 2);
  EXPECT_EQ(server.Count("count GET /missing"), 0);
  EXPECT_EQ(server.Count("count GET /ok"), 0);
  EXPECT_EQ(server.Count("count HEAD /chain/0"), 1);
}

TEST_F(LinkCheckerTest, WebAddressesOfOtherKindsAreReportedUncheckedWithoutARequest) {
  const std::string port = std::to_string(server.Port());
  const std::vector<LinkResult> results = Check({"ftp://127.0.0.1:" + port + "/file", "FTP://127.0.0.1:" + port + "/",
                                                 "file:///etc/passwd", "gopher://127.0.0.1:" + port + "/"});
  ASSERT_EQ(results.size(), 4u);
  for (const LinkResult& result : results) {
    EXPECT_EQ(result.status, LinkStatus::NotChecked) << result.url;
    EXPECT_EQ(result.checkedAt, kCheckTime);
  }
  EXPECT_EQ(server.Count("connections"), 0);
}

TEST_F(LinkCheckerTest, TheProgramIsNamedAndNoCookieIsKept) {
  const std::vector<LinkResult> results = Check({server.Url("/cookie"), server.Url("/cookie"), server.Url("/ok")});
  ASSERT_EQ(results.size(), 3u);
  EXPECT_EQ(results[0].status, LinkStatus::Redirect);
  EXPECT_EQ(server.Ask("agent"), kLinkCheckUserAgent);
  EXPECT_EQ(server.Count("cookies"), 0);
}

TEST_F(LinkCheckerTest, NoMoreThanTwoConnectionsGoToOneHostWhileOthersRunBesideThem) {
  // Each request is held until four are under way at once: two hosts with
  // two each. A third to one host shows in its count; a check that runs
  // fewer than four at once waits out the server's hold and shows in the
  // total.
  LinkCheckOptions options = Options();
  options.timeout = 30s;
  const std::string port = std::to_string(server.Port());
  options.resolve = {"a.test:" + port + ":127.0.0.1", "b.test:" + port + ":127.0.0.1"};
  std::vector<std::string> urls;
  for (const char* host : {"a.test", "b.test"}) {
    for (int i = 0; i < 6; ++i) urls.push_back(server.Url("/hold?n=4&i=" + std::to_string(i), host));
  }
  const std::vector<LinkResult> results = Check(urls, options);
  ASSERT_EQ(results.size(), urls.size());
  for (const LinkResult& result : results) EXPECT_EQ(result.status, LinkStatus::Ok) << result.url;
  EXPECT_EQ(server.Count("max-per-host a.test:" + port), 2);
  EXPECT_EQ(server.Count("max-per-host b.test:" + port), 2);
  EXPECT_EQ(server.Count("max-total"), 4);
}

TEST_F(LinkCheckerTest, CancelEndsEveryTransferAndConnectionAtOnce) {
  LinkCheckOptions options = Options();
  options.timeout = 30s;
  std::unique_ptr<LinkChecker> checker = LinkChecker::Create(options);
  ASSERT_NE(checker, nullptr);
  std::vector<std::string> urls;
  for (int i = 0; i < 6; ++i) urls.push_back(server.Url("/stall?i=" + std::to_string(i)));
  ASSERT_TRUE(checker->Start(urls));
  ASSERT_TRUE(PollUntilStalls(*checker, 2));
  EXPECT_EQ(checker->Progress().running, 2);

  checker->Cancel();
  EXPECT_TRUE(checker->Done());
  EXPECT_EQ(checker->Progress().running, 0);
  EXPECT_EQ(checker->Progress().finished, 0);
  EXPECT_TRUE(checker->Poll(0ms).empty());
  EXPECT_EQ(server.Ask("wait-closed 10"), "closed");
  EXPECT_EQ(server.Count("connections"), 2);

  // The same checker starts a new check afterwards.
  ASSERT_TRUE(checker->Start(std::vector<std::string>{server.Url("/ok")}));
  const std::vector<LinkResult> results = RunToEnd(*checker);
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].status, LinkStatus::Ok);
}

TEST_F(LinkCheckerTest, AddressesAreTakenFromTheSourceOnlyAsTransfersFreeUp) {
  LinkCheckOptions options = Options();
  options.timeout = 30s;
  std::unique_ptr<LinkChecker> checker = LinkChecker::Create(options);
  ASSERT_NE(checker, nullptr);
  constexpr std::int64_t kMillion = 1000000;
  std::int64_t taken = 0;
  ASSERT_TRUE(checker->Start(
      [&]() -> std::optional<LinkRequest> {
        if (taken == kMillion) return std::nullopt;
        const auto id = static_cast<std::uint64_t>(taken++);
        return LinkRequest{id, server.Url("/stall?i=" + std::to_string(id))};
      },
      kMillion));
  ASSERT_TRUE(PollUntilStalls(*checker, 2));
  // Two run (one host); a few hundred wait; the rest stay in the source.
  EXPECT_LE(taken, 2 + kLookAheadPerConnection * options.connections);
  EXPECT_EQ(checker->Progress().taken, taken);
  EXPECT_EQ(checker->Progress().total, kMillion);
  EXPECT_FALSE(checker->Done());
  checker->Cancel();
  EXPECT_TRUE(checker->Done());
}

TEST_F(LinkCheckerTest, CertificatesAreVerifiedAgainstTheTrustedAuthorities) {
  testing_support::TempDir dir;
  ASSERT_TRUE(links_testing::MakeCertificate(dir.Path()));
  LinkTestServer secure({"--cert", dir.File("cert.pem"), "--key", dir.File("key.pem")});
  ASSERT_TRUE(secure.Ready());
  const std::string url = secure.Url("/moved", "127.0.0.1", "https");

  const std::vector<LinkResult> untrusted = Check({url});
  ASSERT_EQ(untrusted.size(), 1u);
  EXPECT_EQ(untrusted[0].status, LinkStatus::Error);
  EXPECT_EQ(untrusted[0].error, "TLS failure: certificate not accepted");

  LinkCheckOptions options = Options();
  std::ifstream pem(dir.File("cert.pem"));
  std::ostringstream text;
  text << pem.rdbuf();
  options.extraAuthorities = text.str();
  const std::vector<LinkResult> trusted = Check({url}, options);
  ASSERT_EQ(trusted.size(), 1u);
  EXPECT_EQ(trusted[0].status, LinkStatus::Redirect);
  EXPECT_EQ(trusted[0].location, secure.Url("/ok", "127.0.0.1", "https"));
}

}  // namespace
}  // namespace marlinden::links
