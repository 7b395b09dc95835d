#include "ui/Video_settings_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "capture/CaptureCtl.h"
#include "game/Video_capture_form.h"
#include "platform/toolkit/Application.h"

TVideoSetingsForm* VideoSetingsForm = nullptr;

namespace {
TCaptureControl* Capture() {
  if (!VideoCaptureForm) throw EFormError("the main window does not exist");
  return VideoCaptureForm->CaptureControl1;
}
}  // namespace

TVideoSetingsForm::TVideoSetingsForm() {
  VideoSetingsForm = this;
  VideoSettingsWindow = this;
  FitLabelsWhenShown();
  LoadDescription(QStringLiteral("Video_settings_form"));
  VideoDeviceLabel = Control<TLabel>("VideoDeviceLabel");
  VideoDeviceComboBox = Control<QComboBox>("VideoDeviceComboBox");
  VideoSizeLabel = Control<TLabel>("VideoSizeLabel");
  VideoSizesComboBox = Control<QComboBox>("VideoSizesComboBox");
  StreamButton = Control<QPushButton>("StreamButton");
  DeviceButton = Control<QPushButton>("DeviceButton");
  OKButton = Control<QPushButton>("OKButton");
  FlipHorizontalCheckBox = Control<QCheckBox>("FlipHorizontalCheckBox");

  connect(VideoDeviceComboBox, &QComboBox::activated, this,
          Handler(this, &TVideoSetingsForm::VideoDeviceComboBoxChange));
  connect(VideoSizesComboBox, &QComboBox::activated, this,
          Handler(this, &TVideoSetingsForm::VideoSizesComboBoxChange));
  connect(StreamButton, &QPushButton::clicked, this,
          Handler(this, &TVideoSetingsForm::StreamButtonClick));
  connect(DeviceButton, &QPushButton::clicked, this,
          Handler(this, &TVideoSetingsForm::DeviceButtonClick));
  connect(OKButton, &QPushButton::clicked, this, Handler(this, &TVideoSetingsForm::OKButtonClick));
  connect(FlipHorizontalCheckBox, &QCheckBox::toggled, this,
          Handler(this, &TVideoSetingsForm::FlipHorizontalCheckBoxClick));
  VideoDeviceComboBox->setAccessibleName(tr("Video device"));
  VideoSizesComboBox->setAccessibleName(tr("Video size"));
  FormCreate();
}

TVideoSetingsForm::~TVideoSetingsForm() {
  if (VideoSetingsForm == this) VideoSetingsForm = nullptr;
  if (VideoSettingsWindow == this) VideoSettingsWindow = nullptr;
}

void TVideoSetingsForm::FormCreate() {
  VideoDeviceComboBox->clear();
  VideoDeviceComboBox->addItems(VideoDevices().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts));
  VideoDeviceComboBox->setCurrentIndex(VideoCaptureForm ? Capture()->VideoDevice() : -1);
}

void TVideoSetingsForm::FormShow() {
  CenterOnScreen();
  FlipHorizontalCheckBox->setChecked(Capture()->VideoProcessing_FlipHorizontal());
}

void TVideoSetingsForm::VideoDeviceComboBoxChange() {
  Capture()->SetVideoDevice(VideoDeviceComboBox->currentIndex());
  VideoCaptureForm->InitGameBuffers();
}

void TVideoSetingsForm::VideoSizesComboBoxChange() {
  Capture()->SetVideoSize(VideoSizesComboBox->currentIndex());
  VideoCaptureForm->InitGameBuffers();
}

void TVideoSetingsForm::DeviceButtonClick() {
  Capture()->ShowDialog(0);
}

void TVideoSetingsForm::StreamButtonClick() {
  Capture()->ShowDialog(3);
  VideoCaptureForm->CaptureControl1VideoDeviceSelected(this);
}

void TVideoSetingsForm::FlipHorizontalCheckBoxClick() {
  Capture()->SetVideoProcessing_FlipHorizontal(FlipHorizontalCheckBox->isChecked());
}

void TVideoSetingsForm::OKButtonClick() {
  Close();
}
