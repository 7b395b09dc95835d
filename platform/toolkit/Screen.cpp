#include "platform/toolkit/Screen.h"

#include <chrono>

#include <QApplication>
#include <QCursor>
#include <QScreen>

namespace {
std::optional<QSize> g_screenOverride;
TCursor g_cursor = crDefault;

QSize RealScreenSize() {
  QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->size() : QSize(1024, 768);
}
}  // namespace

int ScreenWidth() {
  return g_screenOverride ? g_screenOverride->width() : RealScreenSize().width();
}
int ScreenHeight() {
  return g_screenOverride ? g_screenOverride->height() : RealScreenSize().height();
}
QSize AvailableScreenSize() {
  if (g_screenOverride) return *g_screenOverride;
  QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry().size() : QSize(1024, 768);
}
void SetScreenSizeOverride(std::optional<QSize> size) {
  g_screenOverride = size;
}

Qt::CursorShape ToCursorShape(TCursor cursor) {
  switch (cursor) {
    case crHourGlass:
      return Qt::WaitCursor;
    case crHandPoint:
      return Qt::PointingHandCursor;
    default:
      return Qt::ArrowCursor;
  }
}

void SetScreenCursor(TCursor cursor) {
  if (cursor == g_cursor) return;
  if (g_cursor != crDefault) QApplication::restoreOverrideCursor();
  g_cursor = cursor;
  if (cursor != crDefault) QApplication::setOverrideCursor(QCursor(ToCursorShape(cursor)));
}

TCursor ScreenCursor() {
  return g_cursor;
}

std::uint32_t GetTickCount() {
  using namespace std::chrono;
  return static_cast<std::uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
