// Soak run of the real main window: Start and Stop, pictures and sizes switched at random
// intervals for a given time, resident memory printed at each interval; a verdict at the end.
//   frostwipe_soak [--seconds N] [--report-seconds N] [--tolerance-mb N] [--seed N]
// Exit status: 0 when memory stayed flat, 1 when it grew, 2 for bad arguments. Sanitizer reports
// end the process on their own (scripts/soak runs this under AddressSanitizer).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
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

namespace {

struct Options {
  int seconds = 30 * 60;
  int reportSeconds = 60;
  // Growth allowed between the median of the first reports and that of the last ones. Under
  // AddressSanitizer single reports swing by about 30 MB as its quarantine of freed blocks
  // turns over; medians of five ride that out, while a leak of a frame a minute (300 KB) over
  // half an hour, or any steady growth of 1 MB a minute, exceeds it.
  int toleranceMb = 16;
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
      o->toleranceMb = static_cast<int>(value);
    else if (key == "--seed")
      o->seed = static_cast<unsigned>(value);
    else
      return false;
  }
  return argc % 2 == 1;
}

double ResidentMb() {
  long pages = 0, resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1 << 20);
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
  // play): the median of the last reports is within the tolerance of the median of the first
  // ones, five each (fewer in a short run). Prints the figures either way.
  bool Verdict() const {
    std::printf("soak: %d start/stop presses, %d picture switches, %d size switches\n", presses_,
                pictures_, sizes_);
    const std::size_t window = std::min<std::size_t>(5, readings_.size() / 2);
    if (window < 2) {
      std::printf("soak: memory: too few reports to judge (%zu)\n", readings_.size());
      return true;
    }
    const double first = Median(readings_.begin(), readings_.begin() + window);
    const double last = Median(readings_.end() - window, readings_.end());
    const double highest = *std::max_element(readings_.begin(), readings_.end());
    const bool flat = last - first <= options_.toleranceMb;
    std::printf(
        "soak: memory: median of the first %zu reports %.1f MB, of the last %zu %.1f MB, "
        "growth %.1f MB (tolerance %d MB), highest %.1f MB: %s\n",
        window, first, window, last, last - first, options_.toleranceMb, highest,
        flat ? "flat" : "GROWING");
    return flat;
  }

 private:
  static double Median(std::vector<double>::const_iterator begin,
                       std::vector<double>::const_iterator end) {
    std::vector<double> sorted(begin, end);
    std::sort(sorted.begin(), sorted.end());
    const std::size_t n = sorted.size();
    return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
  }

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
    } else if (form_->VideoSizesComboBox->count() > 0) {
      QComboBox* sizes = form_->VideoSizesComboBox;
      const int index = std::uniform_int_distribution<int>(0, sizes->count() - 1)(random_);
      sizes->setCurrentIndex(index);
      emit sizes->activated(index);  // as a choice in the list does
      ++sizes_;
    }
    actionTimer_.start(NextDelayMs());
  }

  void Report() {
    const double mb = ResidentMb();
    readings_.push_back(mb);
    const qint64 seconds = clock_.elapsed() / 1000;
    std::printf("soak: %3lld:%02lld  resident %.1f MB\n", seconds / 60, seconds % 60, mb);
    std::fflush(stdout);
  }

  TVideoCaptureForm* form_;
  const Options options_;
  std::mt19937 random_;
  QElapsedTimer clock_;
  QTimer actionTimer_;
  QTimer reportTimer_;
  std::vector<double> readings_;
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
