#include "test_folder.h"

#include <QDir>

TestFolder::TestFolder() { directory_.setAutoRemove(true); }

std::string TestFolder::path() const { return directory_.path().toStdString() + "/"; }

std::vector<std::string> TestFolder::Files(const std::string& extension) const {
  std::vector<std::string> names;
  const QStringList entries =
      QDir(directory_.path())
          .entryList({QStringLiteral("*") + QString::fromStdString(extension)}, QDir::Files, QDir::Name);
  for (const QString& entry : entries) names.push_back(entry.toStdString());
  return names;
}
