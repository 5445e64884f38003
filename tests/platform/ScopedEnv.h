#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace kyv {

// Sets (or, given nullptr, removes) one environment variable for a scope and restores it after.
// Tests use it only while no other thread of the process reads the environment.
class TScopedEnv {
 public:
  TScopedEnv(const char* name, const char* value) : FName(name) {
    if (const char* old = std::getenv(name)) FOld = old;
    if (value != nullptr)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~TScopedEnv() {
    if (FOld)
      setenv(FName.c_str(), FOld->c_str(), 1);
    else
      unsetenv(FName.c_str());
  }
  TScopedEnv(const TScopedEnv&) = delete;
  TScopedEnv& operator=(const TScopedEnv&) = delete;

 private:
  std::string FName;
  std::optional<std::string> FOld;
};

}  // namespace kyv
