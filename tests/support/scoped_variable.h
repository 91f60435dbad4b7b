// Sets or unsets an environment variable for one test and puts the old value
// back at the end. On Windows names compare without regard to case, as the
// system does.
#pragma once

#include <optional>
#include <string>

namespace orvane::testing {

class ScopedVariable {
 public:
  // A null value unsets the variable.
  ScopedVariable(const std::string& name, const char* value);
  ~ScopedVariable();
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace orvane::testing
