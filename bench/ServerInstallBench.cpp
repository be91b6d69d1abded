// A server installation on a clean machine from the sample media, beside `cp -r` of the
// same files in the same run; prints the ratio of the two mean times.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "dbsetup/dmFirebirdInstallUnit.h"
#include "platform/forms/UiScript.h"
#include "platform/system/Machine.h"
#include "platform/system/MachineSetup.h"
#include "tools/media/SampleMedia.h"

namespace fs = std::filesystem;

namespace {

fs::path g_root;
double g_installSeconds = 0, g_copySeconds = 0;
long g_installRuns = 0, g_copyRuns = 0;

fs::path Fresh(const std::string& stem) {
  static std::mt19937 rng(std::random_device{}());
  return g_root / (stem + std::to_string(rng()));
}

void BM_ServerInstall(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    fs::path pc = Fresh("pc-");
    win::MachineSettings settings;
    settings.simulatedTime = true;
    win::CreateMachine(pc, settings);
    win::Machine::Use(pc);
    fs::create_directory_symlink(g_root / "media", pc / "drives" / "d");
    state.ResumeTiming();

    auto start = std::chrono::steady_clock::now();
    {
      TdmFirebirdInstall engine(nullptr);
      bool reboot = false;
      engine.InstallServer("D:\\Files\\", "C:\\Program Files\\Firebird\\Firebird_1_5\\",
                           kDefaultInstance, reboot);
    }
    g_installSeconds +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ++g_installRuns;

    state.PauseTiming();
    win::Machine::Current().CloseDatabases();
    fs::remove_all(pc);
    state.ResumeTiming();
  }
}

void BM_CopyR(benchmark::State& state) {
  for (auto _ : state) {
    fs::path to = Fresh("copy-");
    std::string cmd = "cp -r '" + (g_root / "media" / "Files").string() + "' '" + to.string() + "'";
    auto start = std::chrono::steady_clock::now();
    if (std::system(cmd.c_str()) != 0) state.SkipWithError("cp -r failed");
    g_copySeconds +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ++g_copyRuns;
    state.PauseTiming();
    fs::remove_all(to);
    state.ResumeTiming();
  }
}

BENCHMARK(BM_ServerInstall)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_CopyR)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  g_root = fs::temp_directory_path() / ("wi-bench-" + std::to_string(std::random_device{}()));
  fs::create_directories(g_root);
  media::MediaOptions tolvaneOnly;
  tolvaneOnly.install = false;
  media::CreateSampleMedia(g_root / "media", tolvaneOnly);
  UiScript::Reset();  // any dialog is a failure

  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  if (g_installRuns && g_copyRuns) {
    double install = g_installSeconds / double(g_installRuns);
    double copy = g_copySeconds / double(g_copyRuns);
    std::printf("server installation %.2f ms, cp -r %.2f ms: ratio %.2f (target: within 3)\n",
                install * 1e3, copy * 1e3, install / copy);
  }
  std::error_code ec;
  fs::remove_all(g_root, ec);
  return 0;
}
