#include "platform/posix/detached_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include <fmt/core.h>

#include "errors.h"
#include "platform/posix/error_text.h"

namespace zav5::platform {

namespace {

// Reads the start's outcome: nothing (the pipe closed when exec succeeded), or the errno of the
// step that failed.
int ReadStartError(int descriptor) {
  int error = 0;
  ssize_t got = 0;
  do {
    got = ::read(descriptor, &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  return got == static_cast<ssize_t>(sizeof error) ? error : 0;
}

// Only async-signal-safe calls from here on: the child of fork() may not allocate.
[[noreturn]] void ReportAndExit(int descriptor, int error) {
  [[maybe_unused]] const ssize_t ignored = ::write(descriptor, &error, sizeof error);
  ::_exit(127);
}

}  // namespace

void StartDetachedProcess(const std::vector<std::string>& argv) {
  // Everything the child needs is prepared before fork.
  std::vector<char*> arguments;
  arguments.reserve(argv.size() + 1);
  for (const std::string& argument : argv) {
    arguments.push_back(const_cast<char*>(argument.c_str()));
  }
  arguments.push_back(nullptr);

  // The exec outcome comes back through a pipe that closes by itself when exec succeeds.
  int channel[2];
  if (::pipe2(channel, O_CLOEXEC) != 0) {
    throw FileError(fmt::format("impossibile avviare {}: {}", argv.front(), ErrorText(errno)));
  }
  const pid_t middle = ::fork();
  if (middle < 0) {
    const int error = errno;
    ::close(channel[0]);
    ::close(channel[1]);
    throw FileError(fmt::format("impossibile avviare {}: {}", argv.front(), ErrorText(error)));
  }
  if (middle == 0) {
    // The middle process only puts the program into a session of its own and leaves, so that the
    // program is adopted by init and reaped there whenever it ends.
    ::close(channel[0]);
    if (::setsid() < 0) {
      ReportAndExit(channel[1], errno);
    }
    const pid_t program = ::fork();
    if (program < 0) {
      ReportAndExit(channel[1], errno);
    }
    if (program == 0) {
      // The caller may block signals that it takes synchronously (Ctrl+C, SIGTERM); the script
      // must not inherit that and become impossible to stop.
      sigset_t none;
      sigemptyset(&none);
      ::sigprocmask(SIG_SETMASK, &none, nullptr);
      ::execv(arguments.front(), arguments.data());
      ReportAndExit(channel[1], errno);
    }
    ::_exit(0);
  }
  ::close(channel[1]);
  int status = 0;
  while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  const int error = ReadStartError(channel[0]);
  ::close(channel[0]);
  if (error != 0) {
    throw FileError(fmt::format("impossibile avviare {}: {}", argv.front(), ErrorText(error)));
  }
}

}  // namespace zav5::platform
