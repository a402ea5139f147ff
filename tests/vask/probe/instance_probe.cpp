// Starts the runtime's main state under the instance name given as the first
// argument, reports the outcome on standard output and, when it runs, waits
// until it is killed.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "BDiag.h"
#include "BMainState.h"
#include "BScheduler.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  BDiag::remoteSink([](const std::string& text) {
    fputs(text.c_str(), stdout);
    fflush(stdout);
  });
  BMainState::mutexId(argv[1]);
  BMainState* main = new BMainState();
  main->startup();
  if (BScheduler::systemStatus() != BScheduler::SYSTEM_SLEEPING) {
    printf("refused\n");
    fflush(stdout);
    for (int i = 0; i < 100 && !BScheduler::terminated(); ++i) BScheduler::step();
    delete main;
    return 1;
  }
  printf("running %ld\n", static_cast<long>(getpid()));
  fflush(stdout);
  for (;;) pause();
}
