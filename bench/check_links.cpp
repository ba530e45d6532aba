// The link check of 1,000 links on a local HTTP server that answers each
// after 100 ms (tests/links/link_server.py), polled as a batch polls it
// (50 ms a time slice). Its floor is the time 16 connections at once need
// for that: 1,000 x 100 ms / 16 (goal: at most 1.5 times it). The links are
// spread over 50 host names that all resolve to 127.0.0.1, so the limit of
// 2 connections to one host leaves 16 open. Also measured in the same run:
// one link alone, against the server's 100 ms.
// Prints `NAME VALUE UNIT ratio R`.
//
// Usage: check_links [LINKS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "links/LinkChecker.h"
#include "links/LinkTestServer.h"

namespace {

using Clock = std::chrono::steady_clock;
using marlinden::links::LinkChecker;
using marlinden::links::LinkCheckOptions;
using marlinden::links::LinkStatus;

constexpr int kAnswerMs = 100;
constexpr int kHosts = 50;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

// Checks urls to the end; the seconds it took, or a negative number when a
// link was not ok.
double Check(const LinkCheckOptions& options, std::vector<std::string> urls) {
  std::unique_ptr<LinkChecker> checker = LinkChecker::Create(options);
  if (checker == nullptr) return -1;
  const Clock::time_point start = Clock::now();
  if (!checker->Start(std::move(urls))) return -1;
  bool allOk = true;
  while (!checker->Done()) {
    for (const marlinden::links::LinkResult& result : checker->Poll(std::chrono::milliseconds(50))) {
      if (result.status != LinkStatus::Ok) {
        std::fprintf(stderr, "check_links: %s: %s %ld %s\n", result.url.c_str(),
                     std::string(LinkStatusName(result.status)).c_str(), result.code, result.error.c_str());
        allOk = false;
      }
    }
  }
  const double seconds = Seconds(start);
  return allOk ? seconds : -1;
}

}  // namespace

int main(int argc, char** argv) {
  const int links = argc > 1 ? std::atoi(argv[1]) : 1000;
  links_testing::LinkTestServer server;
  if (!server.Ready()) {
    std::fprintf(stderr, "check_links: the server did not start\n");
    return 1;
  }
  LinkCheckOptions options;
  const std::string port = std::to_string(server.Port());
  for (int host = 0; host < kHosts; ++host) {
    options.resolve.push_back("site" + std::to_string(host) + ".bench:" + port + ":127.0.0.1");
  }
  const std::string wait = "/wait?ms=" + std::to_string(kAnswerMs) + "&link=";
  std::vector<std::string> urls;
  for (int i = 0; i < links; ++i) {
    urls.push_back(server.Url(wait + std::to_string(i), "site" + std::to_string(i % kHosts) + ".bench"));
  }

  const double one = Check(options, {server.Url(wait + "alone", "site0.bench")});
  const double all = Check(options, urls);
  if (one < 0 || all < 0) return 1;
  const double floor = links * (kAnswerMs / 1000.0) / options.connections;
  std::printf("check_links_%d %.2f s ratio %.2f\n", links, all, all / floor);
  std::printf("check_links_floor_%d %.2f s ratio 1.00\n", links, floor);
  std::printf("check_links_one_link %.0f ms ratio %.2f\n", one * 1000, one * 1000 / kAnswerMs);
  return 0;
}
