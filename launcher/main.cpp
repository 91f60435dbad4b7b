// orvane-launcher: start-up, one run of the sequence, end of program.

#include "launcher/run_sequence.h"
#include "payload/embedded_payload.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  orvane::platform::InitializeProgram(argc, argv);
  orvane::RegisterPayload();
  return orvane::RunLauncherProgram();
}
