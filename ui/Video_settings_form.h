// The video settings dialog: device, size, mirror and the device's own property dialogs.
#pragma once

#include "platform/toolkit/Forms.h"

class QCheckBox;
class QComboBox;
class TLabel;
class QPushButton;

// Keeps no state of its own: every control acts at once on the main window's capture control.
// Thread: UI. Created hidden at start-up, after the main window.
class TVideoSetingsForm : public TForm {
  Q_OBJECT

 public:
  TVideoSetingsForm();
  ~TVideoSetingsForm() override;

  TLabel* VideoDeviceLabel = nullptr;
  QComboBox* VideoDeviceComboBox = nullptr;
  TLabel* VideoSizeLabel = nullptr;
  QComboBox* VideoSizesComboBox = nullptr;
  QPushButton* StreamButton = nullptr;
  QPushButton* DeviceButton = nullptr;
  QPushButton* OKButton = nullptr;
  QCheckBox* FlipHorizontalCheckBox = nullptr;

  void FormCreate();
  void VideoDeviceComboBoxChange();
  void VideoSizesComboBoxChange();
  void DeviceButtonClick();
  void StreamButtonClick();
  void FlipHorizontalCheckBoxClick();
  void OKButtonClick();

 protected:
  void FormShow() override;
};

extern TVideoSetingsForm* VideoSetingsForm;
