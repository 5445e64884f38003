#include "TempFolder.h"

#include <cstdlib>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace kyv::test {

TTempFolder::TTempFolder(const std::string& Prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / (Prefix + "_XXXXXX")).string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (::mkdtemp(name.data()) == nullptr)
    throw std::runtime_error("cannot make a temporary folder from " + pattern);
  FPath = name.data();
}

TTempFolder::~TTempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(FPath, ignored);
}

}  // namespace kyv::test
