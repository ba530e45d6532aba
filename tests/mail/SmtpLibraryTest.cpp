// The mail library against a real SMTP server on 127.0.0.1: what arrives,
// parsed by Python's email package, and every way a send can fail.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>

#include "mail/MailSender.h"
#include "mail/SmtpLibrary.h"
#include "mail/SmtpTestServer.h"
#include "support/TempDir.h"
#include "testing/InstalledHeadlessMessageBoxes.h"

namespace marlinden {
namespace {

using mail_testing::ServerOptions;
using mail_testing::SmtpTestServer;

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

// Sets an environment variable for its lifetime.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::string& value) : name_(name) { setenv(name, value.c_str(), 1); }
  ~ScopedEnvironment() { unsetenv(name_); }

 private:
  const char* name_;
};

class SmtpLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    boxes.OnUnscripted(
        [](const runtime::ui::MessageBoxRequest& r) { ADD_FAILURE() << "unexpected message box: " << r.text; });
    unsetenv(kMailCaFileVariable);
    sender.Init();
  }
  void TearDown() override { sender.Kill(); }

  std::unique_ptr<SmtpTestServer> StartServer(const ServerOptions& options = {}) {
    auto server = std::make_unique<SmtpTestServer>(dir.Path() / ("server" + std::to_string(++servers)), options);
    EXPECT_TRUE(server->Ready());
    return server;
  }

  void Address(const std::string& host, const std::string& from = "me@example.org",
               const std::string& to = "you@example.org") {
    sender.SetMailHost(host);
    sender.SetMailer("Marlinden");
    sender.SetFrom(from);
    sender.AddRecipient(to);
  }

  std::string WriteFile(const std::string& name, const std::string& bytes) {
    const std::string path = dir.File(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  testing_support::TempDir dir;
  int servers = 0;
  runtime::ui::InstalledHeadlessMessageBoxes boxes;
  MailSender sender;
};

TEST_F(SmtpLibraryTest, AMessageArrivesWithItsHeadersBodyAndAttachment) {
  auto server = StartServer();
  Address(server->Address());
  sender.SetSubject("Grüße: a subject of some length, with words");
  sender.TONAME.Set("Jürgen Smith");
  // A line of 1000 characters, a line holding only ".", one holding "..",
  // trailing spaces on an inner line, "=" signs and an empty line.
  const std::string longLine(1000, 'x');
  const std::string text = "First line   \n.\n..\n" + longLine + "\r\nsum = 3\n\nLast line äöü";
  std::string variable = text + std::string(1000 - text.size() % 1000, ' ');
  sender.SetMessageText(variable, 6);
  std::string binary;
  for (int i = 0; i < 3000; ++i) binary += static_cast<char>(i * 7 % 256);
  sender.AddAttachment(WriteFile("Bericht \"ä\"\t1.bin", binary), 8);

  ASSERT_EQ(sender.Send(), MailSent) << sender.ErrorText(sender.Send());
  ASSERT_EQ(server->NextLine(), "message 1");
  EXPECT_EQ(server->Part(1, "mail_from"), "me@example.org");
  EXPECT_EQ(server->Part(1, "rcpt_to"), "you@example.org");
  EXPECT_EQ(server->Part(1, "from"), "me@example.org");
  EXPECT_EQ(server->Part(1, "to"), "Jürgen Smith <you@example.org>");
  EXPECT_EQ(server->Part(1, "subject"), "Grüße: a subject of some length, with words");
  EXPECT_EQ(server->Part(1, "x-mailer"), "Marlinden");
  EXPECT_NE(server->Part(1, "message-id").find("@example.org>"), std::string::npos);
  EXPECT_NE(server->Part(1, "date"), "");
  EXPECT_EQ(server->Part(1, "defects"), "");
  EXPECT_EQ(server->Part(1, "tls"), "no");
  EXPECT_EQ(server->Part(1, "body"),
            "First line   \r\n.\r\n..\r\n" + longLine + "\r\nsum = 3\r\n\r\nLast line äöü\r\n");
  EXPECT_EQ(server->Part(1, "attachment1.name"), "Bericht \"ä\"1.bin") << "control characters removed";
  EXPECT_EQ(server->Part(1, "attachment1.data"), binary);
  EXPECT_EQ(server->Part(1, "attachment2.name"), "");
  // On the wire every line ends in CR LF and none is longer than SMTP allows.
  const std::string raw = server->Part(1, "raw.eml");
  std::size_t start = 0, longest = 0;
  for (std::size_t end; (end = raw.find('\n', start)) != std::string::npos; start = end + 1) {
    EXPECT_TRUE(end > 0 && raw[end - 1] == '\r') << "line at byte " << start;
    longest = std::max(longest, end - start);
  }
  EXPECT_LE(longest, 998u);
}

TEST_F(SmtpLibraryTest, ATwentyMegabyteAttachmentArrivesWhole) {
  auto server = StartServer();
  Address(server->Address());
  std::string bytes(20 * 1024 * 1024 + 5, '\0');
  std::mt19937 random(11);
  for (char& c : bytes) c = static_cast<char>(random());
  sender.AddAttachment(WriteFile("big.bin", bytes), 8);
  ASSERT_EQ(sender.Send(), MailSent);
  ASSERT_EQ(server->NextLine(std::chrono::seconds(120)), "message 1");
  EXPECT_TRUE(server->Part(1, "attachment1.data") == bytes);
  EXPECT_EQ(server->Part(1, "attachment1.name"), "big.bin");
}

TEST_F(SmtpLibraryTest, ARefusalIsAServerErrorWithTheServersReply) {
  struct Case {
    ServerOptions options;
    std::string reply;
  };
  ServerOptions recipient;
  recipient.refuseRecipients = {"you@example.org"};
  ServerOptions from;
  from.refuseSender = true;
  ServerOptions data;
  data.refuseData = true;
  for (const Case& c : {Case{recipient, "550 5.1.1 <you@example.org>: Recipient address rejected"},
                        Case{from, "553 5.7.1 Sender refused by the test server"},
                        Case{data, "554 5.6.0 Message refused by the test server"}}) {
    SCOPED_TRACE(c.reply);
    sender.Kill();
    sender.Init();
    auto server = StartServer(c.options);
    Address(server->Address());
    EXPECT_EQ(sender.Send(), MailServerError);
    EXPECT_EQ(sender.ErrorText(MailServerError), "Mail Server Error:\r" + c.reply);
  }
}

TEST_F(SmtpLibraryTest, ConnectionFailuresAndBadArgumentsHaveTheirCodes) {
  const std::string nowhere = "127.0.0.1:" + std::to_string(FreePort());
  struct Case {
    std::string name;
    std::string host, from, to;
    std::string attachment;
    std::uint32_t result;
  };
  // Against a port where nothing listens, every code but 6 shows that no
  // connection was tried.
  const std::vector<Case> cases{
      {"nothing listens", nowhere, "me@example.org", "you@example.org", "", MailCannotConnect},
      {"unknown host", "no-such-host.invalid", "me@example.org", "you@example.org", "", MailCannotResolveHost},
      {"unreadable attachment", nowhere, "me@example.org", "you@example.org", "/no/such/file.zip",
       MailCannotReadMailFile},
      {"a folder as attachment", nowhere, "me@example.org", "you@example.org", "/tmp", MailCannotReadMailFile},
      {"empty sender", nowhere, "", "you@example.org", "", MailBadArguments},
      {"sender with a line break", nowhere, "me@example.org\r\nRCPT TO:<x@y>", "you@example.org", "", MailBadArguments},
      {"recipient with a line break", nowhere, "me@example.org", "you@example.org\nBcc: x@y", "", MailBadArguments},
      {"recipient with <", nowhere, "me@example.org", "<you@example.org>", "", MailBadArguments},
      {"two recipients in one", nowhere, "me@example.org", "you@example.org,x@y", "", MailBadArguments},
      {"empty host", "", "me@example.org", "you@example.org", "", MailBadArguments},
      {"host with a path", "mail.example.org/x", "me@example.org", "you@example.org", "", MailBadArguments},
      {"port out of range", "127.0.0.1:70000", "me@example.org", "you@example.org", "", MailBadArguments},
      {"empty receiver", nowhere, "me@example.org", "", "", MailNoRecipients},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sender.Kill();
    sender.Init();
    Address(c.host, c.from, c.to);
    sender.AddAttachment(c.attachment, 8);
    const std::uint32_t result = sender.Send();
    EXPECT_TRUE(result == c.result || (c.result == MailCannotResolveHost && result == MailCannotResolveHostName))
        << result;
  }
}

TEST_F(SmtpLibraryTest, LineBreaksInTheSubjectAndNamesNeverAddAHeaderOrARecipient) {
  auto server = StartServer();
  Address(server->Address());
  sender.SetSubject("Hello\r\nBcc: victim@example.org");
  sender.TONAME.Set("Name\nCc: other@example.org");
  ASSERT_EQ(sender.Send(), MailSent);
  ASSERT_EQ(server->NextLine(), "message 1");
  EXPECT_EQ(server->Part(1, "subject"), "Hello  Bcc: victim@example.org");
  EXPECT_EQ(server->Part(1, "rcpt_to"), "you@example.org");
  EXPECT_EQ(server->Part(1, "cc"), "");
  EXPECT_EQ(server->Part(1, "to"), "\"Name Cc: other@example.org\" <you@example.org>");
  EXPECT_EQ(server->Part(1, "header_names").find("Bcc"), std::string::npos);
}

TEST_F(SmtpLibraryTest, CopiesGoToEveryoneAndBlindCopiesStayOutOfTheHeaders) {
  auto server = StartServer();
  Address(server->Address());
  RecipientEntry copy{};
  std::strcpy(copy.NAME, "Carla");
  std::strcpy(copy.EMAIL, "carla@example.org");
  sender.CCADR.Add(copy);
  RecipientEntry blind{};
  std::strcpy(blind.NAME, "hidden@example.org");
  std::strcpy(blind.EMAIL, "hidden@example.org");
  sender.BCCADR.Add(blind);
  // A text passed directly rather than in a memory block.
  sender.MESSAGETEXT.Allocate(32);
  (void)sender.MESSAGETEXT.Set("passed directly");
  sender.MESSAGETEXTAVAIL = 1;
  ASSERT_EQ(sender.Send(), MailSent);
  ASSERT_EQ(server->NextLine(), "message 1");
  EXPECT_EQ(server->Part(1, "rcpt_to"), "you@example.org\ncarla@example.org\nhidden@example.org");
  EXPECT_EQ(server->Part(1, "cc"), "Carla <carla@example.org>");
  EXPECT_EQ(server->Part(1, "raw.eml").find("hidden"), std::string::npos);
  EXPECT_EQ(server->Part(1, "body"), "passed directly\r\n");
}

TEST_F(SmtpLibraryTest, AServerRequiringALoginTakesTheUserAndPassword) {
  ServerOptions login;
  login.login = "marl:secret";
  auto server = StartServer(login);
  for (const std::string password : {"wrong", "secret"}) {
    SCOPED_TRACE(password);
    sender.Kill();
    sender.Init();
    Address(server->Address());
    (void)sender.USERNAME.Set("marl");
    (void)sender.USERPASSWORD.Set(password);
    const std::uint32_t result = sender.Send();
    if (password == "wrong") {
      EXPECT_EQ(result, MailServerError);
      EXPECT_TRUE(sender.ErrorText(result).starts_with("Mail Server Error:\r535")) << sender.ErrorText(result);
    } else {
      EXPECT_EQ(result, MailSent) << sender.ErrorText(result);
      EXPECT_EQ(server->NextLine(), "message 1");
    }
  }
}

class SmtpTlsTest : public SmtpLibraryTest {
 protected:
  static void SetUpTestSuite() {
    certificates = new testing_support::TempDir;
    made = mail_testing::MakeCertificate(certificates->Path());
  }
  static void TearDownTestSuite() { delete certificates; }

  std::unique_ptr<SmtpTestServer> StartTlsServer(ServerOptions options = {}) {
    EXPECT_TRUE(made) << "openssl made no certificate";
    options.certificate = certificates->File("cert.pem");
    options.key = certificates->File("key.pem");
    return StartServer(options);
  }

  static inline testing_support::TempDir* certificates = nullptr;
  static inline bool made = false;
};

TEST_F(SmtpTlsTest, AServerOfferingStartTlsIsUsedWithItsCertificateVerified) {
  auto server = StartTlsServer();
  ScopedEnvironment authority(kMailCaFileVariable, certificates->File("cert.pem"));
  Address(server->Address());
  sender.SetSubject("secret");
  ASSERT_EQ(sender.Send(), MailSent) << sender.ErrorText(MailServerError);
  ASSERT_EQ(server->NextLine(), "message 1");
  EXPECT_EQ(server->Part(1, "tls"), "yes");
  EXPECT_EQ(server->Part(1, "subject"), "secret");
}

TEST_F(SmtpTlsTest, ACertificateThatFailsVerificationIsRefusedWithAClearText) {
  auto server = StartTlsServer();
  Address(server->Address());
  EXPECT_EQ(sender.Send(), MailServerError);
  const std::string text = sender.ErrorText(MailServerError);
  EXPECT_TRUE(text.starts_with("Mail Server Error:\rThe mail server's certificate was not accepted")) << text;

  ScopedEnvironment missing(kMailCaFileVariable, dir.File("none.pem"));
  EXPECT_EQ(sender.Send(), MailServerError);
  EXPECT_NE(sender.ErrorText(MailServerError).find("cannot be read"), std::string::npos);
}

TEST_F(SmtpLibraryTest, AStalledServerIsLeftAfterTheStallLimit) {
  ServerOptions stall;
  stall.stall = true;
  auto server = StartServer(stall);
  const MailTimeouts previous = SetMailTimeouts({std::chrono::seconds(5), std::chrono::seconds(2)});
  Address(server->Address());
  EXPECT_EQ(sender.Send(), MailReceiveFailed);
  EXPECT_EQ(server->NextLine(), "stalled");
  SetMailTimeouts(previous);
}

}  // namespace
}  // namespace marlinden
