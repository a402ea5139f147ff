#include "BDiag.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "LListReport.h"

namespace {
void discard(const std::string&) {}
BDiag::Sink g_remote = discard;
BDiag::Sink g_log = discard;
BDiag::Sink g_command = discard;
BDiag::Registrar g_registrar = nullptr;
BDiag::ReRouter g_reRouter = nullptr;
BDiag::Lifecycle g_create = nullptr;
BDiag::Lifecycle g_destroy = nullptr;

// The list templates report a misuse as a failed assertion of the caller.
void listMisuse(const char* file, int line, const char* message) { BDiag::assertion(file, line, "0", message); }
struct ListReporterInstaller {
  ListReporterInstaller() { llistReporter() = listMisuse; }
} g_listReporterInstaller;
}  // namespace

void BDiag::remoteSink(Sink sink) { g_remote = sink ? sink : discard; }
void BDiag::logSink(Sink sink) { g_log = sink ? sink : discard; }
BDiag::Sink BDiag::remoteSink() { return g_remote; }
BDiag::Sink BDiag::logSink() { return g_log; }

void BDiag::traceHooks(Registrar registrar, ReRouter reRouter, Lifecycle create, Lifecycle destroy) {
  g_registrar = registrar;
  g_reRouter = reRouter;
  g_create = create;
  g_destroy = destroy;
}
void BDiag::registerRootState(bool add, BRootState* root) {
  if (g_registrar) g_registrar(add, root);
}
bool BDiag::reRouteEvent(BEvent* e, ModuleId mod, ComponentId cmp) { return g_reRouter ? g_reRouter(e, mod, cmp) : false; }
void BDiag::createTrace() {
  if (g_create) g_create();
}
void BDiag::destroyTrace() {
  if (g_destroy) g_destroy();
}

void BDiag::commandRunner(Sink runner) { g_command = runner ? runner : discard; }
void BDiag::command(const std::string& text) { g_command(text); }

void BDiag::remote(const std::string& text) { g_remote(text); }
void BDiag::log(const std::string& text) { g_log(text); }

std::string BDiag::timeStamp() {
  time_t now = time(nullptr);
  struct tm tmv;
  localtime_r(&now, &tmv);
  char buf[64];
  snprintf(buf, sizeof buf, "%d/%02d/%02d/%02d:%02d:%02d", tmv.tm_year + 1900, tmv.tm_mon + 1,
           tmv.tm_mday, tmv.tm_hour, tmv.tm_min, tmv.tm_sec);
  return buf;
}

std::string BDiag::modulePath(const char* file) {
  std::string path = file ? file : "";
  std::string::size_type slash = path.find_last_of('/');
  std::string::size_type dot = path.find_last_of('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) path.erase(dot);
  return path;
}

void BDiag::assertion(const char* file, int line, const char* cond, const std::string& msg) {
  std::ostringstream os;
  os << modulePath(file) << ' ' << line << '\n' << "Assertion failed: " << cond << ' ' << msg << '\n';
  remote(os.str());
}

void BDiag::exception(const char* file, int line, const std::string& msg, bool fatal) {
  std::ostringstream os;
  os << timeStamp() << ' ' << modulePath(file) << ' ' << line << '\n'
     << (fatal ? "Fatal " : "") << "Exception: " << msg << '\n';
  remote(os.str());
  log(os.str());
}

void BDiag::downcastFailed(const char* file, int line, const char* type, const char* var) {
  std::ostringstream os;
  os << modulePath(file) << ' ' << line << '\n'
     << "Downcast failed: cannot cast " << var << " to type " << type << '\n';
  remote(os.str());
}

void BDiag::print(const std::string& text, bool stamp, bool newLine) {
  std::string line;
  if (stamp) line = timeStamp() + ";";
  line += text;
  if (newLine) line += '\n';
  remote(line);
  log(line);
}
