#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "ChildProcess.h"
#include "TempDir.h"
#include "SwVersion.h"

// The Debian package: made by cpack from this build, it holds exactly what
// cmake --install installs (under /usr), declares what the program needs at
// run time, and the program in it runs.

namespace fs = std::filesystem;

namespace {

std::string cpackCommand() {
  fs::path cmake(KESTRUM_CMAKE_COMMAND);
  return (cmake.parent_path() / "cpack").string();
}

// Regular files below dir, as paths relative to it.
std::set<std::string> filesUnder(const fs::path& dir) {
  std::set<std::string> out;
  for (const auto& f : fs::recursive_directory_iterator(dir))
    if (f.is_regular_file() || f.is_symlink()) out.insert(fs::relative(f.path(), dir).string());
  return out;
}

std::string field(const std::string& control, const std::string& name) {
  std::istringstream in(control);
  for (std::string line; std::getline(in, line);)
    if (line.rfind(name + ": ", 0) == 0) return line.substr(name.size() + 2);
  return "";
}

}  // namespace

TEST(DebPackage, HoldsWhatInstallInstallsDeclaresItsLibrariesAndRuns) {
  std::string version = Sw_VERSION;
  version = version.substr(version.find_first_of("0123456789"));
  TempDir out, prefix, root, start;
  ChildProcess cpack({cpackCommand(), "-G", "DEB", "-B", out.path(), "--config",
                      std::string(KESTRUM_BINARY_DIR) + "/CPackConfig.cmake"},
                     {}, KESTRUM_BINARY_DIR);
  ASSERT_EQ(cpack.waitExit(300000), 0) << cpack.out() << cpack.err();
  const std::string deb = out.path() + "/kestrum_" + version + "_amd64.deb";
  ASSERT_TRUE(fs::is_regular_file(deb)) << cpack.out();

  ChildProcess info({"/usr/bin/dpkg-deb", "-f", deb}, {}, out.path());
  ASSERT_EQ(info.waitExit(), 0) << info.err();
  const std::string control = info.out();
  EXPECT_EQ("kestrum", field(control, "Package"));
  EXPECT_EQ(version, field(control, "Version"));
  EXPECT_EQ("amd64", field(control, "Architecture"));
  EXPECT_NE("", field(control, "Maintainer"));
  const std::string depends = ", " + field(control, "Depends");
  for (const char* lib : {"libfltk1.3", "libfltk-images1.3", "libc6", "libstdc++6", "libx11-6"})
    EXPECT_NE(std::string::npos, depends.find(std::string(", ") + lib)) << lib << "\n" << control;

  // The same files as an installation into a prefix.
  ChildProcess install({KESTRUM_CMAKE_COMMAND, "--install", KESTRUM_BINARY_DIR, "--prefix", prefix.path()});
  ASSERT_EQ(install.waitExit(120000), 0) << install.err();
  ChildProcess unpack({"/usr/bin/dpkg-deb", "-x", deb, root.path()}, {}, out.path());
  ASSERT_EQ(unpack.waitExit(60000), 0) << unpack.err();
  std::set<std::string> packaged = filesUnder(fs::path(root.path()) / "usr");
  EXPECT_EQ(filesUnder(prefix.path()), packaged);
  EXPECT_EQ(1u, packaged.count("bin/kestrum"));
  EXPECT_EQ(1u, packaged.count("share/man/man1/kestrum.1"));

  const std::string kestrum = root.path() + "/usr/bin/kestrum";
  ChildProcess help({kestrum, "help"}, {}, start.path());
  EXPECT_EQ(help.waitExit(), 0) << help.err();
  EXPECT_EQ(0u, help.out().find(std::string(79, '#') + "\n# Usage: " + kestrum + "\n")) << help.out();
}
