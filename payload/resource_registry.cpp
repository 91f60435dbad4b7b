#include "payload/resource_registry.h"

#include <cstring>

#include "platform/platform.h"

namespace orvane {

namespace {

std::unique_ptr<TLResourceList>& RegistrySlot() {
  static std::unique_ptr<TLResourceList> registry;
  return registry;
}

bool NamesMatch(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto fold = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

}  // namespace

std::string AsciiUpperCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return out;
}

TLResource::TLResource(std::string name, std::string_view value_type)
    : name_(std::move(name)), value_type_(AsciiUpperCase(value_type)) {}

void TLResource::SetSinglePiece(std::string_view piece) {
  owned_.reset();
  data_ = reinterpret_cast<const std::uint8_t*>(piece.data());
  size_ = piece.size();
}

void TLResource::SetConcatenation(const std::vector<std::string_view>& pieces) {
  std::size_t total = 0;
  for (const std::string_view piece : pieces) total += piece.size();
  // One allocation of the exact total, one copying pass.
  owned_ = std::make_unique_for_overwrite<std::uint8_t[]>(total == 0 ? 1 : total);
  std::size_t at = 0;
  for (const std::string_view piece : pieces) {
    if (piece.empty()) continue;
    std::memcpy(owned_.get() + at, piece.data(), piece.size());
    at += piece.size();
  }
  data_ = owned_.get();
  size_ = total;
}

void TLResourceList::Add(std::string_view name, std::string_view value_type,
                         const std::vector<std::string_view>& pieces) {
  if (pieces.empty()) return;
  auto entry = std::make_unique<TLResource>(std::string(name), value_type);
  if (pieces.size() == 1) {
    entry->SetSinglePiece(pieces.front());
  } else {
    entry->SetConcatenation(pieces);
  }
  entries_.push_back(std::move(entry));
}

const TLResource* TLResourceList::Find(std::string_view name) const {
  for (const auto& entry : entries_) {
    if (NamesMatch(entry->Name(), name)) return entry.get();
  }
  return nullptr;
}

TLResourceList& ResourceRegistry() {
  auto& slot = RegistrySlot();
  if (!slot) slot = std::make_unique<TLResourceList>();
  return *slot;
}

void DestroyResourceRegistry() {
  RegistrySlot().reset();
}

void SaveResourceToFile(std::string_view resource_name, const std::string& file_name) {
  const TLResource* resource = ResourceRegistry().Find(resource_name);
  if (resource == nullptr) {
    throw EResNotFound(Format("Resource \"%s\" not found", {resource_name}));
  }
  platform::File file = platform::CreateFileForWriting(file_name);
  if (!file.IsOpen()) {
    throw EFCreateError(Format("Unable to create file \"%s\"", {file_name}));
  }
  // The value goes to the file straight from where it lies, in one request.
  const std::int64_t written = file.Write(resource->Data(), resource->Size());
  const bool closed = file.Close();
  if (written != static_cast<std::int64_t>(resource->Size()) || !closed) {
    throw EWriteError(Format("Unable to write to file \"%s\"", {file_name}));
  }
}

}  // namespace orvane
