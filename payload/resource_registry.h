// The start-up resource registry: a process-wide table of named values,
// filled before the run sequence starts and destroyed after it has ended.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/errors.h"

namespace orvane {

// One registered value. A value made of one piece refers to that piece
// unchanged (the embedded payload lives in the executable image and is
// never copied); a value made of several pieces is built once, in one
// allocation of the exact total.
class TLResource {
 public:
  TLResource(std::string name, std::string_view value_type);

  [[nodiscard]] const std::string& Name() const { return name_; }
  [[nodiscard]] const std::string& ValueType() const { return value_type_; }
  [[nodiscard]] const std::uint8_t* Data() const { return data_; }
  [[nodiscard]] std::size_t Size() const { return size_; }
  [[nodiscard]] std::string_view Value() const {
    return {reinterpret_cast<const char*>(data_), size_};
  }

  void SetSinglePiece(std::string_view piece);
  void SetConcatenation(const std::vector<std::string_view>& pieces);

 private:
  std::string name_;
  std::string value_type_;
  std::unique_ptr<std::uint8_t[]> owned_;
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

class TLResourceList {
 public:
  // Builds one entry from the pieces, in order, and registers it. No pieces:
  // nothing is registered. An entry of the same name is not looked for.
  void Add(std::string_view name, std::string_view value_type,
           const std::vector<std::string_view>& pieces);
  // The entry whose name matches with the ASCII letters folded to upper
  // case; nullptr when none does.
  [[nodiscard]] const TLResource* Find(std::string_view name) const;
  [[nodiscard]] std::size_t Count() const { return entries_.size(); }

 private:
  std::vector<std::unique_ptr<TLResource>> entries_;
};

// The one registry of the process: created on first use during start-up,
// destroyed by DestroyResourceRegistry at program end.
TLResourceList& ResourceRegistry();
void DestroyResourceRegistry();

// Upper-cases the 26 ASCII letters; every other byte stays.
std::string AsciiUpperCase(std::string_view text);

ORVANE_EXCEPTION_CLASS(EResNotFound, Exception);

// Writes the value of the named entry to a new file (replacing an existing
// one, shared with nobody) in one write request. The name is looked up
// before the file system is touched: an unregistered name raises
// EResNotFound "Resource "%s" not found". A file that cannot be created
// raises EFCreateError "Unable to create file "%s""; a short write raises
// EWriteError "Unable to write to file "%s"".
void SaveResourceToFile(std::string_view resource_name, const std::string& file_name);

}  // namespace orvane
