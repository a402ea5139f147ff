#include "SimApp.h"

#include "SimClock.h"
#include "SimKvnFile.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int) {
  const char c = 's';
  ssize_t r = write(g_signalPipe[1], &c, 1);
  (void)r;
}

bool parseCount(const std::string& s, int lo, int hi, int& out) {
  if (s.empty())
    return false;
  char* end = nullptr;
  errno = 0;
  long v = strtol(s.c_str(), &end, 0);
  if (errno || *end || v < lo || v > hi)
    return false;
  out = static_cast<int>(v);
  return true;
}

}  // namespace

SimApp::SimApp(const SimOptions& options)
    : _opt(options), _line(options.baud()),
      _device(options, _log, [this](const SimBytes& unit, const std::string& what) {
        _log.unit("TX", unit, what);
        send(unit, what);
      }) {}

void SimApp::send(const SimBytes& unit, const std::string& what) {
  const double now = SimClock::ms();
  if (_held) {
    // Whatever the device sends meanwhile follows the held rest.
    _heldRest.insert(_heldRest.end(), unit.begin(), unit.end());
    return;
  }
  const bool frame = unit.size() > 1 && unit[0] == SimDevice::SOH && what != "noise";
  if (_splitBytes > 0 && frame) {
    const size_t first = std::min(static_cast<size_t>(_splitBytes), unit.size());
    _line.queueTx(SimBytes(unit.begin(), unit.begin() + first), now);
    _heldRest.assign(unit.begin() + first, unit.end());
    _held = true;
    _heldWhat = what;
    _heldFirst = first;
    _heldSize = unit.size();
    _heldUntil = -1;  // the pause starts when the first part is out
    _splitBytes = 0;
    return;
  }
  _line.queueTx(unit, now);
}

// The first part of a split frame is out: the pause runs; when it has
// passed (or on "release") the rest follows.
void SimApp::splitProgress(double now) {
  if (!_held)
    return;
  if (_heldUntil < 0) {
    if (_line.txPending())
      return;
    _heldUntil = now + _splitPauseMs;
    _log.note("split: " + std::to_string(_heldFirst) + " of " + std::to_string(_heldSize) + " bytes of " +
              _heldWhat + " sent, the rest in " + std::to_string(_splitPauseMs) + " ms or on release");
    return;
  }
  if (now < _heldUntil)
    return;
  _held = false;
  _log.note("split: the rest of " + _heldWhat + " follows");
  SimBytes rest;
  rest.swap(_heldRest);
  if (!rest.empty())
    _line.queueTx(rest, now);
}

SimApp::~SimApp() {
  if (!_opt.linkPath().empty())
    _pty.unlink(_opt.linkPath());
  if (_fifo >= 0)
    close(_fifo);
  if (_fifoKeeper >= 0)
    close(_fifoKeeper);
}

bool SimApp::setUp() {
  SimClock::ms();
  if (!_opt.logPath().empty() && !_log.open(_opt.logPath())) {
    fprintf(stderr, "tolvan-sim: cannot write log %s: %s\n", _opt.logPath().c_str(), strerror(errno));
    return false;
  }
  std::vector<SimEntry> entries(SimKvnFile::NR_ENTRIES + 1);
  entries[10].text(_opt.type());
  entries[20].text(_opt.special());
  if (!_opt.kvnIn().empty()) {
    std::string err;
    if (!SimKvnFile::load(_opt.kvnIn(), entries, err)) {
      fprintf(stderr, "tolvan-sim: cannot read settings: %s\n", err.c_str());
      return false;
    }
  }
  _device.entries(entries);

  if (pipe(g_signalPipe) != 0) {
    perror("tolvan-sim: pipe");
    return false;
  }
  fcntl(g_signalPipe[0], F_SETFL, O_NONBLOCK);
  fcntl(g_signalPipe[1], F_SETFL, O_NONBLOCK);
  struct sigaction sa;
  memset(&sa, 0, sizeof sa);
  sa.sa_handler = onSignal;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  if (!_opt.controlFifo().empty() && !openFifo())
    return false;
  fcntl(_stdin, F_SETFL, fcntl(_stdin, F_GETFL) | O_NONBLOCK);

  if (!_pty.open()) {
    fprintf(stderr, "tolvan-sim: %s\n", _pty.error().c_str());
    return false;
  }
  if (!_opt.linkPath().empty() && !_pty.link(_opt.linkPath())) {
    fprintf(stderr, "tolvan-sim: cannot link: %s\n", _pty.error().c_str());
    return false;
  }
  _log.note("started on " + _pty.slavePath() + " in mode " + SimDevice::modeName(_device.mode()));
  printf("PORT %s\n", _pty.slavePath().c_str());
  if (_opt.ready())
    printf("READY\n");
  fflush(stdout);
  return true;
}

bool SimApp::openFifo() {
  struct stat st;
  if (stat(_opt.controlFifo().c_str(), &st) != 0) {
    if (mkfifo(_opt.controlFifo().c_str(), 0600) != 0) {
      fprintf(stderr, "tolvan-sim: mkfifo %s: %s\n", _opt.controlFifo().c_str(), strerror(errno));
      return false;
    }
  } else if (!S_ISFIFO(st.st_mode)) {
    fprintf(stderr, "tolvan-sim: %s is not a FIFO\n", _opt.controlFifo().c_str());
    return false;
  }
  _fifo = open(_opt.controlFifo().c_str(), O_RDONLY | O_NONBLOCK);
  // Our own writer keeps the FIFO from reporting end of file each time a
  // client closes it.
  _fifoKeeper = open(_opt.controlFifo().c_str(), O_WRONLY | O_NONBLOCK);
  if (_fifo < 0 || _fifoKeeper < 0) {
    fprintf(stderr, "tolvan-sim: %s: %s\n", _opt.controlFifo().c_str(), strerror(errno));
    return false;
  }
  return true;
}

int SimApp::run() {
  if (!setUp())
    return 1;
  while (!_quit)
    loopOnce();
  _log.note("stopped");
  return _exitCode;
}

void SimApp::loopOnce() {
  double now = SimClock::ms();
  uint8_t b;
  while (_line.takeVisible(now, b))
    _device.receive(b, now);
  _device.poll(now);
  now = SimClock::ms();
  if (_pty.isOpen() && !_line.writeDue(_pty.master(), now)) {
    _log.note(std::string("write failed: ") + strerror(errno));
    _line.clear();
  }
  splitProgress(SimClock::ms());

  double due = _line.nextDue();
  double devDue = _device.nextDue();
  if (devDue >= 0 && (due < 0 || devDue < due))
    due = devDue;
  if (_held && _heldUntil >= 0 && (due < 0 || _heldUntil < due))
    due = _heldUntil;
  double waitMs = due < 0 ? 1000.0 : due - SimClock::ms();
  if (waitMs < 0)
    waitMs = 0;
  if (waitMs > 1000)
    waitMs = 1000;

  pollfd fds[4];
  int n = 0;
  int iPty = -1, iStdin = -1, iFifo = -1;
  fds[n] = {g_signalPipe[0], POLLIN, 0};
  ++n;
  if (_pty.isOpen()) {
    iPty = n;
    fds[n++] = {_pty.master(), static_cast<short>(POLLIN | (_line.blocked() ? POLLOUT : 0)), 0};
  }
  if (_stdin >= 0) {
    iStdin = n;
    fds[n++] = {_stdin, POLLIN, 0};
  }
  if (_fifo >= 0) {
    iFifo = n;
    fds[n++] = {_fifo, POLLIN, 0};
  }
  timespec ts;
  ts.tv_sec = static_cast<time_t>(waitMs / 1000);
  ts.tv_nsec = static_cast<long>((waitMs - ts.tv_sec * 1000.0) * 1.0e6);
  int r = ppoll(fds, n, &ts, nullptr);
  if (r <= 0)
    return;
  if (fds[0].revents) {
    char buf[16];
    while (read(g_signalPipe[0], buf, sizeof buf) > 0) {
    }
    _log.note("signal: stopping");
    _quit = true;
    return;
  }
  if (iPty >= 0 && (fds[iPty].revents & (POLLIN | POLLHUP | POLLERR)))
    readPty();
  if (iStdin >= 0 && fds[iStdin].revents)
    readControl(_stdin, _stdinPending, true);
  if (iFifo >= 0 && fds[iFifo].revents)
    readControl(_fifo, _fifoPending, false);
}

void SimApp::readPty() {
  uint8_t buf[4096];
  for (;;) {
    ssize_t r = read(_pty.master(), buf, sizeof buf);
    if (r > 0) {
      size_t lost = _line.received(buf, static_cast<size_t>(r), SimClock::ms());
      if (lost)
        _log.note("overrun: " + std::to_string(lost) + " received bytes dropped");
      continue;
    }
    if (r < 0 && (errno == EAGAIN || errno == EINTR))
      return;
    // We hold a slave open, so this should not happen; do not spin on it.
    _log.note(std::string("pty read failed: ") + (r < 0 ? strerror(errno) : "end of file"));
    unplug();
    return;
  }
}

void SimApp::readControl(int& fd, std::string& pending, bool isStdin) {
  char buf[1024];
  for (;;) {
    ssize_t r = read(fd, buf, sizeof buf);
    if (r > 0) {
      pending.append(buf, static_cast<size_t>(r));
      // A runaway client must not grow us without end.
      if (pending.size() > 65536)
        pending.erase(0, pending.size() - 65536);
      size_t nl;
      while (!_quit && (nl = pending.find('\n')) != std::string::npos) {
        std::string line = pending.substr(0, nl);
        pending.erase(0, nl + 1);
        command(line);
      }
      continue;
    }
    if (r < 0 && (errno == EAGAIN || errno == EINTR))
      return;
    // End of input.
    if (isStdin) {
      if (!pending.empty())
        command(pending);
      pending.clear();
      fd = -1;
      if (_opt.exitOnEof()) {
        _log.note("stdin closed: stopping");
        _quit = true;
      }
    }
    return;
  }
}

void SimApp::reply(const std::string& text) {
  printf("%s\n", text.c_str());
  fflush(stdout);
}

void SimApp::command(const std::string& raw) {
  std::string line = raw;
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
    line.pop_back();
  std::istringstream in(line);
  std::string cmd, arg, extra, more;
  in >> cmd >> arg >> extra >> more;
  if (cmd.empty())
    return;
  _log.note("control: " + line);
  const bool noArg = arg.empty();
  int v = 0, ms = 0;
  if (!more.empty() || (!extra.empty() && cmd != "split")) {
    reply("ERR too many arguments: " + line);
  } else if (cmd == "quit" && noArg) {
    reply("OK quit");
    _quit = true;
  } else if (cmd == "ping" && noArg) {
    reply("OK ping");
  } else if (cmd == "silent" && (arg == "on" || arg == "off")) {
    _device.silent(arg == "on");
    reply("OK silent " + arg);
  } else if (cmd == "corrupt" && parseCount(arg, 0, 1000000, v)) {
    _device.corrupt(v);
    reply("OK corrupt " + std::to_string(v));
  } else if (cmd == "noise" && parseCount(arg, 0, 100000, v)) {
    _device.noise(v);
    reply("OK noise " + std::to_string(v));
  } else if (cmd == "cut" && parseCount(arg, 0, 1000000, v)) {
    _device.cut(v);
    reply("OK cut " + std::to_string(v));
  } else if (cmd == "garble" && parseCount(arg, 0, 1000000, v)) {
    _device.garble(v);
    reply("OK garble " + std::to_string(v));
  } else if (cmd == "wait" && parseCount(arg, 0, 1000000, v)) {
    _device.waitReplies(v);
    reply("OK wait " + std::to_string(v));
  } else if (cmd == "status-byte" && parseCount(arg, 0, 255, v)) {
    _device.statusByte(v);
    reply("OK status-byte " + std::to_string(v));
  } else if (cmd == "entries" && parseCount(arg, 0, 255, v)) {
    _device.nrEntries(v);
    reply("OK entries " + std::to_string(v));
  } else if (cmd == "nak-packet" && parseCount(arg, 0, 1000000, v)) {
    _device.nakPacket(v);
    reply("OK nak-packet " + std::to_string(v));
  } else if (cmd == "silent-after-packet" && parseCount(arg, 0, 1000000, v)) {
    _device.silentAfterPacket(v);
    reply("OK silent-after-packet " + std::to_string(v));
  } else if (cmd == "split" && parseCount(arg, 1, 100000, v) && parseCount(extra, 0, 3600000, ms)) {
    _splitBytes = v;
    _splitPauseMs = ms;
    reply("OK split " + std::to_string(v) + " " + std::to_string(ms));
  } else if (cmd == "release" && noArg) {
    if (_held && _heldUntil >= 0)
      _heldUntil = SimClock::ms();
    else if (_held)
      _splitPauseMs = 0;
    _splitBytes = 0;
    reply("OK release");
  } else if (cmd == "boot" && noArg) {
    _device.restartIntoBootLoader(SimClock::ms());
    reply("OK boot");
  } else if (cmd == "unplug" && noArg) {
    unplug();
    reply("OK unplug");
  } else if (cmd == "replug" && noArg) {
    std::string err;
    if (replug(err))
      reply("OK replug " + _pty.slavePath());
    else
      reply("ERR replug " + err);
  } else {
    reply("ERR unknown command: " + line);
  }
}

void SimApp::unplug() {
  if (!_pty.isOpen())
    return;
  // A device node goes away with its device: a link left pointing at the
  // freed pseudo-terminal could lead a program to another one that reuses
  // its number.
  if (!_opt.linkPath().empty())
    _pty.unlink(_opt.linkPath());
  _pty.close();
  _line.clear();
  _held = false;
  _heldRest.clear();
  _device.unplugged();
  _log.note("unplugged");
}

bool SimApp::replug(std::string& err) {
  if (_pty.isOpen())
    unplug();
  if (!_pty.open()) {
    err = _pty.error();
    return false;
  }
  if (!_opt.linkPath().empty() && !_pty.link(_opt.linkPath())) {
    err = _pty.error();
    return false;
  }
  _log.note("replugged on " + _pty.slavePath());
  return true;
}
