#ifndef DIAGCAPTURE_H
#define DIAGCAPTURE_H

#include <string>

#include "BDiag.h"

// Collects what the diagnostics seam writes while it is alive.
struct DiagCapture {
  std::string remote, log;
  BDiag::Sink oldRemote, oldLog;
  static DiagCapture*& current() {
    static DiagCapture* c = nullptr;
    return c;
  }
  DiagCapture() : oldRemote(BDiag::remoteSink()), oldLog(BDiag::logSink()) {
    current() = this;
    BDiag::remoteSink([](const std::string& t) { current()->remote += t; });
    BDiag::logSink([](const std::string& t) { current()->log += t; });
  }
  ~DiagCapture() {
    BDiag::remoteSink(oldRemote);
    BDiag::logSink(oldLog);
    current() = nullptr;
  }
  void clear() { remote.clear(); log.clear(); }
  bool has(const std::string& s) const { return remote.find(s) != std::string::npos; }
};

#endif
