#include "appcommon/program_directory.h"

#include <unistd.h>

#include <QDir>
#include <QStandardPaths>
#include <vector>

#include "platform/cestring.h"
#include "platform/winbase.h"

namespace {
// Room for any POSIX path: a name cut short would give a wrong folder, not a shorter one.
constexpr DWORD kLongestModuleName = 4096;
}  // namespace

std::string ProgramDirectory() {
  std::vector<WCHAR> name(kLongestModuleName + 1, u'\0');
  const DWORD length = GetModuleFileNameW(nullptr, name.data(), kLongestModuleName);
  if (length == 0 || length >= kLongestModuleName) return {};
  const std::u16string_view path(name.data(), length);
  const size_t lastBackslash = path.rfind(u'\\');
  if (lastBackslash == std::u16string_view::npos) return {};
  return MapPlatformPath(path.substr(0, lastBackslash + 1));
}

std::string PictureFolderFor(const std::string& programFolder) {
  if (access(programFolder.empty() ? "." : programFolder.c_str(), W_OK) == 0) return programFolder;
  const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  QDir().mkpath(pictures);
  return pictures.toStdString() + '/';
}

std::string PictureFolder() { return PictureFolderFor(ProgramDirectory()); }
