#include "WorkDir.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

const char* const WorkDir::CONFIG_FILE = "config.ini";

namespace {

// The path with its links and dots resolved as far as it exists.
fs::path resolved(const fs::path& p) {
  std::error_code ec;
  fs::path r = fs::weakly_canonical(p, ec);
  return ec ? p.lexically_normal() : r.lexically_normal();
}

bool samePlace(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  if (fs::equivalent(a, b, ec)) return true;
  return resolved(a) == resolved(b);
}

bool usableBase(const char* dir) { return dir && *dir && fs::path(dir).is_absolute(); }

}  // namespace

std::string WorkDir::programFile(const char* argv0) {
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec && self.is_absolute()) return self.string();
  if (!argv0) return std::string();
  fs::path p = fs::absolute(argv0, ec);
  return ec ? std::string(argv0) : p.string();
}

WorkDir WorkDir::choose(const std::string& cwd, const std::string& program, const char* dataHome, const char* home) {
  WorkDir w;
  std::error_code ec;
  if (program.empty()) return w;
  fs::path share = resolved(fs::path(program).parent_path() / ".." / "share" / "kestrum");
  if (!fs::is_directory(share, ec)) return w;  // the build tree: stay where started
  w._shareDir = share.string();

  // A directory with its own configuration is where the user wants to work;
  // the shipped files themselves are never worked on.
  if (fs::is_regular_file(fs::path(cwd) / CONFIG_FILE, ec) && !samePlace(cwd, share)) return w;

  fs::path base;
  if (usableBase(dataHome)) {
    base = dataHome;
  } else if (usableBase(home)) {
    base = fs::path(home) / ".local" / "share";
  } else {
    w._note = "no per-user directory: neither XDG_DATA_HOME nor HOME names an absolute directory";
    return w;
  }
  fs::path user = resolved(base / "kestrum");
  // Installed with the prefix ~/.local the shipped files are in that very
  // directory, and a reinstall would replace the user's config.ini there.
  if (samePlace(user, share)) user /= "work";
  w._dir = user.string();
  return w;
}

int WorkDir::prepare(std::string& why) const {
  why.clear();
  if (_dir.empty() || _shareDir.empty()) return 0;
  std::error_code ec;
  const fs::path dir(_dir), share(_shareDir);
  fs::create_directories(dir, ec);
  if (ec || !fs::is_directory(dir)) {
    why = "cannot make " + _dir + (ec ? ": " + ec.message() : ": not a directory");
    return -1;
  }
  if (fs::exists(fs::symlink_status(dir / CONFIG_FILE, ec))) return 0;

  int copied = 0;
  bool complete = true;
  auto copyOne = [&](const fs::path& from, const fs::path& to) {
    std::error_code e;
    if (fs::exists(fs::symlink_status(to, e))) return;  // the user's own file
    if (!fs::copy_file(from, to, e) || e) {
      if (why.empty()) why = "cannot copy " + from.string() + " to " + to.string() + ": " + e.message();
      complete = false;
      return;
    }
    // Installed files may be read-only; the user's copies are the user's.
    fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add, e);
    ++copied;
  };

  fs::recursive_directory_iterator it(share, ec), end;
  if (ec) {
    why = "cannot read " + _shareDir + ": " + ec.message();
    return 0;
  }
  for (; it != end; it.increment(ec)) {
    if (ec) {
      complete = false;
      break;
    }
    const fs::path rel = it->path().lexically_relative(share);
    if (rel == CONFIG_FILE) continue;  // last: it marks the directory as prepared
    std::error_code e;
    if (it->is_directory(e)) {
      if (samePlace(it->path(), dir)) {
        it.disable_recursion_pending();  // the per-user directory inside the shared one
        continue;
      }
      fs::create_directories(dir / rel, e);
      if (e) complete = false;
    } else if (it->is_regular_file(e)) {
      copyOne(it->path(), dir / rel);
    }
  }
  // Only a complete copy is marked; an interrupted one is finished next time.
  if (complete && fs::is_regular_file(share / CONFIG_FILE, ec)) copyOne(share / CONFIG_FILE, dir / CONFIG_FILE);
  return copied;
}
