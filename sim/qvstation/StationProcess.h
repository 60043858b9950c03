#pragma once
// qvstation as a child process with its output silenced, stopped as an
// operator stops it (SIGTERM, after which it writes the image it holds).
// Shared by the link and operator tests, the screenshot tool and the window
// benchmark.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace qv::sim {

class StationProcess {
 public:
  // program: the qvstation executable; args: its options.
  StationProcess(const std::string& program, std::vector<std::string> args) {
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ != 0) return;
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ~StationProcess() { Stop(); }
  StationProcess(const StationProcess&) = delete;
  StationProcess& operator=(const StationProcess&) = delete;

  // False once it has ended (it could not start, say, or left by itself).
  bool Running() {
    int status = 0;
    if (pid_ <= 0 || ::waitpid(pid_, &status, WNOHANG) == 0) return pid_ > 0;
    Ended(status);
    return false;
  }

  // Sends a signal, as a log-out or a shutdown does; Running() tells when it ended.
  void Signal(int signal) const {
    if (pid_ > 0) ::kill(pid_, signal);
  }

  // The exit status; -1 when it did not end normally or never started.
  int Stop() {
    if (pid_ <= 0) return status_;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    Ended(status);
    return status_;
  }

 private:
  void Ended(int status) {
    pid_ = 0;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  pid_t pid_ = 0;
  int status_ = -1;
};

}  // namespace qv::sim
