// The payload archive carried inside the launcher's executable.
#pragma once

#include <string_view>

namespace orvane {

// The payload's bytes where they lie in the executable image.
std::string_view EmbeddedPayload();

// Start-up step: registers the payload as "orvaneprincipal" of type "ZIP",
// as one piece, so that the registry refers to the image's bytes unchanged.
void RegisterPayload();

}  // namespace orvane
