#include "SimDevice.h"

#include "SimKvnFile.h"
#include "SimLog.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string decimal(int v) {
  char b[8];
  snprintf(b, sizeof b, "%d", v);
  return b;
}

// Cuts or pads a text to exactly n bytes; padding is zero bytes, where the
// PC's reader ends a text early.
void putFixed(SimBytes& out, const std::string& text, size_t n) {
  for (size_t i = 0; i < n; ++i)
    out.push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
}

void putText(SimBytes& out, const std::string& text) {
  out.insert(out.end(), text.begin(), text.end());
}

}  // namespace

SimDevice::SimDevice(const SimOptions& options, SimLog& log, Sender sender)
    : _opt(options), _log(log), _sender(std::move(sender)), _entries(SimKvnFile::NR_ENTRIES + 1),
      _statusByte(static_cast<uint8_t>(options.statusByte())), _nrEntries(options.entries()),
      _misfitLeft(options.misfitBootInfos()), _nakPacket(options.nakPacket()),
      _silentAfterPacket(options.silentAfterPacket()), _software(options.software()), _silent(options.silent()),
      _corrupt(options.corruptFrames()), _noise(options.noiseBytes()), _wait(options.waitReplies()),
      _rng(options.seed()) {
  if (options.boot())
    _mode = Mode::BOOT_LOADER;
}

void SimDevice::entries(const std::vector<SimEntry>& entries) {
  _entries = entries;
  _entries.resize(SimKvnFile::NR_ENTRIES + 1);
}

const char* SimDevice::modeName(Mode m) {
  switch (m) {
    case Mode::RUNNING: return "running";
    case Mode::DOWNLOADING: return "downloading";
    case Mode::RESTARTING: return "restarting";
    case Mode::BOOT_LOADER: return "boot-loader";
    case Mode::OPENING: return "opening-transfer";
    case Mode::TRANSFER: return "transfer";
  }
  return "?";
}

const char* SimDevice::typeName(uint8_t type) {
  switch (type) {
    case STATUS_REQUEST: return "status-request";
    case STATUS_INFO: return "status-info";
    case UPLOAD_REQUEST: return "upload-request";
    case DOWNLOAD_REQUEST: return "download-request";
    case SETTING_ENTRY: return "setting-entry";
    case TRANSFER_END: return "end";
    case LIFE_CHECK: return "life-check";
    case WAITING: return "waiting";
    case UPGRADE_REQUEST: return "upgrade-request";
    case BOOT_LOAD_REQUEST: return "boot-load-request";
    case BOOT_LOAD_DATA: return "boot-load-data";
    case BOOT_INFO: return "boot-info";
  }
  return "unknown-type";
}

uint8_t SimDevice::sum(const uint8_t* data, size_t n) {
  uint8_t s = 0;
  for (size_t i = 0; i < n; ++i)
    s = static_cast<uint8_t>(s + data[i]);
  return s;
}

SimBytes SimDevice::frame(uint8_t type, const SimBytes& data) {
  SimBytes f;
  f.reserve(data.size() + 6);
  f.push_back(SOH);
  f.push_back(type);
  f.push_back(static_cast<uint8_t>(data.size()));
  f.push_back(STX);
  for (uint8_t b : data) f.push_back(b);
  f.push_back(ETX);
  f.push_back(sum(f.data(), f.size()));
  return f;
}

// ---------------------------------------------------------------- receiving

void SimDevice::receive(uint8_t byte, double now) {
  _lastRx = now;
  if (_unit.empty()) {
    if (byte == SOH) {
      flushNoise();
      _unit.push_back(byte);
    } else if (byte == ACK || byte == NAK || byte == EOT) {
      flushNoise();
      handleLone(byte, now);
    } else {
      _noiseRx.push_back(byte);
      if (_noiseRx.size() >= 256)
        flushNoise();
    }
    return;
  }
  _unit.push_back(byte);
  const size_t n = _unit.size();
  const bool packets = _mode == Mode::OPENING || _mode == Mode::TRANSFER;
  if (packets && n >= 3 && _unit[2] == static_cast<uint8_t>(255 - _unit[1])) {
    if (n == PACKET_SIZE) {
      SimBytes p;
      p.swap(_unit);
      handlePacket(p, now);
    }
    return;
  }
  if (n == 4 && _unit[3] != STX) {
    // Not a frame after all: the SOH was noise. Start again from the next
    // SOH in what we hold, if any.
    SimBytes rest(_unit.begin() + 1, _unit.end());
    _noiseRx.push_back(_unit[0]);
    _unit.clear();
    auto soh = std::find(rest.begin(), rest.end(), SOH);
    _noiseRx.insert(_noiseRx.end(), rest.begin(), soh);
    for (auto it = soh; it != rest.end(); ++it)
      receive(*it, now);
    return;
  }
  if (n < 4)
    return;
  if (_unit[1] == BOOT_LOAD_DATA) {
    // Its length byte is 0 although data follows: it ends when the line goes
    // quiet (see poll), or at the largest size the PC sends.
    if (n >= MAX_BOOT_DATA_FRAME)
      handleUnit(now);
    return;
  }
  if (n == static_cast<size_t>(_unit[2]) + 6)
    handleUnit(now);
}

void SimDevice::handleUnit(double now) {
  SimBytes f;
  f.swap(_unit);
  handleFrame(f, now);
}

void SimDevice::flushNoise() {
  if (_noiseRx.empty())
    return;
  _log.unit("RX", _noiseRx, "noise");
  _noiseRx.clear();
}

void SimDevice::giveUpUnit(double now) {
  if (_unit.size() >= 6 && _unit[1] == BOOT_LOAD_DATA) {
    handleUnit(now);
    return;
  }
  SimBytes u;
  u.swap(_unit);
  rxLog(u, "incomplete");
  if (!_silent && _mode != Mode::RESTARTING)
    sendByte(NAK, "nak");
}

void SimDevice::rxLog(const SimBytes& unit, const std::string& what) {
  _log.unit("RX", unit, _silent ? what + " (silent)" : what);
}

void SimDevice::handleLone(uint8_t byte, double now) {
  const SimBytes u{byte};
  if (_silent) {
    rxLog(u, byte == ACK ? "ack" : byte == NAK ? "nak" : "eot");
    return;
  }
  switch (byte) {
    case ACK:
      rxLog(u, "ack");
      if (_mode == Mode::DOWNLOADING) {
        ++_dlEntry;
        if (_dlEntry > std::min(_nrEntries, SimKvnFile::NR_ENTRIES)) {
          _mode = Mode::RUNNING;
          sendFrame(TRANSFER_END, {}, "download-end");
        } else {
          sendEntry(_dlEntry);
        }
      }
      break;
    case NAK:
      rxLog(u, "nak");
      if ((_mode == Mode::RUNNING || _mode == Mode::DOWNLOADING) && _lastWasFrame) {
        const std::string base = _lastFrameWhat;
        emit(_lastFrame, base + " repeated", true);
        _lastFrameWhat = base;
      }
      break;
    case EOT:
      rxLog(u, "eot");
      if (_mode == Mode::OPENING || _mode == Mode::TRANSFER)
        finishTransfer();
      break;
  }
  (void)now;
}

void SimDevice::handleFrame(const SimBytes& f, double now) {
  const uint8_t type = f[1];
  std::string what = typeName(type);
  if (_garble > 0 && !_silent) {
    --_garble;
    rxLog(f, what + " garbled");
    if (_mode != Mode::RESTARTING)
      sendByte(NAK, "nak");
    return;
  }
  if (f.size() < 6 || f[f.size() - 2] != ETX || sum(f.data(), f.size() - 1) != f.back()) {
    rxLog(f, what + (f.size() >= 6 && f[f.size() - 2] == ETX ? " bad-checksum" : " bad-frame"));
    if (!_silent && _mode != Mode::RESTARTING)
      sendByte(NAK, "nak");
    return;
  }
  if (_silent) {
    rxLog(f, what);
    return;
  }
  switch (_mode) {
    case Mode::RUNNING:
    case Mode::DOWNLOADING:
      firmwareFrame(type, f, now);
      break;
    case Mode::RESTARTING:
      rxLog(f, what + " ignored (restarting)");
      break;
    default:
      bootFrame(type, f, now);
      break;
  }
}

void SimDevice::firmwareFrame(uint8_t type, const SimBytes& f, double now) {
  std::string what = typeName(type);
  switch (type) {
    case STATUS_REQUEST:
    case LIFE_CHECK:
      rxLog(f, what);
      // A status request means the PC is not (or no longer) reading.
      _mode = Mode::RUNNING;
      sendStatusInfo();
      break;
    case DOWNLOAD_REQUEST:
    case UPLOAD_REQUEST:
      rxLog(f, what);
      _mode = Mode::RUNNING;
      if (_wait > 0) {
        --_wait;
        sendFrame(WAITING, {}, "waiting");
      } else if (type == UPLOAD_REQUEST) {
        sendByte(ACK, "ack");
      } else if (std::min(_nrEntries, SimKvnFile::NR_ENTRIES) < 1) {
        sendFrame(TRANSFER_END, {}, "download-end");
      } else {
        _mode = Mode::DOWNLOADING;
        _dlEntry = 1;
        sendEntry(_dlEntry);
      }
      break;
    case SETTING_ENTRY:
      _mode = Mode::RUNNING;
      if (storeEntry(f, what)) {
        rxLog(f, what);
        sendByte(ACK, "ack");
      } else {
        rxLog(f, what);
        sendByte(NAK, "nak");
      }
      break;
    case TRANSFER_END:
      rxLog(f, "upload-end");
      _mode = Mode::RUNNING;
      finishUpload();
      // The PC expects nothing here; an ACK only re-arms its life check.
      sendByte(ACK, "ack");
      break;
    case UPGRADE_REQUEST:
      rxLog(f, what);
      restartIntoBootLoader(now);
      break;
    default:
      rxLog(f, what + " unexpected");
      sendByte(NAK, "nak");
      break;
  }
}

void SimDevice::bootFrame(uint8_t type, const SimBytes& f, double now) {
  std::string what = typeName(type);
  switch (type) {
    case STATUS_REQUEST:
    case LIFE_CHECK:
    case UPGRADE_REQUEST:
      // The boot loader knows one answer: it wants firmware.
      rxLog(f, what);
      _mode = Mode::BOOT_LOADER;
      _due = -1;
      sendFrame(BOOT_LOAD_REQUEST, {}, "boot-load-request");
      break;
    case BOOT_LOAD_DATA:
      rxLog(f, what + " " + std::to_string(f.size() - 6) + " bytes");
      sendBootInfo();
      _mode = Mode::OPENING;
      _openNaks = 0;
      _image.clear();
      _packets = 0;
      _due = now + FIRST_NAK_MS;
      break;
    default:
      rxLog(f, what + " unexpected");
      sendByte(NAK, "nak");
      break;
  }
}

bool SimDevice::storeEntry(const SimBytes& f, std::string& what) {
  const size_t len = f[2];
  if (len < 6) {
    what += " malformed";
    return false;
  }
  const uint8_t* d = f.data() + 4;
  const int nr = d[0];
  what += " " + std::to_string(nr);
  // nr, quote, field 1, quote comma quote, field 2, quote; no field holds a
  // quote, so the separator is the first quote after the opening one.
  std::string inner(reinterpret_cast<const char*>(d) + 1, len - 1);
  if (inner.front() != '"' || inner.back() != '"') {
    what += " malformed";
    return false;
  }
  inner = inner.substr(1, inner.size() - 2);
  size_t q = inner.find('"');
  if (q == std::string::npos || inner.compare(q, 3, "\",\"") != 0 ||
      inner.find('"', q + 3) != std::string::npos) {
    what += " malformed";
    return false;
  }
  std::string text = inner.substr(0, q);
  std::string number = inner.substr(q + 3);
  std::replace(text.begin(), text.end(), '/', '\\');
  if (nr < 1 || nr > SimKvnFile::NR_ENTRIES) {
    what += " ignored";
    return true;
  }
  _entries[nr] = SimEntry{text, number};
  return true;
}

void SimDevice::finishUpload() {
  if (_opt.kvnOut().empty())
    return;
  std::string err;
  if (SimKvnFile::save(_opt.kvnOut(), _entries, err))
    _log.note("settings written to " + _opt.kvnOut());
  else
    _log.note("settings not written: " + err);
}

void SimDevice::finishTransfer() {
  sendByte(ACK, "ack");
  const size_t bytes = _image.size();
  if (!_opt.imageOut().empty()) {
    std::string err;
    std::string data(_image.begin(), _image.end());
    if (SimKvnFile::writeAtomic(_opt.imageOut(), data, err))
      _log.note("image of " + std::to_string(bytes) + " bytes written to " + _opt.imageOut());
    else
      _log.note("image not written: " + err);
  }
  _mode = Mode::RUNNING;
  _due = -1;
  // The PC reads the version from the tenth character of the software text.
  const std::string version = imageVersion(_image);
  if (!version.empty()) {
    std::string head = _software.substr(0, 9);
    head.resize(9, ' ');
    _software = head + version;
  }
  _log.note("running the new firmware, software \"" + _software + "\"");
}

void SimDevice::handlePacket(const SimBytes& p, double now) {
  const uint8_t nr = p[1];
  std::string what = "packet " + decimal(nr);
  if (_silent) {
    rxLog(p, what);
    return;
  }
  if (sum(p.data() + 3, 128) != p[131]) {
    rxLog(p, what + " bad-checksum");
    sendByte(NAK, "nak");
    return;
  }
  // The PC answers a NAK by going back to the start of its 512-byte segment,
  // so a packet may repeat any of the last four.
  const uint8_t expected = static_cast<uint8_t>(_packets + 1);
  const size_t back = static_cast<uint8_t>(expected - nr);
  if (back > 4 || back > _packets) {
    rxLog(p, what + " out-of-sequence");
    sendByte(NAK, "nak");
    return;
  }
  const size_t position = _packets - back;
  if (_silentAfterPacket > 0 && position + 1 >= static_cast<size_t>(_silentAfterPacket)) {
    // Gone quiet in the middle of the transfer, as a device losing power.
    _silentAfterPacket = 0;
    _silent = true;
    _log.note("silent from packet " + decimal(static_cast<int>(position + 1)) + " on");
    rxLog(p, what);
    return;
  }
  if (_nakPacket > 0 && position + 1 == static_cast<size_t>(_nakPacket)) {
    _nakPacket = 0;
    rxLog(p, what + " refused");
    sendByte(NAK, "nak");
    return;
  }
  rxLog(p, what);
  _image.resize(position * 128);
  _image.insert(_image.end(), p.begin() + 3, p.begin() + 131);
  _packets = position + 1;
  _mode = Mode::TRANSFER;
  _due = now + TRANSFER_TIMEOUT_MS;
  sendByte(ACK, "ack");
}

// ---------------------------------------------------------------- timers

void SimDevice::poll(double now) {
  if ((!_unit.empty() || !_noiseRx.empty()) && now - _lastRx >= UNIT_GAP_MS) {
    flushNoise();
    if (!_unit.empty())
      giveUpUnit(now);
  }
  if (_due < 0 || now < _due)
    return;
  switch (_mode) {
    case Mode::RESTARTING:
      enterBootLoader(now);
      break;
    case Mode::OPENING:
      if (_openNaks < MAX_OPEN_NAKS) {
        ++_openNaks;
        sendByte(NAK, "nak open-transfer");
        _due = now + NAK_REPEAT_MS;
      } else {
        _log.note("no packet came; back to waiting for the boot loader");
        _mode = Mode::BOOT_LOADER;
        _due = -1;
      }
      break;
    case Mode::TRANSFER:
      _log.note("transfer timed out; back to waiting for the boot loader");
      _mode = Mode::BOOT_LOADER;
      _due = -1;
      break;
    default:
      _due = -1;
      break;
  }
}

double SimDevice::nextDue() const {
  double due = _due;
  if (!_unit.empty() || !_noiseRx.empty()) {
    double gap = _lastRx + UNIT_GAP_MS;
    if (due < 0 || gap < due)
      due = gap;
  }
  return due;
}

void SimDevice::unplugged() {
  _unit.clear();
  _noiseRx.clear();
  if (_mode == Mode::DOWNLOADING)
    _mode = Mode::RUNNING;
  _lastWasFrame = false;
}

void SimDevice::restartIntoBootLoader(double now) {
  _log.note("restarting into the boot loader");
  _unit.clear();
  _mode = Mode::RESTARTING;
  _due = now + RESTART_MS;
}

void SimDevice::enterBootLoader(double /*now*/) {
  _mode = Mode::BOOT_LOADER;
  _due = -1;
  _image.clear();
  _packets = 0;
  sendFrame(BOOT_LOAD_REQUEST, {}, "boot-load-request");
}

// ---------------------------------------------------------------- sending

std::string SimDevice::imageVersion(const SimBytes& image) {
  static const std::string mark = "VERSION:";
  auto at = std::search(image.begin(), image.end(), mark.begin(), mark.end());
  if (at == image.end())
    return "";
  const size_t from = static_cast<size_t>(at - image.begin()) + mark.size() + 1;
  std::string v;
  for (size_t i = from; i < image.size() && v.size() < 7; ++i) {
    const uint8_t c = image[i];
    if (c < 0x20 || c > 0x7E || c == '"')
      break;
    v.push_back(static_cast<char>(c));
  }
  return v;
}

void SimDevice::sendStatusInfo() {
  SimBytes d{static_cast<uint8_t>(_opt.protocolVersion()), _statusByte,
             static_cast<uint8_t>(_nrEntries)};
  putText(d, "\"" + _opt.type() + "\",\"" + _software + "\",\"" + _opt.special() + "\",\"" +
                 _opt.hardware() + "\"");
  sendFrame(STATUS_INFO, d, "status-info");
}

void SimDevice::sendEntry(int nr) {
  const SimEntry& e = _entries[nr];
  std::string text = e.text().substr(0, MAX_TEXT);
  std::string number = e.number().substr(0, MAX_NUMBER);
  // A quote would end the field early at the PC; the wire carries "\" as "/".
  text.erase(std::remove(text.begin(), text.end(), '"'), text.end());
  number.erase(std::remove(number.begin(), number.end(), '"'), number.end());
  std::replace(text.begin(), text.end(), '\\', '/');
  SimBytes d{static_cast<uint8_t>(nr), '"'};
  putText(d, text + "\",\"" + number + "\"");
  sendFrame(SETTING_ENTRY, d, "setting-entry " + std::to_string(nr));
}

void SimDevice::sendBootInfo() {
  std::string hw = _opt.bootHardware().empty() ? _opt.hardware() : _opt.bootHardware();
  if (_misfitLeft > 0) {
    --_misfitLeft;
    hw = "H.00";
  }
  SimBytes d{0};
  putFixed(d, hw, 4);
  putFixed(d, _opt.type(), 11);
  putFixed(d, _opt.special(), 6);
  sendFrame(BOOT_INFO, d, "boot-info");
}

void SimDevice::sendFrame(uint8_t type, const SimBytes& data, const std::string& what) {
  emit(frame(type, data), what, true);
}

void SimDevice::sendByte(uint8_t byte, const std::string& what) { emit(SimBytes{byte}, what, false); }

void SimDevice::emit(SimBytes unit, std::string what, bool isFrame) {
  if (_silent)
    return;
  if (isFrame && _noise > 0) {
    // Never a byte that starts a unit at the PC: the noise should disturb the
    // frame it precedes, not fake another one.
    SimBytes noise;
    std::uniform_int_distribution<int> any(0, 255);
    while (static_cast<int>(noise.size()) < _noise) {
      int b = any(_rng);
      if (b != SOH && b != ACK && b != NAK)
        noise.push_back(static_cast<uint8_t>(b));
    }
    _noise = 0;
    _sender(noise, "noise");
  }
  if (isFrame) {
    _lastFrame = unit;
    _lastFrameWhat = what;
    if (_corrupt > 0) {
      --_corrupt;
      unit.back() = static_cast<uint8_t>(unit.back() + 1);
      what += " corrupted";
    }
    if (_cut > 0) {
      --_cut;
      unit.resize(unit.size() / 2);
      what += " cut";
    }
  }
  _lastWasFrame = isFrame;
  _sender(unit, what);
}
