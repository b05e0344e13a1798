// The libusb backend against the emulated backend, the same emulated camera behind both
// (fast timing, frames back to back): frames the driver delivers per second and the
// process's CPU time per delivered frame at both sizes, and the time one isochronous
// transfer of four packets takes through libusb and the mock USB bus against a direct
// call. On a real full-speed camera each packet is one 1 ms USB frame, so a transfer of
// four packets adds 4 ms of bus time that no host removes.
//
//   umockdev-wrapper build/release/bin/usbreal_bench

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "camclient/camclient.h"
#include "emucam/emulated_camera.h"
#include "usbhost/usbhost.h"
#include "usbreal/open_device.h"
#include "usbtestbed/mock_usb_bus.h"
#include "velmar/vlm_ioctl.h"

namespace {

double ProcessSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

usbtestbed::MockUsbBus& Bus() {
  static auto* bus = new usbtestbed::MockUsbBus;
  return *bus;
}

enum class Backend { kEmulated, kLibusb };

// A camera plugged through the chosen backend; null when it cannot be.
struct Plugged {
  std::shared_ptr<emucam::EmulatedCamera> camera;
  std::shared_ptr<usbtestbed::MockDevice> mock;
  std::shared_ptr<usbhost::DeviceBackend> backend;
  usbhost::DeviceId id = 0;
};

Plugged Plug(Backend backend, const std::string& cameraOptions, std::string& error) {
  Plugged plugged;
  plugged.camera = emucam::EmulatedCamera::Create(cameraOptions, error);
  if (!plugged.camera) return plugged;
  plugged.backend = plugged.camera;
  if (backend == Backend::kLibusb) {
    plugged.mock = Bus().Add(plugged.camera);
    plugged.backend = usbreal::OpenDevice(plugged.mock->bus(), plugged.mock->address(), error);
  }
  return plugged;
}

void Unplug(Plugged& plugged) {
  if (plugged.id != 0) usbhost::UnplugDevice(plugged.id);
  plugged.backend.reset();
  if (plugged.mock) Bus().Remove(plugged.mock);
}

// Frames delivered (each a new one, as GET_FRAME hands out) in RGB24 for a second of
// capture through the driver: decoding and conversion included, as a viewer sees it.
void BM_DeliveredFrames(benchmark::State& state, Backend backend, DWORD sizeIndex, const char* cameraOptions) {
  std::string error;
  if (!usbhost::InstallClientDriver(u"VELMAR.DLL", error)) return state.SkipWithError(error.c_str());
  Plugged plugged = Plug(backend, cameraOptions, error);
  if (!plugged.backend || (plugged.id = usbhost::PlugDevice(plugged.backend)) == 0 || OpenCamera(0) != 0) {
    Unplug(plugged);
    return state.SkipWithError(("no camera: " + error).c_str());
  }
  SetVideoFormat(0, VLM_FORMAT_RGB24, sizeIndex);
  std::vector<uint8_t> jpeg(40960), image(640 * 480 * 3);
  DWORD counts[2] = {};
  double frames = 0, cpu = 0, wall = 0;
  for (auto _ : state) {
    StartCapture(0);
    const double cpuStart = ProcessSeconds();
    const auto start = std::chrono::steady_clock::now();
    int delivered = 0;
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(1)) {
      // A viewer asks again a little later when no new frame has come.
      if (GetFrameAndJpeg(0, image.data(), image.size(), jpeg.data(), jpeg.size(), counts) >= 0) {
        ++delivered;
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    }
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    cpu += ProcessSeconds() - cpuStart;
    frames += delivered;
    StopCapture(0);
  }
  CloseCamera(0);
  if (plugged.mock) state.counters["empty_reaps_per_s"] = static_cast<double>(plugged.mock->Counts().emptyReaps) / wall;
  Unplug(plugged);
  state.counters["frames_per_s"] = frames / wall;
  state.counters["cpu_ms_per_frame"] = frames > 0 ? 1000.0 * cpu / frames : 0;
}

// One isochronous transfer of four 1023-byte packets straight on the backend.
void BM_IsochronousTransfer(benchmark::State& state, Backend backend) {
  std::string error;
  Plugged plugged = Plug(backend, "timing=fast,fps=max", error);
  if (!plugged.backend || !plugged.backend->SelectAlternateSetting(0, 7)) {
    Unplug(plugged);
    return state.SkipWithError(("no camera: " + error).c_str());
  }
  const std::vector<DWORD> lengths(4, 1023);
  std::vector<DWORD> actual(4);
  std::vector<uint8_t> buffer(4 * 1023);
  size_t bytes = 0;
  for (auto _ : state) {
    if (!plugged.backend->IsochIn(0x81, lengths, buffer.data(), actual)) {
      state.SkipWithError("transfer failed");
      break;
    }
    for (DWORD length : actual) bytes += length;
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
  Unplug(plugged);
}

void Register() {
  // Frames as fast as the emulated camera makes them (fast timing, back to back), and a
  // camera at its 25 frames per second on a real-time bus clock.
  const std::pair<const char*, const char*> paces[] = {{"max", "timing=fast,fps=max"},
                                                       {"25fps", "timing=realtime,fps=25"}};
  for (auto [name, backend] : {std::pair{"emulated", Backend::kEmulated}, std::pair{"libusb", Backend::kLibusb}}) {
    for (auto [pace, options] : paces) {
      for (auto [size, index] : {std::pair{"640x480", VLM_SIZE_640X480}, std::pair{"320x240", VLM_SIZE_320X240}}) {
        benchmark::RegisterBenchmark((std::string("DeliveredFrames/") + name + "/" + pace + "/" + size).c_str(),
                                     BM_DeliveredFrames, backend, static_cast<DWORD>(index), options)
            ->Iterations(2)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
      }
    }
    benchmark::RegisterBenchmark((std::string("IsochronousTransfer/") + name).c_str(), BM_IsochronousTransfer, backend)
        ->Unit(benchmark::kMicrosecond)
        ->UseRealTime();
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (!usbtestbed::MockUsbBus::Active()) {
    std::fprintf(stderr, "usbreal_bench: run it under umockdev-wrapper (the libusb side needs the mock USB bus)\n");
    return 1;
  }
  Bus();  // before libusb starts
  Register();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  usbhost::ShutdownHost();
  return 0;
}
