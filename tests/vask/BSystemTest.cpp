// The single-instance lock: its name, and where its file may live.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "BMainState.h"
#include "BScheduler.h"
#include "BSystem.h"
#include "DiagCapture.h"
#include "TempDir.h"
#include "TestFiles.h"

namespace fs = std::filesystem;

// (A second process under a taken name is refused: the process tests.)
TEST(SingleInstance, NameShorterThanEightIsRefused) {
  DiagCapture cap;
  BMainState::mutexId("abc");
  BMainState* main = new BMainState();
  main->startup();
  EXPECT_EQ(BScheduler::systemStatus(), BScheduler::SYSTEM_TERMINATING);
  EXPECT_TRUE(cap.has("Exception: Error!! BMainState::_mutexId not set by Application !!\n"));
  EXPECT_FALSE(BSystem::lockHeld());
  for (int i = 0; i < 100 && !BScheduler::terminated(); ++i) BScheduler::step();
  delete main;
  BScheduler::reset();
}

// The lock file may only ever be a file of this user in a directory of this
// user that nobody else can reach: another local user must not be able to
// hold our lock, nor make us write into one of our files.
namespace {
const std::string kName = "Vask_locktest_MutexId";

// Points the lock at runtime (XDG_RUNTIME_DIR) and the fallback's parent
// (TMPDIR) for the life of the object. The test process owns both.
struct LockPlace {
  LockPlace(const std::string& runtime, const std::string& tmp) {
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    setenv("TMPDIR", tmp.c_str(), 1);
  }
  ~LockPlace() {
    BSystem::closeLock();
    unsetenv("XDG_RUNTIME_DIR");
    unsetenv("TMPDIR");
  }
};
}  // namespace

TEST(InstanceLock, PrivateDirectoryHoldsTheLockWithThePidAndLosesItAtClose) {
  TempDir runtime, tmp;
  LockPlace place(runtime.path(), tmp.path());
  ASSERT_EQ(BSystem::LOCK_OK, BSystem::createLock(kName)) << BSystem::lockError();
  std::string path = BSystem::lockPath(kName);
  EXPECT_EQ(0u, path.rfind(runtime.path() + "/", 0)) << path;
  EXPECT_EQ(std::to_string(getpid()) + "\n", readFile(path));
  BSystem::closeLock();
  EXPECT_FALSE(fs::exists(path));
}

TEST(InstanceLock, UnsafePlacesAreRefusedWithAReasonAndNothingIsWrittenThrough) {
  struct Case {
    const char* what;
    // Prepares the runtime directory and TMPDIR; returns the file that must
    // stay untouched ("" for none).
    std::function<std::string(const std::string& runtime, const std::string& tmp)> prepare;
    const char* reason;
  } cases[] = {
      {"lock name is a link to a file of the user",
       [](const std::string& runtime, const std::string& tmp) {
         std::string victim = tmp + "/precious.txt";
         writeFile(victim, "precious\n");
         fs::create_symlink(victim, runtime + "/" + kName + ".lock");
         return victim;
       },
       "Too many levels of symbolic links"},
      {"runtime and fallback directories open to others",
       [](const std::string& runtime, const std::string& tmp) {
         chmod(runtime.c_str(), 0777);
         std::string fallback = tmp + "/kestrum-" + std::to_string(getuid());
         mkdir(fallback.c_str(), 0700);
         chmod(fallback.c_str(), 0777);
         return std::string();
       },
       "is open to other users (mode 777)"},
      {"fallback directory is a link",
       [](const std::string& runtime, const std::string& tmp) {
         chmod(runtime.c_str(), 0755);
         fs::create_directory(tmp + "/elsewhere");
         chmod((tmp + "/elsewhere").c_str(), 0700);
         fs::create_directory_symlink(tmp + "/elsewhere", tmp + "/kestrum-" + std::to_string(getuid()));
         return std::string();
       },
       "is not a directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir runtime, tmp;
    std::string untouched = c.prepare(runtime.path(), tmp.path());
    {
      LockPlace place(runtime.path(), tmp.path());
      EXPECT_EQ(BSystem::LOCK_ERROR, BSystem::createLock(kName));
      EXPECT_NE(std::string::npos, BSystem::lockError().find(c.reason)) << BSystem::lockError();
      EXPECT_FALSE(BSystem::lockHeld());
    }
    if (!untouched.empty()) {
      EXPECT_EQ("precious\n", readFile(untouched));
    }
    chmod(runtime.path().c_str(), 0700);
  }
}
