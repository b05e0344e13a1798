// A folder of a test's own for the files a program saves, removed with the object.
#pragma once

#include <QTemporaryDir>
#include <string>
#include <vector>

class TestFolder {
 public:
  TestFolder();
  // The folder with its trailing '/', as the programs' options give it.
  std::string path() const;
  // Names of the files in it ending in `extension`, sorted.
  std::vector<std::string> Files(const std::string& extension) const;

 private:
  QTemporaryDir directory_;
};
