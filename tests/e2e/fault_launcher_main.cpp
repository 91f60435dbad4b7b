// The launcher with a fault plan for tests: ORVANE_FAULT_MODE ("fail" or
// "diskfull") and ORVANE_FAULT_AT (counted from 1) set the plan;
// ORVANE_FAULT_COUNT names a file that receives the number of file
// operations and of writes the run made.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "launcher/run_sequence.h"
#include "payload/embedded_payload.h"
#include "platform/fault_seam.h"
#include "platform/platform.h"

namespace {

orvane::platform::FaultPlan PlanFromEnvironment() {
  orvane::platform::FaultPlan plan;
  const char* mode = std::getenv("ORVANE_FAULT_MODE");
  const char* at = std::getenv("ORVANE_FAULT_AT");
  if (mode == nullptr || at == nullptr) return plan;
  if (std::strcmp(mode, "fail") == 0) plan.mode = orvane::platform::FaultMode::kFailOperation;
  if (std::strcmp(mode, "diskfull") == 0) plan.mode = orvane::platform::FaultMode::kDiskFull;
  plan.at = std::strtoull(at, nullptr, 10);
  return plan;
}

}  // namespace

int main(int argc, char** argv) {
  orvane::platform::InitializeProgram(argc, argv);
  orvane::platform::SetFaultPlan(PlanFromEnvironment());
  orvane::RegisterPayload();
  const int code = orvane::RunLauncherProgram();
  if (const char* count = std::getenv("ORVANE_FAULT_COUNT")) {
    if (FILE* f = std::fopen(count, "w")) {
      std::fprintf(f, "%llu %llu\n",
                   static_cast<unsigned long long>(orvane::platform::FileOperationsCounted()),
                   static_cast<unsigned long long>(orvane::platform::WritesCounted()));
      std::fclose(f);
    }
  }
  return code;
}
