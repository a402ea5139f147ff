#ifndef BCOMPOSITESTATE_H
#define BCOMPOSITESTATE_H

#include "BState.h"
#include "Iterator.h"
#include "SLList.h"

// A state with one or more regions, each holding one active sub-state. A
// composite that made its own queue is a scheduling unit of its own.
class BCompositeState : public BState {
  friend class BScheduler;

public:
  BCompositeState(BCompositeState* enclosing, ModuleId mod, ComponentId cmp, StateId id,
                  BPriority prio, BEvtQueue* queue = nullptr);
  BCompositeState(BCompositeState* enclosing, ModuleId mod, ComponentId cmp, StateId id,
                  BPriority prio, uint16_t size);
  ~BCompositeState() override;

  virtual void addRegion(BState* s);
  virtual void onInitial(const BEvent* e, RegionId region);
  virtual void onDone(const BEvent* e, RegionId region);
  virtual void onError(const BEvent* e, RegionId region);

  void printVaskData() override;
  void printData(int argc, char** argv) override;
  BEvtQueue* queue() override { return _queue; }
  DebugLevel debugLevel() override;
  BState* getState(StateId id) override;
  void clearDeferedEvts() override;
  void retryDeferedEvts() override;
  const char* name() override;
  std::string instName() override;

  // The state in region r, or null (empty slot or no such region).
  BState* region(RegionId r);
  uint16_t nrRegions() { return _enclosedList.count(); }

protected:
  void initialize() override;
  void dispatch() override;
  void abort() override;
  // Enters the regions in order (onInitial, then the region's entry).
  void enterRegions();

  SLList<BState*> _enclosedList;
  BEvtQueue* _queue;
  bool _autoQueue;

private:
  void handleTransition(Iterator<BState*>* i, RegionId region);
  void cleanupRegions();
  void abortTree(Iterator<BState*>* i);
};

#endif
