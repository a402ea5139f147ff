#ifndef SAFEFILEWRITER_H
#define SAFEFILEWRITER_H

#include <cstdio>
#include <string>

// Writes a file so that the old contents survive a failed write, a killed
// process and a power cut: the data goes to a scratch file in the same
// directory, which is flushed to the disk and then replaces the target; the
// directory is flushed after the rename. Every file the program writes for
// the user goes through here.
class SafeFileWriter {
public:
  explicit SafeFileWriter(const char* path);
  virtual ~SafeFileWriter();  // an uncommitted scratch file is removed

  // The stream to write to; null when the scratch file could not be made.
  FILE* open();
  // Flushes, closes and puts the file in place. False when anything failed;
  // the target is then untouched.
  bool commit();

  // Tells the user that the file was not saved and that the old one is kept.
  void reportFailure() const;

  const std::string& target() const { return _target; }

private:
  bool syncDir() const;

  std::string _given;
  std::string _target;
  std::string _tmp;
  FILE* _fd;
};

#endif
