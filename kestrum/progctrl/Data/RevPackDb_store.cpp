// The revision pack database: the thin operations on the open store.
#include "RevPackDb.h"

#include <FL/Fl_Preferences.H>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "BDiag.h"
#include "Language.h"
#include "TextUtil.h"

namespace fs = std::filesystem;

// ------------------------------------------------------- thin operations

Fl_Preferences* RevPackDb::group(const char* group) {
  if (!_db || !safeGroupName(group)) return nullptr;
  return new Fl_Preferences(*_db, group);
}

void RevPackDb::remGrp(const char* group) {
  if (_db && safeGroupName(group)) _db->deleteGroup(group);
}

void RevPackDb::setGrp(const char* g) { std::unique_ptr<Fl_Preferences> p(group(g)); }

bool RevPackDb::grpExist(const char* group) { return _db && safeGroupName(group) && _db->groupExists(group); }

int RevPackDb::nrEntries(const char* g) {
  std::unique_ptr<Fl_Preferences> p(group(g));
  return p ? p->entries() : 0;
}

bool RevPackDb::entryExist(const char* g, const char* key) {
  std::unique_ptr<Fl_Preferences> p(group(g));
  return p && key && p->entryExists(key);
}

void RevPackDb::setEntry(const char* g, const char* key, const char* text) {
  std::unique_ptr<Fl_Preferences> p(group(g));
  if (p && key) p->set(key, text ? text : "");
}

void RevPackDb::setEntry(const char* g, const char* key, int value) {
  std::unique_ptr<Fl_Preferences> p(group(g));
  if (p && key) p->set(key, value);
}

void RevPackDb::setEntry(const char* g, const char* key, const void* data, int size) {
  std::unique_ptr<Fl_Preferences> p(group(g));
  if (p && key && data && size >= 0) p->set(key, data, size);
}

std::string RevPackDb::getEntry(const char* g, int index) {
  std::unique_ptr<Fl_Preferences> p(group(g));
  if (!p || index < 0 || index >= p->entries()) return "";
  const char* key = p->entry(index);
  return key ? key : "";
}

std::string RevPackDb::getEntry(const char* g, const char* key) {
  char buf[MAX_TXT_LEN + 1];
  TextUtil::copyCut(buf, "none", sizeof buf);
  std::unique_ptr<Fl_Preferences> p(group(g));
  if (p && key) p->get(key, buf, "none", sizeof buf);
  return buf;
}

void RevPackDb::getEntry(const char* g, const char* key, int& value) {
  value = DFLT_INT;
  std::unique_ptr<Fl_Preferences> p(group(g));
  if (p && key) p->get(key, value, DFLT_INT);
}

int RevPackDb::entryBytes(const char* g, const char* key) {
  std::unique_ptr<Fl_Preferences> p(group(g));
  if (!p || !key || !p->entryExists(key)) return 0;
  int hex = p->size(key);
  return hex % 2 == 0 ? hex / 2 : -1;
}

bool RevPackDb::getEntry(const char* g, const char* key, void* data, int size) {
  if (!data || size < 0) return false;
  memset(data, 0, static_cast<size_t>(size));
  std::unique_ptr<Fl_Preferences> p(group(g));
  if (!p || !key || !p->entryExists(key)) return false;
  int stored = p->size(key) / 2;
  if (stored > size) return false;
  p->get(key, data, nullptr, 0, size);
  return true;
}

void RevPackDb::delEntry(const char* g, const char* key) {
  std::unique_ptr<Fl_Preferences> p(group(g));
  if (p && key) p->deleteEntry(key);
}

void RevPackDb::flush() {
  if (_db) _db->flush();
}

void RevPackDb::clearDb() {
  if (_db) _db->clear();
}
