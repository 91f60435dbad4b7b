// A test-only seam in the file primitives: a test can make the k-th file
// operation fail, or make the disk full from the k-th write on, and then
// check that no user file is lost. The launcher itself never sets a plan;
// without one, each check is a single test of a global.
#pragma once

#include <cstdint>

namespace orvane::platform {

enum class FaultMode {
  kNone,
  kFailOperation,  // operation number `at` fails, the others work
  kDiskFull,       // every write from write number `at` on fails with "no space"
};

struct FaultPlan {
  FaultMode mode = FaultMode::kNone;
  std::uint64_t at = 0;  // counted from 1
};

enum class FileOperation { kOther, kWrite };

void SetFaultPlan(FaultPlan plan);

// Called by every file primitive before it acts: true when this call is to
// fail. Counts the calls.
bool FaultInjected(FileOperation operation = FileOperation::kOther);

// Calls counted so far: all file operations, and writes among them.
std::uint64_t FileOperationsCounted();
std::uint64_t WritesCounted();

}  // namespace orvane::platform
