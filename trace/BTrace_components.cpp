// The component table: one row per component code with its debug level,
// re-routing and registered root states.
#include <algorithm>

#include "BRootState.h"
#include "BTrace.h"

void BTrace::removeRow(ConfigTable* row, bool del) {
  std::vector<ConfigTable*>::iterator it = std::find(_configTable.begin(), _configTable.end(), row);
  if (it != _configTable.end()) _configTable.erase(it);
  if (del) delete row;
}

BTrace::ConfigTable* BTrace::findComponent(const std::string& codeIn) {
  std::string::size_type start = codeIn.find_first_not_of(' ');
  std::string code = start == std::string::npos ? std::string() : codeIn.substr(start);
  ConfigTable* first = nullptr;
  ConfigTable* preset = nullptr;
  for (ConfigTable* row : _configTable) {
    if (row->compCode != code) continue;
    if (!first)
      first = row;
    else if (!preset && row->isPreset())
      preset = row;
  }
  // A preset row left behind by a level command is superseded by the first row.
  if (preset && code != "vask" && code != "help") removeRow(preset, preset->instances.empty());
  return first;
}

BTrace::ConfigTable* BTrace::findComponent(ModuleId mod, ComponentId comp) {
  for (ConfigTable* row : _configTable)
    if (row->mod == mod && row->comp == comp) return row;
  return nullptr;
}

BTrace::ConfigTable* BTrace::findComponent(const std::string& code, ModuleId mod, ComponentId comp) {
  for (ConfigTable* row : _configTable)
    if (row->compCode == code && row->mod == mod && row->comp == comp) return row;
  return nullptr;
}

BRootState* BTrace::findInstance(const std::string& code, const std::string& instName) {
  for (ConfigTable* row : _configTable) {
    if (row->compCode != code) continue;
    for (BRootState* r : row->instances)
      if (r->instName() == instName) return r;
  }
  return nullptr;
}

BRootState* BTrace::findInstance(ModuleId mod, ComponentId comp, const std::string& instName) {
  for (ConfigTable* row : _configTable) {
    if (row->mod != mod || row->comp != comp) continue;
    for (BRootState* r : row->instances)
      if (r->instName() == instName) return r;
  }
  return nullptr;
}

void BTrace::sortConfigTable() {
  std::stable_sort(_configTable.begin(), _configTable.end(),
                   [](const ConfigTable* a, const ConfigTable* b) { return a->compCode < b->compCode; });
}

void BTrace::setDbgLvlAll(DebugLevel level) {
  for (ConfigTable* row : _configTable) {
    row->dbgLvl = level;
    for (BRootState* r : row->instances) r->debugLevel(level);
  }
}

BState* BTrace::getState(ModuleId mod, ComponentId comp, RegionId region, uint16_t instIndex, const char* instName) {
  ConfigTable* row = findComponent(mod, comp);
  if (!row) return nullptr;
  BRootState* root = nullptr;
  if (instIndex == 0xFFFF && instName && *instName) {
    for (BRootState* r : row->instances)
      if (r->instName() == instName) root = r;
  } else if (instIndex < row->instances.size()) {
    root = row->instances[instIndex];
  }
  return root ? root->region(region) : nullptr;
}
