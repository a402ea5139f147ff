#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "BSystem.h"

namespace {
std::mutex g_runtimeMutex;
int g_lockFd = -1;
std::string g_lockPath;
std::string g_lockName;

std::string runtimeDir() {
  const char* xdg = getenv("XDG_RUNTIME_DIR");
  if (xdg && *xdg && access(xdg, W_OK) == 0) return xdg;
  std::string dir = "/tmp/kestrum-" + std::to_string(getuid());
  mkdir(dir.c_str(), 0700);
  return dir;
}

std::string safeName(const std::string& name) {
  std::string out;
  for (char c : name) out += (isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.') ? c : '_';
  return out;
}
}  // namespace

std::string BSystem::lockPath(const std::string& name) { return runtimeDir() + "/" + safeName(name) + ".lock"; }

BSystem::LockResult BSystem::createLock(const std::string& name) {
  closeLock();
  std::string path = lockPath(name);
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return LOCK_ERROR;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int err = errno;
    close(fd);
    return err == EWOULDBLOCK ? LOCK_EXISTS : LOCK_ERROR;
  }
  // The holder's pid helps the user find the other instance.
  if (ftruncate(fd, 0) == 0) {
    std::string pid = std::to_string(getpid()) + "\n";
    if (write(fd, pid.data(), pid.size()) < 0) { /* the lock itself is what matters */ }
  }
  g_lockFd = fd;
  g_lockPath = path;
  g_lockName = name;
  return LOCK_OK;
}

void BSystem::closeLock() {
  if (g_lockFd < 0) return;
  unlink(g_lockPath.c_str());
  close(g_lockFd);
  g_lockFd = -1;
  g_lockPath.clear();
}

bool BSystem::lockHeld() { return g_lockFd >= 0; }
const std::string& BSystem::lockName() { return g_lockName; }

long BSystem::lockHolder(const std::string& name) {
  FILE* f = fopen(lockPath(name).c_str(), "r");
  if (!f) return 0;
  long pid = 0;
  if (fscanf(f, "%ld", &pid) != 1) pid = 0;
  fclose(f);
  return pid;
}

void BSystem::lock() { g_runtimeMutex.lock(); }
void BSystem::unlock() { g_runtimeMutex.unlock(); }
