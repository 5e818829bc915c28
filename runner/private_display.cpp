// An X server of a program's own.
#include "private_display.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/select.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

PrivateDisplay::~PrivateDisplay() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status;
  waitpid(pid_, &status, 0);
}

void PrivateDisplay::signal(int sig) {
  if (pid_ <= 0) return;
  kill(pid_, sig);
  if (sig == SIGKILL) {
    int status;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }
}

std::string PrivateDisplay::start(std::string* error, const char* screen) {
  // Servers that pick their display number (-displayfd) at the same moment can both take the
  // same one; starts are taken one at a time, across processes, through a lock file.
  int lock = open("/tmp/.corvane-xvfb-start.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (lock >= 0) flock(lock, LOCK_EX);
  std::string name = startLocked(error, screen);
  if (lock >= 0) close(lock);  // releases the lock
  return name;
}

std::string PrivateDisplay::startLocked(std::string* error, const char* screen) {
  int fds[2];
  if (pipe(fds) != 0) {
    *error = "cannot start Xvfb (no pipe)";
    return "";
  }
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    std::string fd = std::to_string(fds[1]);
    int devnull = open("/dev/null", O_RDWR);
    dup2(devnull, 0);
    dup2(devnull, 1);
    dup2(devnull, 2);
    // -noreset: the server would otherwise reset when its last client leaves and drop a
    // connection that arrives meanwhile.
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen, "-nolisten", "tcp",
           "-noreset", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  if (pid < 0) {
    close(fds[0]);
    *error = "cannot start Xvfb";
    return "";
  }
  pid_ = pid;
  std::string number;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(fds[0], &set);
    timeval tv{0, 100000};
    if (select(fds[0] + 1, &set, nullptr, nullptr, &tv) <= 0) continue;
    char c;
    if (read(fds[0], &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  close(fds[0]);
  if (number.empty()) {
    *error = "Xvfb did not start (is it installed? scripts/deps installs it)";
    return "";
  }
  return ":" + number;
}
