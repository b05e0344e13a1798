// UTF conversion, the wide formatter and the platform path mapping.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <cstdlib>
#include <string>

#include "platform/windows.h"

namespace {

TEST(Utf, RoundTripsTextOutsideTheBasicPlane) {
  const std::string text = "Kam\xC3\xA9ra \xE2\x82\xAC \xF0\x9F\x93\xB7";  // é, €, a camera emoji
  const std::u16string wide = Utf8ToUtf16(text);
  EXPECT_EQ(wide, u"Kam\u00E9ra \u20AC \U0001F4F7");
  EXPECT_EQ(wide.size(), 11u);  // the emoji takes a surrogate pair
  EXPECT_EQ(Utf16ToUtf8(wide), text);
}

TEST(Utf, MalformedInputBecomesReplacementCharacters) {
  EXPECT_EQ(Utf8ToUtf16("a\xFF"
                        "b"),
            u"a\uFFFDb");
  EXPECT_EQ(Utf8ToUtf16("\xE2\x82"), u"\uFFFD");      // cut short
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD");      // overlong '/'
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD");  // an encoded surrogate
  const char16_t loneSurrogate[] = {u'x', 0xD800, u'y', 0};
  EXPECT_EQ(Utf16ToUtf8(loneSurrogate), "x\xEF\xBF\xBDy");
}

TEST(Utf, WideLengthCountsUnitsAndAcceptsNull) {
  EXPECT_EQ(WideLength(u"VLM1:"), 5u);
  EXPECT_EQ(WideLength(u""), 0u);
  EXPECT_EQ(WideLength(nullptr), 0u);
}

TEST(FormatWide, FormatsTheSubsetTheSystemUses) {
  WCHAR out[64];
  EXPECT_EQ(FormatWide(out, 64, u"VLM%d:", 1), 5);
  EXPECT_EQ(std::u16string(out), u"VLM1:");
  FormatWide(out, 64, u"%s\\%s", u"\\Drivers\\Active", u"02");
  EXPECT_EQ(std::u16string(out), u"\\Drivers\\Active\\02");
  FormatWide(out, 64, u"[%05d|%-3|%4u|%x|%04X|%c|%S|%%]", -42, 7u, 255u, 0xBEEFu, u'Z', "narrow");
  EXPECT_EQ(std::u16string(out), u"[-0042|%-3|   7|ff|BEEF|Z|narrow|%]");
  FormatWide(out, 64, u"%ld %s", -5, static_cast<LPCWSTR>(nullptr));
  EXPECT_EQ(std::u16string(out), u"-5 (null)");
}

TEST(FormatWide, NeverWritesPastTheCapacity) {
  WCHAR out[8];
  std::fill(std::begin(out), std::end(out), u'#');
  EXPECT_EQ(FormatWide(out, 6, u"Port%d", 12345), 5);
  EXPECT_EQ(std::u16string(out), u"Port1");
  EXPECT_EQ(out[6], u'#');
  EXPECT_EQ(FormatWide(out, 0, u"x"), 0);
  EXPECT_EQ(out[0], u'P');
  EXPECT_EQ(FormatWide(nullptr, 8, u"x"), 0);
  EXPECT_EQ(FormatWide(out, 8, u"50%"), 3);  // a lone trailing '%' is copied
  EXPECT_EQ(std::u16string(out), u"50%");
}

TEST(PlatformPath, BackslashesBecomeSlashes) {
  EXPECT_EQ(MapPlatformPath(u"snapshots\\2024\\a.jpg"), "snapshots/2024/a.jpg");
  EXPECT_EQ(MapPlatformPath(u"/tmp/x"), "/tmp/x");
}

TEST(PlatformPath, ResidentFlashGoesToTheFlashFolderWhichIsCreated) {
  const std::string folder = std::string(::testing::TempDir()) + "platform-flash-test/nested";
  setenv("VELMAR_FLASH_DIR", folder.c_str(), 1);
  EXPECT_EQ(MapPlatformPath(u"\\ResidentFlash\\except.jpg"), folder + "/except.jpg");
  struct stat info {};
  EXPECT_EQ(stat(folder.c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_EQ(MapPlatformPath(u"\\residentflashy\\a"), "/residentflashy/a");  // only the folder itself
  unsetenv("VELMAR_FLASH_DIR");
  // Without the setting: the user's own folder under the temporary folder (the session's
  // runtime folder, when there is one, is covered with the flash folder's tests).
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string savedRuntime = runtime != nullptr ? runtime : "";
  unsetenv("XDG_RUNTIME_DIR");
  const char* tmp = std::getenv("TMPDIR");
  EXPECT_EQ(MapPlatformPath(u"\\residentflash\\b.jpg"), std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") +
                                                            "/velmar-flash-" + std::to_string(geteuid()) + "/b.jpg");
  if (runtime != nullptr) setenv("XDG_RUNTIME_DIR", savedRuntime.c_str(), 1);
}

}  // namespace
