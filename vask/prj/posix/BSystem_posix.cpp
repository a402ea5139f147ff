#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "BSystem.h"

namespace {
std::mutex g_runtimeMutex;
int g_lockFd = -1;
std::string g_lockPath;
std::string g_lockName;
std::string g_lockError;

// A directory only this user can reach: ours, a real directory (not a link
// to one), and closed to group and others. Anything else could let another
// user hold our lock or plant a link at the lock file's name.
bool privateDir(const std::string& dir, std::string& why) {
  struct stat st;
  if (lstat(dir.c_str(), &st) != 0) {
    why = dir + ": " + strerror(errno);
    return false;
  }
  if (!S_ISDIR(st.st_mode)) {
    why = dir + " is not a directory";
    return false;
  }
  if (st.st_uid != getuid()) {
    why = dir + " belongs to another user";
    return false;
  }
  if (st.st_mode & (S_IRWXG | S_IRWXO)) {
    char mode[8];
    snprintf(mode, sizeof mode, "%03o", static_cast<unsigned>(st.st_mode & 0777));
    why = dir + " is open to other users (mode " + mode + ")";
    return false;
  }
  return true;
}

std::string fallbackDir() {
  const char* tmp = getenv("TMPDIR");
  return std::string(tmp && *tmp ? tmp : "/tmp") + "/kestrum-" + std::to_string(getuid());
}

// The directory of the lock files, or empty (with why) when none is safe.
std::string runtimeDir(std::string& why) {
  const char* xdg = getenv("XDG_RUNTIME_DIR");
  std::string ignored;
  if (xdg && *xdg && access(xdg, W_OK) == 0 && privateDir(xdg, ignored)) return xdg;
  std::string dir = fallbackDir();
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
    why = dir + ": " + strerror(errno);
    return "";
  }
  if (!privateDir(dir, why)) return "";
  return dir;
}

std::string lockFile(const std::string& dir, const std::string& name) {
  std::string out;
  for (char c : name) out += (isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.') ? c : '_';
  return dir + "/" + out + ".lock";
}

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }
}  // namespace

std::string BSystem::lockPath(const std::string& name) {
  std::string why;
  std::string dir = runtimeDir(why);
  return lockFile(dir.empty() ? fallbackDir() : dir, name);
}

const std::string& BSystem::lockError() { return g_lockError; }

BSystem::LockResult BSystem::createLock(const std::string& name) {
  closeLock();
  g_lockError.clear();
  std::string dir = runtimeDir(g_lockError);
  if (dir.empty()) {
    g_lockError = "no private directory for the lock: " + g_lockError;
    return LOCK_ERROR;
  }
  std::string path = lockFile(dir, name);
  // Another instance may unlink the file between our open and our lock; the
  // lock counts only on the file that still carries the name.
  for (int attempt = 0; attempt < 10; ++attempt) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      g_lockError = path + ": " + strerror(errno);
      return LOCK_ERROR;
    }
    struct stat held;
    if (fstat(fd, &held) != 0 || !S_ISREG(held.st_mode) || held.st_uid != getuid()) {
      close(fd);
      g_lockError = path + " is not a lock file of this user";
      return LOCK_ERROR;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      int err = errno;
      close(fd);
      if (err == EWOULDBLOCK) return LOCK_EXISTS;
      g_lockError = path + ": " + strerror(err);
      return LOCK_ERROR;
    }
    struct stat named;
    if (stat(path.c_str(), &named) != 0 || !sameFile(held, named)) {
      close(fd);  // unlinked (or replaced) by the instance that just ended
      continue;
    }
    // Ours and locked: the holder's pid helps the user find the instance.
    if (ftruncate(fd, 0) == 0) {
      std::string pid = std::to_string(getpid()) + "\n";
      if (write(fd, pid.data(), pid.size()) < 0) { /* the lock itself is what matters */ }
    }
    g_lockFd = fd;
    g_lockPath = path;
    g_lockName = name;
    return LOCK_OK;
  }
  g_lockError = path + " keeps changing";
  return LOCK_ERROR;
}

void BSystem::closeLock() {
  if (g_lockFd < 0) return;
  // Removed while still locked: whoever opened the old file finds, once it
  // has the lock, that the name no longer carries it, and opens again.
  unlink(g_lockPath.c_str());
  close(g_lockFd);
  g_lockFd = -1;
  g_lockPath.clear();
}

bool BSystem::lockHeld() { return g_lockFd >= 0; }
const std::string& BSystem::lockName() { return g_lockName; }

long BSystem::lockHolder(const std::string& name) {
  int fd = open(lockPath(name).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return 0;
  char buf[32] = {0};
  ssize_t n = read(fd, buf, sizeof buf - 1);
  close(fd);
  if (n <= 0) return 0;
  return strtol(buf, nullptr, 10);
}

void BSystem::lock() { g_runtimeMutex.lock(); }
void BSystem::unlock() { g_runtimeMutex.unlock(); }
