// The link check's HTTP server (link_server.py run by the system's Python)
// as a child process: started on a free port of 127.0.0.1, asked for its
// counts over its standard input and output with a bounded wait for each
// answer, ended (by its id) when the object goes. Also makes the
// self-signed certificate an HTTPS server offers.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace links_testing {

class LinkTestServer {
 public:
  // args go to the script (--cert FILE --key FILE for HTTPS).
  explicit LinkTestServer(const std::vector<std::string>& args = {});
  ~LinkTestServer();
  LinkTestServer(const LinkTestServer&) = delete;
  LinkTestServer& operator=(const LinkTestServer&) = delete;

  // False when it did not announce itself.
  bool Ready() const { return port_ != 0; }
  int Port() const { return port_; }
  // scheme://host:port/path of this server.
  std::string Url(std::string_view path, std::string_view host = "127.0.0.1", std::string_view scheme = "http") const;

  // Sends a command and returns its answer line; empty when none came
  // within timeout. "stall" announcements read meanwhile are counted.
  std::string Ask(const std::string& command, std::chrono::milliseconds timeout = std::chrono::seconds(30));
  // Ask for a command answered with a number; -1 when none came.
  long Count(const std::string& command);
  // Stalling requests announced so far, reading what arrives within wait.
  int Stalls(std::chrono::milliseconds wait);

 private:
  std::string NextLine(std::chrono::milliseconds timeout);

  pid_t pid_ = -1;
  int input_ = -1;   // the server's standard input: closing it ends it
  int output_ = -1;  // its announcements and answers
  std::string buffered_;
  int port_ = 0;
  int stalls_ = 0;
};

// Makes a self-signed certificate for 127.0.0.1 and localhost in dir
// (cert.pem, key.pem); false when openssl failed.
bool MakeCertificate(const std::filesystem::path& dir);

}  // namespace links_testing
