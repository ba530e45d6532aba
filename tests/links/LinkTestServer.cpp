#include "links/LinkTestServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "runtime/platform/ChildProcess.h"

extern char** environ;

namespace links_testing {

LinkTestServer::LinkTestServer(const std::vector<std::string>& extra) {
  std::vector<std::string> args{"/usr/bin/python3", std::string(LINK_TEST_SOURCE_DIR) + "/link_server.py"};
  args.insert(args.end(), extra.begin(), extra.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0) return;
  if (pipe2(out, O_CLOEXEC) != 0) {
    close(in[0]);
    close(in[1]);
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  // Its complaints (a client refusing its certificate) are of no interest.
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  input_ = in[1];
  output_ = out[0];
  if (spawned != 0) {
    pid_ = -1;
    return;
  }
  const std::string ready = NextLine(std::chrono::seconds(30));
  if (ready.starts_with("ready ")) port_ = std::stoi(ready.substr(6));
}

LinkTestServer::~LinkTestServer() {
  if (input_ >= 0) close(input_);
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  if (output_ >= 0) close(output_);
}

std::string LinkTestServer::Url(std::string_view path, std::string_view host, std::string_view scheme) const {
  return std::string(scheme) + "://" + std::string(host) + ":" + std::to_string(port_) + std::string(path);
}

std::string LinkTestServer::Ask(const std::string& command, std::chrono::milliseconds timeout) {
  const std::string line = command + "\n";
  if (input_ < 0 || write(input_, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return {};
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return {};
    std::string answer = NextLine(left);
    if (!answer.starts_with("stall ")) return answer;
    ++stalls_;
  }
}

long LinkTestServer::Count(const std::string& command) {
  const std::string answer = Ask(command);
  if (answer.empty() || answer.find_first_not_of("0123456789") != std::string::npos) return -1;
  return std::stol(answer);
}

int LinkTestServer::Stalls(std::chrono::milliseconds wait) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  while (true) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    const std::string line = NextLine(std::max(left, std::chrono::milliseconds(0)));
    if (line.empty()) return stalls_;
    if (line.starts_with("stall ")) ++stalls_;
  }
}

std::string LinkTestServer::NextLine(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    if (const std::size_t end = buffered_.find('\n'); end != std::string::npos) {
      std::string line = buffered_.substr(0, end);
      buffered_.erase(0, end + 1);
      return line;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (output_ < 0) return {};
    pollfd p{output_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(std::max<long>(left.count(), 0))) <= 0) return {};
    char chunk[512];
    const ssize_t n = read(output_, chunk, sizeof chunk);
    if (n <= 0) return {};
    buffered_.append(chunk, static_cast<std::size_t>(n));
  }
}

bool MakeCertificate(const std::filesystem::path& dir) {
  const runtime::platform::CapturedOutput made = runtime::platform::CaptureOutput(
      "openssl",
      {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj",
       "/CN=localhost", "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost", "-keyout", (dir / "key.pem").string(),
       "-out", (dir / "cert.pem").string()},
      std::chrono::seconds(60));
  return made.started && made.exitStatus == 0;
}

}  // namespace links_testing
