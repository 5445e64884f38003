#include "platform/Errors.h"

namespace kyv {

[[noreturn]] void KyvAssertFailed(const char* condition, const char* file, int line) {
  throw EAssertionFailed("Assertion failed: " + std::string(condition) + " (" + file + ", line " +
                         std::to_string(line) + ")");
}

}  // namespace kyv
