#include "mail/SmtpTestServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "runtime/platform/ChildProcess.h"

extern char** environ;

namespace mail_testing {

std::string TestSourceDir() { return MAIL_TEST_SOURCE_DIR; }

SmtpTestServer::SmtpTestServer(const std::filesystem::path& dir, const ServerOptions& options) : dir_(dir) {
  std::vector<std::string> args{"/usr/bin/python3", TestSourceDir() + "/smtp_server.py", "--dir", dir.string()};
  for (const std::string& r : options.refuseRecipients) {
    args.push_back("--refuse-recipient");
    args.push_back(r);
  }
  if (options.refuseSender) args.push_back("--refuse-sender");
  if (options.refuseData) args.push_back("--refuse-data");
  if (options.stall) args.push_back("--stall");
  if (!options.certificate.empty()) {
    args.insert(args.end(), {"--cert", options.certificate, "--key", options.key});
  }
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
  // Its complaints (a client refusing its certificate) go to a log file.
  std::filesystem::create_directories(dir);
  const std::string log = (dir / "server.log").string();
  posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
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
  const std::string ready = NextLine();
  if (ready.starts_with("ready ")) port_ = std::stoi(ready.substr(6));
}

SmtpTestServer::~SmtpTestServer() {
  if (input_ >= 0) close(input_);
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  if (output_ >= 0) close(output_);
}

std::string SmtpTestServer::NextLine(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    if (const std::size_t end = buffered_.find('\n'); end != std::string::npos) {
      std::string line = buffered_.substr(0, end);
      buffered_.erase(0, end + 1);
      return line;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || output_ < 0) return {};
    pollfd p{output_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    char chunk[512];
    const ssize_t n = read(output_, chunk, sizeof chunk);
    if (n <= 0) return {};
    buffered_.append(chunk, static_cast<std::size_t>(n));
  }
}

std::string SmtpTestServer::Part(int message, const std::string& name) const {
  std::ifstream in(dir_ / std::to_string(message) / name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
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

}  // namespace mail_testing
