#ifndef BSYSTEM_H
#define BSYSTEM_H

#include <string>

// The runtime lock and the single-instance guard of the platform.
class BSystem {
public:
  enum LockResult { LOCK_OK = 0, LOCK_EXISTS = 1, LOCK_ERROR = 2 };

  // Takes the process-wide instance lock of that name. LOCK_EXISTS when
  // another living process holds it; the lock dies with the process.
  // LOCK_ERROR (with lockError() saying why) when no safe lock file can be
  // had: the directory is not private to the user, or the name is a link.
  static LockResult createLock(const std::string& name);
  static const std::string& lockError();
  // Releases the instance lock (the lock file is removed).
  static void closeLock();
  static bool lockHeld();
  // Name of the instance lock taken last (empty when none).
  static const std::string& lockName();
  // Where the lock file of a name lives.
  static std::string lockPath(const std::string& name);
  // Process id of the holder of an existing lock, or 0.
  static long lockHolder(const std::string& name);

  // Serialises the scheduler's status and counters and the fixed queues.
  static void lock();
  static void unlock();
};

#endif
