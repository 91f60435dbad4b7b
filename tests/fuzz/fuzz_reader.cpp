// libFuzzer target: the zip reader on arbitrary archive bytes.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "fuzz/fuzz_checks.h"

namespace {

// One scratch area for the whole run; every input empties its output folder.
const orvane::fuzz::ReaderScratch& Scratch() {
  static const auto scratch = std::make_unique<orvane::fuzz::ReaderScratch>();
  return *scratch;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return orvane::fuzz::RunForFuzzer([&] { orvane::fuzz::CheckArchive(Scratch(), data, size); });
}
