#include "links/LinkChecker.h"

#include <curl/curl.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <fstream>
#include <limits>
#include <mutex>
#include <sstream>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace marlinden::links {

namespace {

using SteadyClock = std::chrono::steady_clock;

bool StartCurl() {
  static std::once_flag once;
  static bool started = false;
  std::call_once(once, [] { started = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return started;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return text.str();
}

std::string_view Trimmed(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n";
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The scheme of an address in lower case; empty when it has none.
std::string SchemeOf(std::string_view address) {
  const std::size_t colon = address.find(':');
  if (colon == std::string_view::npos || colon == 0) return {};
  std::string scheme;
  for (std::size_t i = 0; i < colon; ++i) {
    const char c = Lower(address[i]);
    const bool letter = c >= 'a' && c <= 'z';
    if (!letter && (i == 0 || !((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'))) return {};
    scheme += c;
  }
  return scheme;
}

bool IsWebAddress(std::string_view address) {
  const std::string scheme = SchemeOf(address);
  return scheme == "http" || scheme == "https";
}

// A web address as it is asked for, and its "host:port", what the per-host
// limit counts.
struct WebAddress {
  std::string url;  // without its fragment
  std::string host;
  std::string fragment;
};

// Nothing when the address is malformed. Blanks and other bytes a browser
// would encode are encoded (a saved "page one.html" is a working link). The
// fragment, never sent, is kept apart, so "#top" does not hide a loop.
std::optional<WebAddress> ParseWebAddress(const std::string& address) {
  CURLU* url = curl_url();
  if (url == nullptr) return std::nullopt;
  std::optional<WebAddress> parsed;
  if (curl_url_set(url, CURLUPART_URL, address.c_str(), CURLU_URLENCODE | CURLU_ALLOW_SPACE) == CURLUE_OK) {
    std::string fragment;
    char* text = nullptr;
    if (curl_url_get(url, CURLUPART_FRAGMENT, &text, 0) == CURLUE_OK) fragment = text;
    curl_free(text);
    (void)curl_url_set(url, CURLUPART_FRAGMENT, nullptr, 0);
    char* whole = nullptr;
    char* host = nullptr;
    char* port = nullptr;
    if (curl_url_get(url, CURLUPART_URL, &whole, 0) == CURLUE_OK &&
        curl_url_get(url, CURLUPART_HOST, &host, 0) == CURLUE_OK &&
        curl_url_get(url, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK && *host != '\0') {
      std::string key(host);
      std::transform(key.begin(), key.end(), key.begin(), Lower);
      parsed = WebAddress{whole, key + ":" + port, std::move(fragment)};
    }
    curl_free(whole);
    curl_free(host);
    curl_free(port);
  }
  curl_url_cleanup(url);
  return parsed;
}

std::string ErrorText(CURLcode code, long systemError) {
  switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
      return "timed out";
    case CURLE_COULDNT_RESOLVE_HOST:
      return "unknown host";
    case CURLE_COULDNT_RESOLVE_PROXY:
      return "unknown proxy";
    case CURLE_COULDNT_CONNECT:
      return systemError == ECONNREFUSED ? "connection refused" : "no connection";
    case CURLE_PEER_FAILED_VERIFICATION:
      return "TLS failure: certificate not accepted";
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_SHUTDOWN_FAILED:
      return "TLS failure";
    case CURLE_GOT_NOTHING:
      return "empty answer";
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
      return "connection broken";
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
      return "not an HTTP answer";
    case CURLE_URL_MALFORMAT:
      return "malformed address";
    case CURLE_OUT_OF_MEMORY:
      return "out of memory";
    default:
      return curl_easy_strerror(code);
  }
}

std::int64_t SystemSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// One link under way, in one of the fixed slots; its easy handle is kept
// and reused for the next link.
struct Transfer {
  CURL* easy = nullptr;
  LinkRequest request;
  std::string address;   // the one asked for now
  std::string host;      // its host key
  std::string fragment;  // the last one given, which a browser carries through redirects
  std::vector<std::string> visited;
  int redirects = 0;
  bool permanent = true;  // every redirect so far was a permanent one
  bool get = false;       // HEAD was refused at this address
  SteadyClock::time_point deadline;
  std::size_t bodyBytes = 0;
  bool capped = false;  // the GET ended itself at kBodyCap
};

size_t DiscardBody(char*, size_t size, size_t count, void* data) {
  auto* transfer = static_cast<Transfer*>(data);
  transfer->bodyBytes += size * count;
  if (transfer->bodyBytes > kBodyCap) {
    transfer->capped = true;
    return 0;
  }
  return size * count;
}

struct Waiting {
  LinkRequest request;
  WebAddress address;
};

}  // namespace

struct LinkChecker::State {
  LinkCheckOptions options;
  std::string authorities;  // the system's and the extra ones; empty: the system's alone
  curl_slist* resolve = nullptr;
  CURLM* multi = nullptr;
  std::vector<std::unique_ptr<Transfer>> slots;
  std::vector<Transfer*> idle;
  // Addresses taken from the source, not yet started: at most lookAhead.
  std::deque<Waiting> waiting;
  std::size_t lookAhead = 0;
  std::unordered_map<std::string, int> perHost;  // requests under way by host key
  LinkSource source;                             // empty once it has run dry
  LinkCheckProgress progress;

  ~State() {
    CloseTransfers();
    curl_slist_free_all(resolve);
  }

  bool OpenTransfers();
  void CloseTransfers();
  bool Done() const { return !source && waiting.empty() && idle.size() == slots.size(); }
  bool Fill(std::vector<LinkResult>& finished);
  bool TopUp(std::vector<LinkResult>& finished);
  bool Collect(std::vector<LinkResult>& finished);
  void Ask(Transfer& transfer, std::vector<LinkResult>& finished);
  void Advance(Transfer& transfer, CURLcode result, std::vector<LinkResult>& finished);
  void Finish(Transfer& transfer, LinkStatus status, long code, std::string error, std::vector<LinkResult>& finished);
  void FinishUnasked(LinkRequest request, LinkStatus status, std::string error, std::vector<LinkResult>& finished);
};

bool LinkChecker::State::OpenTransfers() {
  multi = curl_multi_init();
  if (multi == nullptr) return false;
  curl_multi_setopt(multi, CURLMOPT_MAX_TOTAL_CONNECTIONS, static_cast<long>(options.connections));
  curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, static_cast<long>(options.connectionsPerHost));
  for (int i = 0; i < options.connections; ++i) {
    auto transfer = std::make_unique<Transfer>();
    transfer->easy = curl_easy_init();
    if (transfer->easy == nullptr) {
      CloseTransfers();
      return false;
    }
    CURL* easy = transfer->easy;
    curl_easy_setopt(easy, CURLOPT_PRIVATE, transfer.get());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    // Redirects are followed here, one request at a time, so that a loop is
    // told from a long chain and each new address gets HEAD first.
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, options.userAgent.c_str());
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!authorities.empty()) {
      curl_blob blob{authorities.data(), authorities.size(), CURL_BLOB_COPY};
      curl_easy_setopt(easy, CURLOPT_CAINFO_BLOB, &blob);
    }
    if (resolve != nullptr) curl_easy_setopt(easy, CURLOPT_RESOLVE, resolve);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, DiscardBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, transfer.get());
    idle.push_back(transfer.get());
    slots.push_back(std::move(transfer));
  }
  return true;
}

void LinkChecker::State::CloseTransfers() {
  // Transfers are taken off the multi handle first; its cleanup then closes
  // every connection it keeps.
  for (const std::unique_ptr<Transfer>& transfer : slots) {
    if (multi != nullptr) curl_multi_remove_handle(multi, transfer->easy);
  }
  if (multi != nullptr) curl_multi_cleanup(multi);
  multi = nullptr;
  for (const std::unique_ptr<Transfer>& transfer : slots) curl_easy_cleanup(transfer->easy);
  slots.clear();
  idle.clear();
  waiting.clear();
  perHost.clear();
  source = nullptr;
}

bool LinkChecker::State::TopUp(std::vector<LinkResult>& finished) {
  bool taken = false;
  for (std::size_t pulled = 0; source && waiting.size() < lookAhead && pulled < lookAhead; ++pulled) {
    std::optional<LinkRequest> next = source();
    if (!next) {
      source = nullptr;
      break;
    }
    taken = true;
    ++progress.taken;
    next->url = std::string(Trimmed(next->url));
    if (!IsWebAddress(next->url)) {
      FinishUnasked(std::move(*next), LinkStatus::NotChecked, "not a web address", finished);
      continue;
    }
    std::optional<WebAddress> address = ParseWebAddress(next->url);
    if (!address) {
      FinishUnasked(std::move(*next), LinkStatus::Error, "malformed address", finished);
      continue;
    }
    waiting.push_back({std::move(*next), std::move(*address)});
  }
  return taken;
}

bool LinkChecker::State::Fill(std::vector<LinkResult>& finished) {
  bool moved = false;
  while (!idle.empty()) {
    moved = TopUp(finished) || moved;
    const auto next = std::find_if(waiting.begin(), waiting.end(), [this](const Waiting& candidate) {
      const auto count = perHost.find(candidate.address.host);
      return count == perHost.end() || count->second < options.connectionsPerHost;
    });
    if (next == waiting.end()) break;
    Transfer& transfer = *idle.back();
    idle.pop_back();
    transfer.request = std::move(next->request);
    transfer.address = std::move(next->address.url);
    transfer.host = std::move(next->address.host);
    transfer.fragment = std::move(next->address.fragment);
    waiting.erase(next);
    transfer.visited.assign(1, transfer.address);
    transfer.redirects = 0;
    transfer.permanent = true;
    transfer.get = false;
    transfer.deadline = SteadyClock::now() + options.timeout;
    Ask(transfer, finished);
    moved = true;
  }
  return moved;
}

void LinkChecker::State::Ask(Transfer& transfer, std::vector<LinkResult>& finished) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(transfer.deadline - SteadyClock::now());
  if (left.count() <= 0) {
    Finish(transfer, LinkStatus::Error, 0, ErrorText(CURLE_OPERATION_TIMEDOUT, 0), finished);
    return;
  }
  CURL* easy = transfer.easy;
  curl_easy_setopt(easy, CURLOPT_URL, transfer.address.c_str());
  if (transfer.get) {
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
  } else {
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
  }
  curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(left.count()));
  transfer.bodyBytes = 0;
  transfer.capped = false;
  if (curl_multi_add_handle(multi, easy) != CURLM_OK) {
    Finish(transfer, LinkStatus::Error, 0, ErrorText(CURLE_OUT_OF_MEMORY, 0), finished);
    return;
  }
  ++perHost[transfer.host];
}

bool LinkChecker::State::Collect(std::vector<LinkResult>& finished) {
  bool any = false;
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
    if (message->msg != CURLMSG_DONE) continue;
    CURL* easy = message->easy_handle;
    const CURLcode result = message->data.result;
    Transfer* transfer = nullptr;
    curl_easy_getinfo(easy, CURLINFO_PRIVATE, &transfer);
    curl_multi_remove_handle(multi, easy);
    if (const auto count = perHost.find(transfer->host); count != perHost.end() && --count->second <= 0) {
      perHost.erase(count);
    }
    Advance(*transfer, result, finished);
    any = true;
  }
  return any;
}

void LinkChecker::State::Advance(Transfer& transfer, CURLcode result, std::vector<LinkResult>& finished) {
  long code = 0;
  curl_easy_getinfo(transfer.easy, CURLINFO_RESPONSE_CODE, &code);
  if (result != CURLE_OK && !(result == CURLE_WRITE_ERROR && transfer.capped)) {
    long systemError = 0;
    curl_easy_getinfo(transfer.easy, CURLINFO_OS_ERRNO, &systemError);
    Finish(transfer, LinkStatus::Error, code, ErrorText(result, systemError), finished);
    return;
  }
  if (!transfer.get && (code == 405 || code == 501)) {
    transfer.get = true;
    Ask(transfer, finished);
    return;
  }
  if (code >= 300 && code < 400) {
    char* next = nullptr;
    curl_easy_getinfo(transfer.easy, CURLINFO_REDIRECT_URL, &next);
    if (next == nullptr || *next == '\0') {
      Finish(transfer, LinkStatus::Error, code, "answer " + std::to_string(code) + " without a new address", finished);
      return;
    }
    const std::string target(next);
    if (!IsWebAddress(target)) {
      Finish(transfer, LinkStatus::Error, code, "redirect to a non-web address", finished);
      return;
    }
    std::optional<WebAddress> address = ParseWebAddress(target);
    if (!address) {
      Finish(transfer, LinkStatus::Error, code, "redirect to a malformed address", finished);
      return;
    }
    if (std::find(transfer.visited.begin(), transfer.visited.end(), address->url) != transfer.visited.end()) {
      Finish(transfer, LinkStatus::Error, code, "redirect loop", finished);
      return;
    }
    if (transfer.redirects >= options.maxRedirects) {
      Finish(transfer, LinkStatus::Error, code, "more than " + std::to_string(options.maxRedirects) + " redirects",
             finished);
      return;
    }
    ++transfer.redirects;
    transfer.permanent = transfer.permanent && (code == 301 || code == 308);
    transfer.address = std::move(address->url);
    transfer.host = std::move(address->host);
    if (!address->fragment.empty()) transfer.fragment = std::move(address->fragment);
    transfer.visited.push_back(transfer.address);
    transfer.get = false;
    Ask(transfer, finished);
    return;
  }
  if (code >= 200 && code < 300) {
    Finish(transfer, transfer.redirects > 0 ? LinkStatus::Redirect : LinkStatus::Ok, code, {}, finished);
  } else if (code >= 400) {
    Finish(transfer, LinkStatus::Dead, code, {}, finished);
  } else {
    Finish(transfer, LinkStatus::Error, code, "unexpected answer " + std::to_string(code), finished);
  }
}

void LinkChecker::State::Finish(Transfer& transfer, LinkStatus status, long code, std::string error,
                                std::vector<LinkResult>& finished) {
  LinkResult result;
  result.id = transfer.request.id;
  result.url = std::move(transfer.request.url);
  result.status = status;
  result.code = code;
  if (transfer.redirects > 0) {
    result.location = transfer.address;
    if (!transfer.fragment.empty()) result.location += "#" + transfer.fragment;
    result.permanent = transfer.permanent;
  }
  result.error = std::move(error);
  result.checkedAt = options.now();
  finished.push_back(std::move(result));
  ++progress.finished;
  transfer.visited.clear();
  idle.push_back(&transfer);
}

void LinkChecker::State::FinishUnasked(LinkRequest request, LinkStatus status, std::string error,
                                       std::vector<LinkResult>& finished) {
  LinkResult result;
  result.id = request.id;
  result.url = std::move(request.url);
  result.status = status;
  result.error = std::move(error);
  result.checkedAt = options.now();
  finished.push_back(std::move(result));
  ++progress.finished;
}

std::unique_ptr<LinkChecker> LinkChecker::Create(LinkCheckOptions options) {
  if (!StartCurl()) return nullptr;
  auto state = std::make_unique<State>();
  options.connections = std::max(options.connections, 1);
  options.connectionsPerHost = std::max(options.connectionsPerHost, 1);
  options.maxRedirects = std::max(options.maxRedirects, 0);
  if (!options.now) options.now = SystemSeconds;
  if (!options.extraAuthorities.empty()) {
    const curl_version_info_data* version = curl_version_info(CURLVERSION_NOW);
    if (version->cainfo != nullptr) state->authorities = ReadWholeFile(version->cainfo).value_or("");
    state->authorities += "\n" + options.extraAuthorities;
  }
  for (const std::string& entry : options.resolve) {
    curl_slist* next = curl_slist_append(state->resolve, entry.c_str());
    if (next == nullptr) return nullptr;
    state->resolve = next;
  }
  state->lookAhead = static_cast<std::size_t>(kLookAheadPerConnection) * static_cast<std::size_t>(options.connections);
  state->options = std::move(options);
  if (!state->OpenTransfers()) return nullptr;
  return std::unique_ptr<LinkChecker>(new LinkChecker(std::move(state)));
}

LinkChecker::LinkChecker(std::unique_ptr<State> state) : state_(std::move(state)) {}

LinkChecker::~LinkChecker() = default;

bool LinkChecker::Start(std::vector<std::string> urls) {
  const auto total = static_cast<std::int64_t>(urls.size());
  return Start(
      [list = std::move(urls), next = std::size_t{0}]() mutable -> std::optional<LinkRequest> {
        if (next == list.size()) return std::nullopt;
        LinkRequest request{next, std::move(list[next])};
        ++next;
        return request;
      },
      total);
}

bool LinkChecker::Start(LinkSource next, std::int64_t total) {
  if (!Done()) Cancel();
  State& state = *state_;
  state.progress = LinkCheckProgress{};
  state.progress.total = total;
  if (state.multi == nullptr && !state.OpenTransfers()) return false;
  state.source = std::move(next);
  return true;
}

std::vector<LinkResult> LinkChecker::Poll(std::chrono::milliseconds budget) {
  State& state = *state_;
  std::vector<LinkResult> finished;
  const SteadyClock::time_point end = SteadyClock::now() + budget;
  while (!state.Done()) {
    bool moved = state.Fill(finished);
    int running = 0;
    curl_multi_perform(state.multi, &running);
    moved = state.Collect(finished) || moved;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - SteadyClock::now());
    if (left.count() <= 0) break;
    if (moved) continue;
    long wait = static_cast<long>(std::min<std::int64_t>(left.count(), std::numeric_limits<int>::max()));
    long curlWait = -1;
    curl_multi_timeout(state.multi, &curlWait);
    if (curlWait >= 0) wait = std::min(wait, curlWait);
    curl_multi_poll(state.multi, nullptr, 0, static_cast<int>(wait), nullptr);
  }
  return finished;
}

bool LinkChecker::Done() const { return state_->Done(); }

void LinkChecker::Cancel() { state_->CloseTransfers(); }

LinkCheckProgress LinkChecker::Progress() const {
  LinkCheckProgress progress = state_->progress;
  progress.running = static_cast<std::int32_t>(state_->slots.size() - state_->idle.size());
  return progress;
}

}  // namespace marlinden::links
