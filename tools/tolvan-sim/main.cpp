// tolvan-sim: plays a Tolvan device on a pseudo-terminal, for tests and for
// trying the program without hardware.
#include "SimApp.h"
#include "SimOptions.h"

#include <cstdio>

int main(int argc, char** argv) {
  SimOptions options;
  if (!options.parse(argc, argv)) {
    fprintf(stderr, "tolvan-sim: %s\n%s", options.error().c_str(), SimOptions::usage());
    return 2;
  }
  if (options.help()) {
    fputs(SimOptions::usage(), stdout);
    return 0;
  }
  SimApp app(options);
  return app.run();
}
