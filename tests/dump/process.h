// Runs a program as a child process for end-to-end tests: arguments, working
// folder, captured stdout and stderr (or stderr on a pseudo-terminal), exit
// code, and signals while it runs.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace romscriber::testing {

struct ProcessResult {
  int ExitCode = -1;  // or 128 + signal
  std::string Out;
  std::string Err;
};

class Process {
 public:
  // `stderrOnTerminal`: the child's stderr is a pseudo-terminal.
  // `inChild` runs in the child just before the program starts.
  Process(const std::string& program, const std::vector<std::string>& args,
          const std::filesystem::path& workDir, bool stderrOnTerminal = false,
          const std::function<void()>& inChild = {}) {
    int outPipe[2];
    int errPipe[2];
    if (pipe(outPipe) != 0) throw std::runtime_error("pipe");
    int childErr = -1;
    if (stderrOnTerminal) {
      m_errFd = posix_openpt(O_RDWR | O_NOCTTY);
      if (m_errFd < 0 || grantpt(m_errFd) != 0 || unlockpt(m_errFd) != 0)
        throw std::runtime_error("pty");
      childErr = open(ptsname(m_errFd), O_RDWR | O_NOCTTY);
    } else {
      if (pipe(errPipe) != 0) throw std::runtime_error("pipe");
      m_errFd = errPipe[0];
      childErr = errPipe[1];
    }
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), args.begin(), args.end());
    m_pid = fork();
    if (m_pid == 0) {
      dup2(outPipe[1], STDOUT_FILENO);
      dup2(childErr, STDERR_FILENO);
      close(outPipe[0]);
      close(m_errFd);
      if (chdir(workDir.c_str()) != 0) _exit(126);
      if (inChild) inChild();
      std::vector<char*> cargs;
      for (auto& a : argv)
        cargs.push_back(a.data());
      cargs.push_back(nullptr);
      execv(program.c_str(), cargs.data());
      _exit(127);
    }
    close(outPipe[1]);
    close(childErr);
    m_outFd = outPipe[0];
  }

  ~Process() {
    if (m_pid > 0 && !m_done) {
      kill(m_pid, SIGKILL);
      Wait();
    }
  }

  void Signal(int signal) { kill(m_pid, signal); }

  // Bytes the program has read from files so far (rchar of /proc/PID/io),
  // or -1 when that cannot be read.
  long long BytesRead() const {
    std::ifstream io("/proc/" + std::to_string(m_pid) + "/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value)
      if (key == "rchar:") return value;
    return -1;
  }

  // Collects the output until both streams close, then the exit code.
  ProcessResult Wait() {
    ProcessResult result;
    pollfd fds[2] = {{m_outFd, POLLIN, 0}, {m_errFd, POLLIN, 0}};
    std::string* sinks[2] = {&result.Out, &result.Err};
    int open = 2;
    while (open > 0) {
      if (poll(fds, 2, 30000) <= 0) break;
      for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        char buf[4096];
        const ssize_t n = read(fds[i].fd, buf, sizeof buf);
        if (n > 0) {
          sinks[i]->append(buf, static_cast<std::size_t>(n));
        } else {
          close(fds[i].fd);
          fds[i].fd = -1;
          --open;
        }
      }
    }
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_done = true;
    result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
  }

 private:
  pid_t m_pid = -1;
  int m_outFd = -1;
  int m_errFd = -1;
  bool m_done = false;
};

inline ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                                const std::filesystem::path& workDir) {
  return Process(program, args, workDir).Wait();
}

// Waits until `condition` holds or the time is up.
inline bool WaitFor(const std::function<bool()>& condition,
                    std::chrono::seconds limit = std::chrono::seconds(30)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

}  // namespace romscriber::testing
