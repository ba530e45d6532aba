#include "runtime/platform/ChildProcess.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "runtime/system/Wait.h"

extern char** environ;

namespace runtime::platform {
namespace {

// Children started in the background that have not been reaped yet. Never
// destroyed: a reaper thread may still finish while the process exits.
struct Reaper {
  std::mutex mutex;
  std::condition_variable ended;
  int running = 0;
};

Reaper& TheReaper() {
  static Reaper* reaper = new Reaper;
  return *reaper;
}

void WaitFor(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

void ReapInBackground(pid_t pid) {
  Reaper& reaper = TheReaper();
  {
    std::lock_guard lock(reaper.mutex);
    ++reaper.running;
  }
  auto reap = [pid, &reaper] {
    WaitFor(pid);
    std::lock_guard lock(reaper.mutex);
    --reaper.running;
    reaper.ended.notify_all();
  };
  try {
    std::thread(reap).detach();
  } catch (...) {
    reap();  // no thread to spare: wait here instead
  }
}

// The spawn settings every child gets: default signal dispositions, an empty
// signal mask (runtime threads may block signals), standard input from
// /dev/null, standard output to outFd (or /dev/null when it is negative),
// standard error to /dev/null when quiet, and nothing else inherited.
class SpawnSettings {
 public:
  SpawnSettings(int outFd, bool quietErrors) {
    posix_spawnattr_init(&attributes_);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attributes_, &all);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes_, &none);
    posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    posix_spawn_file_actions_init(&actions_);
    posix_spawn_file_actions_addopen(&actions_, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (outFd >= 0) {
      posix_spawn_file_actions_adddup2(&actions_, outFd, STDOUT_FILENO);
    } else {
      posix_spawn_file_actions_addopen(&actions_, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    if (quietErrors) posix_spawn_file_actions_addopen(&actions_, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    posix_spawn_file_actions_addclosefrom_np(&actions_, STDERR_FILENO + 1);
#endif
  }
  ~SpawnSettings() {
    posix_spawn_file_actions_destroy(&actions_);
    posix_spawnattr_destroy(&attributes_);
  }
  SpawnSettings(const SpawnSettings&) = delete;
  SpawnSettings& operator=(const SpawnSettings&) = delete;

  // The child's pid, or -1 when it could not be started.
  pid_t Spawn(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, program.c_str(), &actions_, &attributes_, argv.data(), environ) != 0) return -1;
    return pid;
  }

 private:
  posix_spawnattr_t attributes_;
  posix_spawn_file_actions_t actions_;
};

// Between looks at a child that has nothing to say yet, the caller pauses
// this long on the runtime clock, with the runtime lock released.
constexpr auto kChildPoll = std::chrono::milliseconds(10);

// Waits until the child has exited (without reaping it) or the deadline has
// passed, where the kernel can tell; elsewhere returns at once.
void WaitForExitUntil(pid_t pid, const WaitDeadline& deadline) {
#ifdef SYS_pidfd_open
  const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  if (pidfd < 0) return;
  for (;;) {
    pollfd exited{pidfd, POLLIN, 0};
    const int ready = poll(&exited, 1, 0);
    if (ready < 0 && errno == EINTR) continue;
    if (ready != 0 || !WaitPauseBefore(deadline, kChildPoll)) break;
  }
  close(pidfd);
#else
  (void)pid;
  (void)deadline;
#endif
}

}  // namespace

bool StartProgram(const std::string& program, const std::vector<std::string>& args) {
  if (program.empty()) return false;
  SpawnSettings settings(-1, false);
  const pid_t pid = settings.Spawn(program, args);
  if (pid < 0) return false;
  ReapInBackground(pid);
  return true;
}

bool WaitForStartedPrograms(std::chrono::milliseconds timeout) {
  Reaper& reaper = TheReaper();
  std::unique_lock lock(reaper.mutex);
  return reaper.ended.wait_for(lock, timeout, [&] { return reaper.running == 0; });
}

CapturedOutput CaptureOutput(const std::string& program, const std::vector<std::string>& args,
                             std::chrono::milliseconds timeout) {
  CapturedOutput result;
  if (program.empty()) return result;
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return result;
  pid_t pid = -1;
  {
    SpawnSettings settings(pipeFds[1], true);
    pid = settings.Spawn(program, args);
  }
  close(pipeFds[1]);
  if (pid < 0) {
    close(pipeFds[0]);
    return result;
  }
  result.started = true;

  const WaitDeadline deadline(timeout);
  char chunk[4096];
  for (;;) {
    pollfd readable{pipeFds[0], POLLIN, 0};
    const int ready = poll(&readable, 1, 0);
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) {
      if (WaitPauseBefore(deadline, kChildPoll)) continue;
      result.timedOut = true;
      break;
    }
    if (ready < 0) break;
    const ssize_t got = read(pipeFds[0], chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;  // end of output
    const std::size_t room = kMaxCapturedBytes - result.output.size();
    result.output.append(chunk, std::min(room, static_cast<std::size_t>(got)));
  }
  close(pipeFds[0]);

  if (result.timedOut) {
    kill(pid, SIGKILL);
    WaitFor(pid);
    return result;
  }
  // The output has ended; the program normally ends with it. Wait for that
  // within the time left; one that lingers is left to the background reaper.
  WaitForExitUntil(pid, deadline);
  int status = 0;
  pid_t done = 0;
  while ((done = waitpid(pid, &status, WNOHANG)) < 0 && errno == EINTR) {
  }
  if (done == pid) {
    if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
  } else if (done == 0) {
    ReapInBackground(pid);
  }
  return result;
}

}  // namespace runtime::platform
