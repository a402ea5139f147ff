#ifndef DATATESTSUPPORT_H
#define DATATESTSUPPORT_H

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Language.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "UserDialog.h"

// Records what reaches the user and answers questions from a script.
struct DialogScript : UserDialog::Script {
  std::vector<std::string> alerts;
  std::vector<std::string> questions;
  std::vector<std::vector<std::string>> buttons;
  std::deque<int> answers;
  int beeps = 0;

  DialogScript() { UserDialog::script(this); }
  ~DialogScript() override { UserDialog::script(nullptr); }

  void alert(const char* text) override { alerts.push_back(text); }
  int choice(const char* text, const char* b0, const char* b1, const char* b2) override {
    questions.push_back(text);
    buttons.push_back({b0 ? b0 : "", b1 ? b1 : "", b2 ? b2 : ""});
    if (answers.empty()) return 0;
    int a = answers.front();
    answers.pop_front();
    return a;
  }
  void beep() override { beeps++; }
};

// A case in a fresh working directory, with the user's side scripted; the
// translation table read from that directory goes with it.
class DataTest : public ::testing::Test {
protected:
  ~DataTest() override { Language::destroy(); }
  TempDir dir{TempDir::Entered};
  DialogScript dialogs;
};

// Runs fn in a child process that may write files of at most limit bytes.
inline int runWithFileSizeLimit(rlim_t limit, const std::function<int()>& fn) {
  fflush(nullptr);
  pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit rl = {limit, limit};
    if (setrlimit(RLIMIT_FSIZE, &rl) != 0) _exit(99);
    _exit(fn());
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#endif
