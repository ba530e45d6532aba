// The tests' SMTP server (smtp_server.py run by the system's Python) as a
// child process: started on a free port of 127.0.0.1, its announcements read
// from a pipe with a bounded wait, ended (by its id) when the object goes.
// Also makes the self-signed certificate a TLS server offers.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace mail_testing {

struct ServerOptions {
  std::vector<std::string> refuseRecipients;
  bool refuseSender = false;
  bool refuseData = false;
  bool stall = false;
  std::string certificate;  // PEM files; STARTTLS is offered when set
  std::string key;
};

class SmtpTestServer {
 public:
  SmtpTestServer(const std::filesystem::path& dir, const ServerOptions& options = {});
  ~SmtpTestServer();
  SmtpTestServer(const SmtpTestServer&) = delete;
  SmtpTestServer& operator=(const SmtpTestServer&) = delete;

  // False when it did not announce itself.
  bool Ready() const { return port_ != 0; }
  int Port() const { return port_; }
  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }

  // Waits for the next announcement, at most timeout; empty on timeout.
  std::string NextLine(std::chrono::milliseconds timeout = std::chrono::seconds(30));
  // A received message's parsed part ("subject", "body", "attachment1.data",
  // ...), read from the folder of message n.
  std::string Part(int message, const std::string& name) const;

 private:
  std::filesystem::path dir_;
  pid_t pid_ = -1;
  int input_ = -1;   // the server's standard input: closing it ends it
  int output_ = -1;  // its announcements
  std::string buffered_;
  int port_ = 0;
};

// Makes a self-signed certificate for 127.0.0.1 and localhost in dir
// (cert.pem, key.pem); false when openssl failed.
bool MakeCertificate(const std::filesystem::path& dir);

// The folder of the test sources (the server script lives there).
std::string TestSourceDir();

}  // namespace mail_testing
