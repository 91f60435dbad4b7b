#include "payload/embedded_payload.h"

#include "payload/resource_registry.h"

// Defined by the assembler file that includes the payload archive.
extern "C" const char orvane_payload_begin[];
extern "C" const char orvane_payload_end[];

namespace orvane {

std::string_view EmbeddedPayload() {
  return {orvane_payload_begin,
          static_cast<std::size_t>(orvane_payload_end - orvane_payload_begin)};
}

void RegisterPayload() {
  ResourceRegistry().Add("orvaneprincipal", "ZIP", {EmbeddedPayload()});
}

}  // namespace orvane
