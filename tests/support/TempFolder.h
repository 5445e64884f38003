#pragma once

#include <filesystem>
#include <string>

namespace kyv::test {

// A fresh folder under the temporary folder, removed with everything in it by the destructor.
class TTempFolder {
 public:
  // Prefix starts the folder's name; raises std::runtime_error when it cannot be made.
  explicit TTempFolder(const std::string& Prefix = "kyv_test");
  ~TTempFolder();
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  const std::filesystem::path& Path() const { return FPath; }
  std::filesystem::path operator/(const std::string& Name) const { return FPath / Name; }

 private:
  std::filesystem::path FPath;
};

}  // namespace kyv::test
