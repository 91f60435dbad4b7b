// libFuzzer target: the splitting of a command line into words.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return orvane::fuzz::RunForFuzzer([&] { orvane::fuzz::CheckCommandLine(data, size); });
}
