// Loading a file of scripted devices, 1,000 and 20,000 of them, against parsing the same file
// alone (the part that is linear by nature) measured in the same run.
#include <cstdio>
#include <map>
#include <string>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include "platform/media/virtual/ScriptedDeviceFile.h"
#include "platform/media/virtual/ScriptedDevices.h"

namespace {

QTemporaryDir* g_dir = nullptr;

// A file of count devices, none plugged in, each with a display name of its own.
QString DeviceFile(int count) {
  const QString path = g_dir->filePath(QString("devices%1.json").arg(count));
  if (QFile::exists(path)) return path;
  QByteArray json = "[";
  for (int i = 0; i < count; ++i)
    json += QByteArray(i ? "," : "") + R"({"friendlyName":"C)" + QByteArray::number(i) +
            R"(","plugged":false})";
  QFile file(path);
  if (file.open(QIODevice::WriteOnly)) file.write(json + "]");
  return path;
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void BM_ParseDevices(benchmark::State& state) {
  const QByteArray json = ReadAll(DeviceFile(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    std::vector<ScriptedDeviceEntry> devices;
    QString error;
    if (!ParseScriptedDevices(json, &devices, &error)) state.SkipWithError("not parsed");
    benchmark::DoNotOptimize(devices.data());
  }
}

void BM_LoadDevices(benchmark::State& state) {
  const QString path = DeviceFile(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    QString error;
    if (FAILED(ScriptedDevices::Instance()->LoadFile(path, &error)))
      state.SkipWithError("not loaded");
    state.PauseTiming();
    ScriptedDevices::Instance()->Clear();
    state.ResumeTiming();
  }
}

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration)
        seconds[run.benchmark_name()] =
            run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
  }
  std::map<std::string, double> seconds;
};

BENCHMARK(BM_ParseDevices)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadDevices)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  QTemporaryDir dir;
  g_dir = &dir;
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (int count : {1000, 20000}) {
    const std::string arg = "/" + std::to_string(count);
    const double load = reporter.seconds["BM_LoadDevices" + arg];
    const double parse = reporter.seconds["BM_ParseDevices" + arg];
    if (load > 0 && parse > 0)
      std::printf(
          "loading %d scripted devices: %.1f ms, baseline (parsing the file) %.1f ms, "
          "ratio %.2f\n",
          count, load * 1e3, parse * 1e3, load / parse);
  }
  benchmark::Shutdown();
  return 0;
}
