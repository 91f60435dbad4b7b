#include "platform/fault_seam.h"

namespace orvane::platform {

namespace {

struct SeamState {
  FaultPlan plan;
  std::uint64_t operations = 0;
  std::uint64_t writes = 0;
};

SeamState& State() {
  static SeamState state;
  return state;
}

}  // namespace

void SetFaultPlan(FaultPlan plan) {
  State() = SeamState{plan, 0, 0};
}

bool FaultInjected(FileOperation operation) {
  SeamState& s = State();
  ++s.operations;
  if (operation == FileOperation::kWrite) ++s.writes;
  switch (s.plan.mode) {
    case FaultMode::kNone:
      return false;
    case FaultMode::kFailOperation:
      return s.operations == s.plan.at;
    case FaultMode::kDiskFull:
      return operation == FileOperation::kWrite && s.writes >= s.plan.at;
  }
  return false;
}

std::uint64_t FileOperationsCounted() {
  return State().operations;
}
std::uint64_t WritesCounted() {
  return State().writes;
}

}  // namespace orvane::platform
