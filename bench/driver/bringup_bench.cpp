// How long a camera takes from plugging to the first open handle: attach, activation,
// sensor detection and controller set-up, through the real driver library
// (libvelmar.so) against emulated cameras in real-time mode. Sensors found early in
// the detection and those found only after the identifier probes are shown side by side.

#include <benchmark/benchmark.h>

#include <string>

#include "emucam/emulated_camera.h"
#include "platform/windows.h"
#include "usbhost/usbhost.h"

namespace {

bool InstallDriver() {
  static const bool installed = [] {
    std::string error;
    return usbhost::InstallClientDriver(u"VELMAR.DLL", error);
  }();
  return installed;
}

void BringUp(benchmark::State& state, const std::string& options) {
  if (!InstallDriver()) {
    state.SkipWithError("libvelmar.so could not be installed");
    return;
  }
  for (auto _ : state) {
    std::string error;
    auto camera = emucam::EmulatedCamera::Create(options, error);
    const usbhost::DeviceId id = usbhost::PlugDevice(camera);
    HANDLE handle = CreateFileW(u"VLM1:", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      state.SkipWithError("the camera was not brought up");
      usbhost::UnplugDevice(id);
      break;
    }
    state.PauseTiming();
    CloseHandle(handle);
    usbhost::UnplugDevice(id);
    state.ResumeTiming();
  }
}

BENCHMARK_CAPTURE(BringUp, sensor2_probe0, std::string("sensor=2"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BringUp, sensor11_probe4, std::string("sensor=11"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BringUp, sensor12_identifier_probes, std::string("sensor=12"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BringUp, sensor11a_controller_identifier, std::string("sensor=11a"))->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
