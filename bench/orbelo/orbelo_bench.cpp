// A 320 x 240 frame as a BMP picture at 16, 24 and 32 bits: BmpFileBytes and SaveBmpFile
// beside what a Qt program would write instead, QImage's BMP writer. Qt widens 16-bit
// frames to 24 bits, so its 16-bit files are larger.
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>
#include <vector>

#include "appcommon/display_format.h"
#include "orbelo/bmp_file.h"
#include "orbelo/saved_pictures.h"

namespace {

constexpr uint32_t kWidth = 320, kHeight = 240;

std::vector<uint8_t> Frame(unsigned bits) {
  std::vector<uint8_t> frame(size_t{kWidth} * kHeight * bits / 8);
  for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i * 7 + i / 640);
  return frame;
}

QImage FrameImage(const std::vector<uint8_t>& frame, unsigned bits) {
  return QImage(frame.data(), kWidth, kHeight, static_cast<qsizetype>(kWidth * bits / 8), ImageFormatForDepth(bits));
}

void BM_BmpFileBytes(benchmark::State& state) {
  const auto bits = static_cast<unsigned>(state.range(0));
  const std::vector<uint8_t> frame = Frame(bits);
  size_t bytes = 0;
  for (auto _ : state) {
    const std::vector<uint8_t> file = BmpFileBytes(kWidth, kHeight, bits, frame.data());
    bytes = file.size();
    benchmark::DoNotOptimize(file.data());
  }
  state.counters["file_bytes"] = static_cast<double>(bytes);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * frame.size()));
}

void BM_QImageBmpWriter(benchmark::State& state) {
  const auto bits = static_cast<unsigned>(state.range(0));
  const std::vector<uint8_t> frame = Frame(bits);
  const QImage image = FrameImage(frame, bits);
  qsizetype bytes = 0;
  for (auto _ : state) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    bytes = buffer.size();
    benchmark::DoNotOptimize(buffer.data().data());
  }
  state.counters["file_bytes"] = static_cast<double>(bytes);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * frame.size()));
}

void BM_SaveBmpFile(benchmark::State& state) {
  const auto bits = static_cast<unsigned>(state.range(0));
  const std::vector<uint8_t> frame = Frame(bits);
  QTemporaryDir folder;
  const std::string path = folder.path().toStdString() + "/";
  for (auto _ : state) {
    const std::string written = SaveBmpFile(path, kWidth, kHeight, bits, frame.data());
    state.PauseTiming();
    std::remove(written.c_str());
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * frame.size()));
}

void BM_QImageSaveBmp(benchmark::State& state) {
  const auto bits = static_cast<unsigned>(state.range(0));
  const std::vector<uint8_t> frame = Frame(bits);
  const QImage image = FrameImage(frame, bits);
  QTemporaryDir folder;
  const QString path = folder.filePath(QStringLiteral("frame.bmp"));
  for (auto _ : state) {
    image.save(path, "BMP");
    state.PauseTiming();
    QFile::remove(path);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * frame.size()));
}

BENCHMARK(BM_BmpFileBytes)->Arg(16)->Arg(24)->Arg(32);
BENCHMARK(BM_QImageBmpWriter)->Arg(16)->Arg(24)->Arg(32);
BENCHMARK(BM_SaveBmpFile)->Arg(16)->Arg(24)->Arg(32);
BENCHMARK(BM_QImageSaveBmp)->Arg(16)->Arg(24)->Arg(32);

}  // namespace

BENCHMARK_MAIN();
