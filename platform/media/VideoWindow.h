// The video renderer's window: a widget that paints the latest frame scaled into its rectangle.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include <QImage>
#include <QPointer>
#include <QWidget>

// Frames reach the window through a slot shared with the renderer: the streaming thread puts
// the newest image in under a short lock and posts one queued call; the window takes the image
// on the user-interface thread. A frame that arrives before the post is handled replaces the
// waiting one, so the stream never waits for the window. Images the window no longer shows, and
// images replaced before they were shown, go back to the slot as spares that the renderer fills
// again, so a steady stream allocates no pictures.
struct VideoFrameSlot {
  static constexpr std::size_t kMaxSpares = 2;
  VideoFrameSlot() { spares.reserve(kMaxSpares); }

  std::mutex mutex;  // guards image, spares and window
  QImage image;
  std::vector<QImage> spares;
  QWidget* window = nullptr;  // cleared by the window's destructor
  std::atomic<bool> postPending{false};
};

// Thread: user-interface thread. Its object name is "VideoRenderer". Mouse and key input goes
// to the message drain when one is set.
class VideoWindow : public QWidget {
 public:
  explicit VideoWindow(std::shared_ptr<VideoFrameSlot> slot);
  ~VideoWindow() override;

  void SetMessageDrain(QWidget* drain) { drain_ = drain; }
  QWidget* MessageDrain() const { return drain_.data(); }
  // The frame shown now (null before the first one).
  QImage CurrentFrame() const { return current_; }
  // Takes the waiting image from the slot and repaints.
  void TakeFrame();

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;

 private:
  std::shared_ptr<VideoFrameSlot> slot_;
  QImage current_;
  QPointer<QWidget> drain_;
};

// Streaming thread: offers an image to the window of the slot (no-op without a window).
void OfferFrame(const std::shared_ptr<VideoFrameSlot>& slot, QImage image);
// Streaming thread: a spare image of this size and format, or a null image if there is none.
QImage TakeSpareImage(const std::shared_ptr<VideoFrameSlot>& slot, QSize size,
                      QImage::Format format);
