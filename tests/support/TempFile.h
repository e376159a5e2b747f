#pragma once

#include <string>

// A private temporary directory, removed with everything in it on
// destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  // Path of `name` inside the directory.
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  // Writes `content` to `name` inside the directory and returns its path.
  std::string Write(const std::string& name, const std::string& content) const;

 private:
  std::string path_;
};
