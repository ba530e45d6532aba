// marlinden-cli end to end: the program is run as a user would run it, its
// mail goes to the tests' SMTP server, and its data folder is checked.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "mail/SmtpTestServer.h"
#include "support/TempDir.h"

namespace marlinden {
namespace {

struct CliRun {
  int status = -1;
  std::string err;
};

// Runs the program in folder with exactly the variables given.
CliRun RunCli(const std::vector<std::string>& args, const std::filesystem::path& folder,
              const std::map<std::string, std::string>& variables) {
  std::vector<std::string> argv{MARLINDEN_CLI};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> argp;
  for (std::string& a : argv) argp.push_back(a.data());
  argp.push_back(nullptr);
  std::vector<std::string> env;
  for (const auto& [name, value] : variables) env.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  const std::string errFile = (folder / "cli.err").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  CliRun run;
  if (posix_spawn(&pid, argp[0], &actions, nullptr, argp.data(), envp.data()) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  std::ifstream in(errFile);
  std::ostringstream text;
  text << in.rdbuf();
  run.err = text.str();
  return run;
}

class MailCliTest : public ::testing::Test {
 protected:
  std::filesystem::path Start() { return dir.Path() / "start"; }
  void SetUp() override { std::filesystem::create_directories(Start()); }

  testing_support::TempDir dir;
};

TEST_F(MailCliTest, SendsAMessageWithFilesNamedRelativeToTheStartFolder) {
  mail_testing::SmtpTestServer server(dir.Path() / "server");
  ASSERT_TRUE(server.Ready());
  std::ofstream(Start() / "body.txt") << "Hello,\nhere it is.\n";
  std::ofstream(Start() / "list.html", std::ios::binary) << "<html>bookmarks</html>";

  const CliRun run = RunCli(
      {"--data", "data", "mail", "--server", server.Address(), "--from", "me@example.org", "--to", "you@example.org",
       "--to-name", "You", "--subject", "Bookmarks", "--body-file", "body.txt", "--attach", "list.html"},
      Start(), {{"HOME", dir.File("home")}});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  ASSERT_EQ(server.NextLine(), "message 1");
  EXPECT_EQ(server.Part(1, "to"), "You <you@example.org>");
  EXPECT_EQ(server.Part(1, "subject"), "Bookmarks");
  EXPECT_EQ(server.Part(1, "x-mailer"), "Marlinden");
  EXPECT_EQ(server.Part(1, "body"), "Hello,\r\nhere it is.\r\n");
  EXPECT_EQ(server.Part(1, "attachment1.name"), "list.html");
  EXPECT_EQ(server.Part(1, "attachment1.data"), "<html>bookmarks</html>");
  EXPECT_TRUE(std::filesystem::is_directory(Start() / "data")) << "the data folder was made";
  EXPECT_TRUE(std::filesystem::is_empty(Start() / "data")) << "mail writes no data file";
}

TEST_F(MailCliTest, AFailedSendExitsWithItsCodeAndTheErrorText) {
  mail_testing::ServerOptions refuse;
  refuse.refuseRecipients = {"you@example.org"};
  mail_testing::SmtpTestServer server(dir.Path() / "server", refuse);
  ASSERT_TRUE(server.Ready());
  const std::map<std::string, std::string> env{{"MARLINDEN_DATA", dir.File("data")}};

  CliRun run = RunCli({"mail", "--server", server.Address(), "--from", "me@example.org", "--to", "you@example.org"},
                      Start(), env);
  EXPECT_EQ(run.status, 9);
  EXPECT_EQ(run.err,
            "marlinden-cli mail: Mail Server Error:\n550 5.1.1 <you@example.org>: Recipient address rejected\n");

  run = RunCli({"mail", "--server", server.Address(), "--from", "me@example.org", "--to", "ok@example.org", "--attach",
                "missing.zip"},
               Start(), env);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "marlinden-cli mail: Unable to open temporary mailfile for read\n");

  run = RunCli({"mail", "--server", server.Address(), "--from", "me@example.org", "--to", "ok@example.org",
                "--body-file", "missing.txt"},
               Start(), env);
  EXPECT_EQ(run.status, 66);
  EXPECT_NE(run.err.find("cannot read"), std::string::npos);
}

TEST_F(MailCliTest, WrongArgumentsAreUsageErrors) {
  const std::map<std::string, std::string> env{{"MARLINDEN_DATA", dir.File("data")}};
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {},
           {"--bogus"},
           {"bogus"},
           {"mail", "--from", "me@example.org", "--to", "you@example.org"},
           {"mail", "--server", "localhost", "--to", "you@example.org"},
           {"mail", "--server", "localhost", "--from", "me@example.org"},
           {"mail", "--server", "localhost", "--from", "me@example.org", "--to"},
           {"mail", "--server", "localhost", "--from", "me@example.org", "--to", "x@y", "--cc", "z@y"},
       }) {
    const CliRun run = RunCli(args, Start(), env);
    EXPECT_EQ(run.status, 64) << ::testing::PrintToString(args);
    EXPECT_NE(run.err, "");
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("data"))) << "nothing runs after a usage error";
  EXPECT_EQ(RunCli({"--help"}, Start(), env).status, 0);
  EXPECT_EQ(RunCli({"mail", "--help"}, Start(), env).status, 0);
  EXPECT_EQ(RunCli({"--version"}, Start(), env).status, 0);
}

TEST_F(MailCliTest, TheDataFolderComesFromTheOptionTheVariablesOrTheHomeFolder) {
  struct Case {
    std::vector<std::string> options;
    std::map<std::string, std::string> env;
    std::string expected;
  };
  const std::string home = dir.File("home");
  const std::vector<Case> cases{
      {{"--data", dir.File("given")}, {{"MARLINDEN_DATA", dir.File("variable")}}, dir.File("given")},
      {{}, {{"MARLINDEN_DATA", dir.File("variable")}, {"XDG_DATA_HOME", dir.File("xdg")}}, dir.File("variable")},
      {{}, {{"XDG_DATA_HOME", dir.File("xdg")}, {"HOME", home}}, dir.File("xdg") + "/marlinden"},
      {{}, {{"XDG_DATA_HOME", "relative"}, {"HOME", home}}, home + "/.local/share/marlinden"},
      {{}, {{"HOME", home}}, home + "/.local/share/marlinden"},
  };
  // Nothing listens on port 1: the send fails, after the folder was entered.
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {"mail", "--server", "127.0.0.1:1", "--from", "me@example.org", "--to", "x@example.org"});
    const CliRun run = RunCli(args, Start(), c.env);
    EXPECT_EQ(run.status, 6) << run.err;
    EXPECT_TRUE(std::filesystem::is_directory(c.expected));
    std::filesystem::remove_all(c.expected);
  }
  const CliRun nowhere = RunCli({"mail", "--server", "127.0.0.1:1", "--from", "a@b", "--to", "c@d"}, Start(), {});
  EXPECT_EQ(nowhere.status, 73);
}

}  // namespace
}  // namespace marlinden
