#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "ChildProcess.h"
#include "TempDir.h"
#include "ExitCode.h"
#include "SwVersion.h"

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<fs::path> packsIn(const fs::path& dir) {
  std::vector<fs::path> packs;
  std::error_code ec;
  for (const auto& f : fs::directory_iterator(dir / "RevPacks", ec))
    if (f.path().extension() == ".rpa") packs.push_back(f.path());
  return packs;
}

// Regular files and links below dir, as paths relative to it.
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

// cmake --install into a temporary prefix, then the installed kestrum: run
// elsewhere than in a configured directory it prepares and works in the
// per-user directory (building a revision pack needs no display, so the run
// ends by itself). The Debian package holds the same files and runs too.
TEST(Install, InstalledProgramWorksInThePerUserDirectoryAndThePackageHoldsTheSameFiles) {
  TempDir prefix, home, runtime, start, out, root;
  ChildProcess install({KESTRUM_CMAKE_COMMAND, "--install", KESTRUM_BINARY_DIR, "--prefix", prefix.path()});
  ASSERT_EQ(install.waitExit(120000), 0) << install.out() << install.err();
  const fs::path p(prefix.path());
  for (const char* f : {"bin/kestrum", "bin/tolvan-sim", "share/kestrum/config.csv", "share/kestrum/help/algemeen.html",
                        "share/applications/kestrum.desktop", "share/icons/hicolor/32x32/apps/kestrum.png"})
    EXPECT_TRUE(fs::is_regular_file(p / f)) << f;
  // The man pages carry every option of the usage texts and the one table
  // of exit codes, the same as the README's.
  std::string page = readAll(p / "share/man/man1/kestrum.1");
  for (const char* o : {"\\-cmdl_crtrpa", "\\-bindir", "\\-createrevpack", "\\-nohwcheck", "\\-upgrade", "\\-revpack",
                        "\\-binfile", "\\-allownobackup", "\\-program"})
    EXPECT_NE(page.find(std::string(".TP\n\\fB") + o + "\\fR"), std::string::npos) << o << "\n" << page;
  EXPECT_EQ(page.find("@OPTIONS@"), std::string::npos);
  const std::string readme = readAll(fs::path(KESTRUM_SOURCE_DIR) / "README.md");
  for (int code :
       {EXIT_OK, EXIT_DEVICE_LOST, EXIT_INPUT_UNUSABLE, EXIT_VERIFY_DIFFERS, EXIT_ANOTHER_INSTANCE, EXIT_INTERRUPTED}) {
    EXPECT_NE(page.find(".TP\n.B " + std::to_string(code) + "\n"), std::string::npos) << code;
    EXPECT_NE(readme.find("\n| " + std::to_string(code) + " | "), std::string::npos) << code;
  }
  EXPECT_NE(readAll(p / "share/man/man1/tolvan-sim.1").find("\\fB\\-\\-link\\fR \\fIPATH\\fR"), std::string::npos);

  const std::string kestrum = (p / "bin/kestrum").string();
  ChildProcess help({kestrum, "help"}, {{"HOME", home.path()}}, start.path());
  EXPECT_EQ(help.waitExit(), 0);
  EXPECT_EQ(help.out().find(std::string(79, '#') + "\n# Usage: " + kestrum + "\n"), 0u) << help.out();
  EXPECT_FALSE(fs::exists(home.path() + "/.local"));

  std::string image(4096, '0');
  image.replace(2048, 15, "H.49TL8888GM-ED");
  image.replace(2112, 22, "VERSION: TL-6.12SPEC01");
  fs::create_directories(start.path() + "/bins");
  std::ofstream(start.path() + "/bins/TL8888GM-ED v6.12.bin", std::ios::binary) << image;
  std::vector<std::pair<std::string, std::string>> env = {
      {"HOME", home.path()}, {"XDG_DATA_HOME", ""}, {"XDG_RUNTIME_DIR", runtime.path()}, {"DISPLAY", ""}};
  ChildProcess run({kestrum, "-cmdl_crtrpa", "-bindir", "bins"}, env, start.path());
  ASSERT_EQ(run.waitExit(60000), 0) << run.out() << run.err();
  const fs::path user = fs::path(home.path()) / ".local/share/kestrum";
  EXPECT_NE(run.err().find("kestrum: Prepared " + user.string() + " from " + (p / "share/kestrum").string()),
            std::string::npos)
      << run.err();
  EXPECT_TRUE(fs::is_regular_file(user / "help/algemeen.html"));
  EXPECT_TRUE(fs::is_regular_file(user / "dbgTraceCommands.txt"));
  // The relative bin directory was read where the user gave it; the pack
  // went into the per-user directory, named with the shipped customer name.
  std::vector<fs::path> packs = packsIn(user);
  ASSERT_EQ(packs.size(), 1u);
  EXPECT_NE(readAll(packs[0]).find("Tolvan 8888 GSM v6.12.bin"), std::string::npos);
  EXPECT_FALSE(fs::exists(start.path() + "/RevPacks"));
  // Started in a directory with its own configuration, it works there.
  std::ofstream(start.path() + "/config.ini") << "tolvantype=TL8888GM-ED;Meter A\n";
  ChildProcess own({kestrum, "-cmdl_crtrpa", "-bindir", "bins"}, env, start.path());
  ASSERT_EQ(own.waitExit(60000), 0) << own.out() << own.err();
  packs = packsIn(start.path());
  ASSERT_EQ(packs.size(), 1u);
  EXPECT_NE(readAll(packs[0]).find("Meter A v6.12.bin"), std::string::npos);
  EXPECT_EQ(own.err().find("Prepared"), std::string::npos) << own.err();

  std::string version = Sw_VERSION;
  version = version.substr(version.find_first_of("0123456789"));
  const std::string cpack = (fs::path(KESTRUM_CMAKE_COMMAND).parent_path() / "cpack").string();
  ChildProcess pack({cpack, "-G", "DEB", "-B", out.path(), "--config", KESTRUM_BINARY_DIR "/CPackConfig.cmake"}, {},
                    KESTRUM_BINARY_DIR);
  ASSERT_EQ(pack.waitExit(300000), 0) << pack.out() << pack.err();
  const std::string deb = out.path() + "/kestrum_" + version + "_amd64.deb";
  ChildProcess info({"/usr/bin/dpkg-deb", "-f", deb}, {}, out.path());
  ASSERT_EQ(info.waitExit(), 0) << info.err();
  EXPECT_EQ("kestrum", field(info.out(), "Package"));
  EXPECT_EQ(version, field(info.out(), "Version"));
  EXPECT_EQ("amd64", field(info.out(), "Architecture"));
  EXPECT_NE("", field(info.out(), "Maintainer"));
  const std::string depends = ", " + field(info.out(), "Depends");
  for (const char* lib : {"libfltk1.3", "libfltk-images1.3", "libc6", "libstdc++6", "libx11-6"})
    EXPECT_NE(std::string::npos, depends.find(std::string(", ") + lib)) << lib << "\n" << info.out();
  ChildProcess unpack({"/usr/bin/dpkg-deb", "-x", deb, root.path()}, {}, out.path());
  ASSERT_EQ(unpack.waitExit(60000), 0) << unpack.err();
  EXPECT_EQ(filesUnder(prefix.path()), filesUnder(fs::path(root.path()) / "usr"));
  ChildProcess packaged({root.path() + "/usr/bin/kestrum", "help"}, {}, start.path());
  EXPECT_EQ(packaged.waitExit(), 0) << packaged.err();
  EXPECT_NE(packaged.out().find("# Usage: " + root.path() + "/usr/bin/kestrum\n"), std::string::npos);
}
