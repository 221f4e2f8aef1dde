// A private temporary directory per test, removed afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace kavsim::testing {

class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "kavsim-test-XXXXXX").string();
    char* made = mkdtemp(tmpl.data());
    path_ = made != nullptr ? made : "";
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace kavsim::testing
