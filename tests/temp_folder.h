// The tests' one temporary folder: a new folder under GoogleTest's temporary
// folder, removed with everything in it when the object goes.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>  // mkdtemp

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace velkar::test {

class TempFolder {
 public:
  TempFolder() = default;
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder() { Remove(); }

  // Makes the folder, its name starting with `prefix`; false when none can be made.
  bool Make(const std::string& prefix) {
    Remove();
    std::string pattern = ::testing::TempDir() + prefix + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return false;
    path_ = pattern;
    return true;
  }

  const std::string& path() const { return path_; }
  std::string Path(const std::string& name) const { return path_ + "/" + name; }

  // Names of the entries in the folder, sorted, to spot a file left over.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path_)) {
      names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  void Remove() {
    if (path_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
    path_.clear();
  }

  std::string path_;
};

}  // namespace velkar::test
