// An X server of a program's own (Xvfb on a free display), for uirun without a display and
// for the tests.
#pragma once

#include <string>

class PrivateDisplay {
 public:
  PrivateDisplay() = default;
  ~PrivateDisplay();  // stops the server
  PrivateDisplay(const PrivateDisplay&) = delete;
  PrivateDisplay& operator=(const PrivateDisplay&) = delete;

  // Starts Xvfb (-displayfd, -noreset, no TCP) with a screen of the given size; returns its
  // name (":N"), or an empty string with *error set.
  std::string start(std::string* error, const char* screen = "1280x1024x24");
  // Sends the server a signal now: SIGKILL ends it as a crash would (and reaps it), SIGSTOP
  // and SIGCONT freeze and thaw it. For the tests of lost and stuck servers.
  void signal(int sig);

 private:
  std::string startLocked(std::string* error, const char* screen);
  int pid_ = -1;
};
