// Soak run of the real main window: Start and Stop, pictures and sizes switched at random
// intervals for a given time, resident memory and live heap printed at each interval; a verdict
// at the end.
//   frostwipe_soak [--seconds N] [--report-seconds N] [--tolerance-mb N] [--seed N]
// Exit status: 0 when memory stayed flat, 1 when it grew, 2 for bad arguments. Sanitizer reports
// end the process on their own (scripts/soak runs this under AddressSanitizer).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <malloc.h>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include "game/Video_capture_form.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Controls.h"
#include "ui/About.h"
#include "ui/Video_settings_form.h"

#if defined(__SANITIZE_ADDRESS__)
#define SOAK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SOAK_ASAN 1
#endif
#endif
#ifdef SOAK_ASAN
// The sanitizer's count of live bytes (sanitizer/allocator_interface.h, not installed with gcc):
// malloc statistics do not see its allocator.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

struct Options {
  int seconds = 30 * 60;
  int reportSeconds = 60;
  // Growth of the live heap allowed between the median of the first five reports and that of
  // the last five: a frame (300 KB) kept a minute over half an hour exceeds it.
  int toleranceMb = 8;
  // The same for resident memory, which also sees stacks, mappings and the allocator's pools:
  // under AddressSanitizer single readings swing by 30 MB as its quarantine of freed blocks
  // turns over, and its pools keep what the quarantine once held.
  int residentToleranceMb = 64;
  unsigned seed = std::random_device{}();
};

bool ParseOptions(int argc, char** argv, Options* o) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i];
    char* end = nullptr;
    const long value = std::strtol(argv[i + 1], &end, 10);
    if (*end != '\0' || value < 0) return false;
    if (key == "--seconds")
      o->seconds = static_cast<int>(value);
    else if (key == "--report-seconds" && value > 0)
      o->reportSeconds = static_cast<int>(value);
    else if (key == "--tolerance-mb")
      o->toleranceMb = o->residentToleranceMb = static_cast<int>(value);
    else if (key == "--seed")
      o->seed = static_cast<unsigned>(value);
    else
      return false;
  }
  return argc % 2 == 1;
}

struct Memory {
  double residentMb;
  double heapMb;  // allocated and not yet freed
};

Memory MeasureMemory() {
  long pages = 0, resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  Memory m;
  m.residentMb =
      static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1 << 20);
#ifdef SOAK_ASAN
  m.heapMb = static_cast<double>(__sanitizer_get_current_allocated_bytes()) / (1 << 20);
#else
  const struct mallinfo2 info = mallinfo2();
  m.heapMb = static_cast<double>(info.uordblks + info.hblkhd) / (1 << 20);
#endif
  return m;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Whether a series grew by at most the tolerance from its first reports to its last; prints the
// figures either way.
bool Flat(const char* what, const std::vector<double>& series, std::size_t window,
          int toleranceMb) {
  const double first = Median({series.begin(), series.begin() + window});
  const double last = Median({series.end() - window, series.end()});
  const double highest = *std::max_element(series.begin(), series.end());
  const bool flat = last - first <= toleranceMb;
  std::printf(
      "soak: %s: median of the first %zu reports %.1f MB, of the last %zu %.1f MB, "
      "growth %.1f MB (tolerance %d MB), highest %.1f MB: %s\n",
      what, window, first, window, last, last - first, toleranceMb, highest,
      flat ? "flat" : "GROWING");
  return flat;
}

// Thread: UI. Presses the window's controls as a restless player would.
class Player {
 public:
  Player(TVideoCaptureForm* form, const Options& options)
      : form_(form), options_(options), random_(options.seed) {}

  void Start() {
    clock_.start();
    QObject::connect(&actionTimer_, &QTimer::timeout, [this] { Act(); });
    QObject::connect(&reportTimer_, &QTimer::timeout, [this] { Report(); });
    actionTimer_.setSingleShot(true);
    reportTimer_.setTimerType(Qt::PreciseTimer);  // a coarse timer fires up to 5% early
    actionTimer_.start(NextDelayMs());
    reportTimer_.start(options_.reportSeconds * 1000);
  }

  // Whether memory stayed flat after the first report (which follows the first interval of
  // play): live heap and resident memory, judged by the medians of the first and the last five
  // reports (fewer in a short run).
  bool Verdict() const {
    std::printf("soak: %d start/stop presses, %d picture switches, %d size switches\n", presses_,
                pictures_, sizes_);
    const std::size_t window = std::min<std::size_t>(5, resident_.size() / 2);
    if (window < 2) {
      std::printf("soak: memory: too few reports to judge (%zu)\n", resident_.size());
      return true;
    }
    const bool heap = Flat("live heap", heap_, window, options_.toleranceMb);
    const bool resident = Flat("resident", resident_, window, options_.residentToleranceMb);
    return heap && resident;
  }

 private:
  int NextDelayMs() { return std::uniform_int_distribution<int>(200, 3000)(random_); }

  void Act() {
    if (clock_.elapsed() >= static_cast<qint64>(options_.seconds) * 1000) {
      reportTimer_.stop();
      Report();
      form_->Close();
      return;
    }
    const int choice = std::uniform_int_distribution<int>(0, 9)(random_);
    if (choice < 4) {
      form_->StartStopButton->click();
      ++presses_;
    } else if (choice < 7) {
      form_->ImageSelectUpDown->Click(choice == 4 ? btPrev : btNext);
      ++pictures_;
    } else if (QComboBox* sizes = SizesList(); sizes && sizes->count() > 0) {
      const int index = std::uniform_int_distribution<int>(0, sizes->count() - 1)(random_);
      sizes->setCurrentIndex(index);
      emit sizes->activated(index);  // as a choice in the list does
      ++sizes_;
    }
    actionTimer_.start(NextDelayMs());
  }

  // The player picks sizes in the video settings window; the game does not fill the main
  // window's own list.
  static QComboBox* SizesList() {
    return VideoSettingsWindow
               ? VideoSettingsWindow->findChild<QComboBox*>(QStringLiteral("VideoSizesComboBox"))
               : nullptr;
  }

  void Report() {
    const Memory m = MeasureMemory();
    resident_.push_back(m.residentMb);
    heap_.push_back(m.heapMb);
    const qint64 seconds = clock_.elapsed() / 1000;
    std::printf("soak: %3lld:%02lld  resident %.1f MB  live heap %.1f MB\n", seconds / 60,
                seconds % 60, m.residentMb, m.heapMb);
    std::fflush(stdout);
  }

  TVideoCaptureForm* form_;
  const Options options_;
  std::mt19937 random_;
  QElapsedTimer clock_;
  QTimer actionTimer_;
  QTimer reportTimer_;
  std::vector<double> resident_;
  std::vector<double> heap_;
  int presses_ = 0, pictures_ = 0, sizes_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::fprintf(stderr,
                 "usage: frostwipe_soak [--seconds N] [--report-seconds N] [--tolerance-mb N] "
                 "[--seed N]\n");
    return 2;
  }
  std::printf("soak: %d s, a report every %d s, seed %u\n", options.seconds, options.reportSeconds,
              options.seed);
  std::fflush(stdout);
  TApplication application(argc, argv);
  bool flat = false;
  try {
    application.Initialize();
    application.SetTitle(QStringLiteral("Frostwipe"));
    application.CreateForm<TVideoCaptureForm>();
    application.CreateForm<TFormAbout>();
    application.CreateForm<TVideoSetingsForm>();
    auto* form = qobject_cast<TVideoCaptureForm*>(application.MainForm());
    if (!form) return 1;
    Player player(form, options);
    player.Start();
    application.Run();
    flat = player.Verdict();
  } catch (...) {
    application.HandleException();
    return 1;
  }
  return flat ? 0 : 1;
}
