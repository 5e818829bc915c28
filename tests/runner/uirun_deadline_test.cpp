// uirun against an X server that stops answering: the script does not hang; the command that
// was running ends uirun with status 3 and a message naming the line and the command.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "private_display.h"

namespace {

namespace fs = std::filesystem;

TEST(UirunDeadlines, AStuckServerEndsTheScriptNamingTheCommandThatExpired) {
  PrivateDisplay server;
  std::string error;
  std::string name = server.start(&error, "640x480x24");
  ASSERT_FALSE(name.empty()) << error;
  fs::path dir = fs::temp_directory_path() / ("uirun_deadline_" + std::to_string(getpid()));
  fs::create_directories(dir);
  fs::path script = dir / "script", err = dir / "stderr";
  // The wait leaves time to stop the server after the first line has answered.
  std::ofstream(script) << "get hello.width\nwait 1500\nsettle\nget hello.width\n";
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    FILE* e = std::freopen(err.c_str(), "w", stderr);
    (void)e;
    execl(UIRUN, UIRUN, "-display", name.c_str(), "--deadline", "1", "--script", script.c_str(),
          UI_PROJECT_ROOT "/examples/hello.yaml", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string first;
  char c;
  while (read(out[0], &c, 1) == 1 && c != '\n') first += c;
  EXPECT_EQ(first, "hello.width = 320");
  server.signal(SIGSTOP);
  int status = 0;
  // Settle's own 5 s and the 1 s of grace: well within this.
  for (int i = 0; i < 300 && waitpid(pid, &status, WNOHANG) == 0; ++i) usleep(50000);
  if (waitpid(pid, &status, WNOHANG) == 0 && !WIFEXITED(status)) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    ADD_FAILURE() << "uirun hung on the stopped server";
  }
  std::string rest;
  while (read(out[0], &c, 1) == 1) rest += c;
  close(out[0]);
  server.signal(SIGCONT);
  std::ifstream in(err);
  std::stringstream text;
  text << in.rdbuf();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3);
  EXPECT_EQ(text.str(), script.string() +
                            ":3: settle: deadline of 6000 ms expired (the X server does not "
                            "answer)\n");
  EXPECT_EQ(rest, "") << "nothing after the stuck command ran";
  fs::remove_all(dir);
}

}  // namespace
