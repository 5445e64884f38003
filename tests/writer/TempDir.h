#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace kyv::test {

// A fresh folder per test, removed afterwards.
class TTempDir {
 public:
  TTempDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = "kyv_" + std::string(info->test_suite_name()) + "_" + info->name() + "_" +
                       std::to_string(::getpid());
    // Parameterised tests carry slashes in their names.
    for (char& c : name)
      if (c == '/') c = '_';
    FPath = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(FPath);
    std::filesystem::create_directories(FPath);
  }
  ~TTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
  }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  const std::filesystem::path& Path() const { return FPath; }
  std::filesystem::path operator/(const std::string& name) const { return FPath / name; }

 private:
  std::filesystem::path FPath;
};

}  // namespace kyv::test
