// The page in a real browser: headless Chromium shows the live picture, and the page's
// controls change the camera.
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <thread>

#include "camweb_process.h"
#include "headless_chromium.h"
#include "http_client.h"
#include "testing/jpeg_check.h"

namespace {

using Clock = std::chrono::steady_clock;

// Polls `expression` in the page until it gives `wanted`.
bool PageReaches(HeadlessChromium& browser, const std::string& expression, const nlohmann::json& wanted,
                 milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    if (browser.Evaluate(expression) == wanted) return true;
    std::this_thread::sleep_for(milliseconds(100));
  }
  return false;
}

bool CameraReaches(uint16_t port, const std::string& key, const nlohmann::json& wanted, milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    const auto list = nlohmann::json::parse(Get(port, "/api/cameras").body, nullptr, false);
    if (!list.is_discarded() && list["cameras"][0][key] == wanted) return true;
    std::this_thread::sleep_for(milliseconds(100));
  }
  return false;
}

double Spread(const DecodedJpeg& image) {
  double sum = 0, squares = 0;
  for (const uint8_t value : image.rgb) {
    sum += value;
    squares += static_cast<double>(value) * value;
  }
  const double count = static_cast<double>(image.rgb.size());
  return std::sqrt(squares / count - (sum / count) * (sum / count));
}

double MeanDifference(const DecodedJpeg& a, const DecodedJpeg& b) {
  double total = 0;
  for (size_t i = 0; i < a.rgb.size() && i < b.rgb.size(); ++i) total += std::abs(a.rgb[i] - b.rgb[i]);
  return total / static_cast<double>(a.rgb.size());
}

// A "change" on one of the page's controls, as a user's choice makes it.
std::string Choose(const std::string& control, const std::string& value) {
  return "(() => { const c = document.getElementById('" + control + "'); c.value = '" + value +
         "'; c.dispatchEvent(new Event('change')); return true; })()";
}

TEST(CamwebPage, ShowsTheLivePictureAndItsControlsChangeTheCamera) {
  CamwebProcess camweb(FindFreePort());
  ASSERT_TRUE(camweb.Ready()) << camweb.Output();
  HeadlessChromium browser;
  ASSERT_TRUE(browser.Started()) << "chromium (scripts/install-deps installs it)";
  ASSERT_TRUE(browser.Open("http://127.0.0.1:" + std::to_string(camweb.Port()) + "/?size=320x240"));

  const std::string width = "document.getElementById('live').naturalWidth";
  ASSERT_TRUE(PageReaches(browser, width, 320, milliseconds(15000)));
  const auto box =
      browser.Evaluate("JSON.parse(JSON.stringify(document.getElementById('live').getBoundingClientRect()))");
  ASSERT_TRUE(box.has_value());
  auto shot = [&] {
    const auto bytes = browser.Screenshot((*box)["x"], (*box)["y"], (*box)["width"], (*box)["height"]);
    return DecodeJpeg(bytes);
  };
  const auto first = shot();
  std::this_thread::sleep_for(milliseconds(700));
  const auto second = shot();
  ASSERT_TRUE(first.has_value() && second.has_value());
  EXPECT_EQ(first->width, 320);
  EXPECT_GT(Spread(*first), 10.0) << "the picture is blank";
  EXPECT_GT(MeanDifference(*first, *second), 1.0) << "the picture does not change";

  ASSERT_TRUE(browser.Evaluate(Choose("light_mode", "0")).has_value());
  EXPECT_TRUE(CameraReaches(camweb.Port(), "light_mode", 0, milliseconds(5000)));
  ASSERT_TRUE(browser.Evaluate(Choose("bandwidth", "6")).has_value());
  EXPECT_TRUE(CameraReaches(camweb.Port(), "bandwidth", 6, milliseconds(5000)));
  // A new size restarts the page's stream at that size.
  ASSERT_TRUE(browser.Evaluate(Choose("size", "640x480")).has_value());
  EXPECT_TRUE(CameraReaches(camweb.Port(), "size", "640x480", milliseconds(5000)));
  EXPECT_TRUE(PageReaches(browser, width, 640, milliseconds(5000)));
  EXPECT_TRUE(PageReaches(browser, "document.getElementById('figures').textContent.includes('1 viewer')", true,
                          milliseconds(5000)));
}

}  // namespace
