#ifndef EXIT_CODE_H
#define EXIT_CODE_H

// How a command-line run ends, as its exit code. Scripts on a production
// bench read these, so a value never changes once given; 1 has always meant
// "no device that takes the work" and keeps that meaning.
enum ExitCode : int {
  EXIT_OK = 0,                // the work was done (and, when asked, verified)
  EXIT_DEVICE_LOST = 1,       // no device found within the wait, or it stopped answering
  EXIT_INPUT_UNUSABLE = 2,    // a file, directory, option or entry that cannot be used
  EXIT_VERIFY_DIFFERS = 3,    // the device holds settings other than the file's
  EXIT_ANOTHER_INSTANCE = 4,  // another instance of the program holds the lock
  EXIT_INTERRUPTED = 130,     // ended by SIGTERM or SIGINT before the work was done
};

#endif
