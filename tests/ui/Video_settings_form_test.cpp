#include "ui/Video_settings_form.h"

#include <cstdlib>

#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include "capture/CaptureCtl.h"
#include "capture/core/SyncManager.h"
#include "game/Video_capture_form.h"

// Catches: the check box not showing the control's mirror setting at each show, or its click
// not reaching the control.
TEST(VideoSettingsTest, MirrorCheckBoxFollowsTheControl) {
  setenv("FROSTWIPE_DEVICE_PROVIDERS", "", 1);
  TVideoCaptureForm main;
  TVideoSetingsForm settings;
  EXPECT_EQ(settings.VideoDeviceComboBox->count(), 0) << "no capture device in this process";
  settings.show();
  EXPECT_TRUE(settings.FlipHorizontalCheckBox->isChecked());
  settings.FlipHorizontalCheckBox->click();
  EXPECT_FALSE(main.CaptureControl1->VideoProcessing_FlipHorizontal());
  settings.OKButton->click();
  EXPECT_FALSE(settings.isVisible());
  main.CaptureControl1->SetVideoProcessing_FlipHorizontal(true);
  settings.show();
  EXPECT_TRUE(settings.FlipHorizontalCheckBox->isChecked());
  EXPECT_EQ(settings.windowTitle(), QStringLiteral("Video settings"));
  EXPECT_EQ(settings.centralWidget()->size(), QSize(350, 143));
}

// Catches: the main window's device handler filling its own hidden list instead of the dialog's.
TEST(VideoSettingsTest, DeviceSelectedFillsTheDialogsSizeList) {
  TVideoCaptureForm main;
  TVideoSetingsForm settings;
  settings.VideoSizesComboBox->addItem(QStringLiteral("stale"));
  main.CaptureControl1VideoDeviceSelected(main.CaptureControl1);
  EXPECT_EQ(settings.VideoSizesComboBox->count(), 0) << "a control without devices has no sizes";
  EXPECT_EQ(main.VideoSizesComboBox->count(), 0);
}

// Catches: a camera that does not open by itself at the first idle moment, or a settings dialog
// whose boxes do not show the device and its sizes.
TEST(VideoSettingsTest, DemoCameraOpensAtFirstIdleAndFillsTheBoxes) {
  setenv("FROSTWIPE_DEVICE_PROVIDERS", "demo", 1);
  FinalizeCaptureUnit();  // the device lists of an earlier test in this process
  TVideoCaptureForm main;
  TVideoSetingsForm settings;
  QComboBox* sizes = settings.findChild<QComboBox*>(QStringLiteral("VideoSizesComboBox"));
  ASSERT_NE(sizes, nullptr);
  // A loop that waits, so the application's idle moment comes as in the running program.
  for (int i = 0; i < 100 && sizes->count() == 0; ++i) {
    QEventLoop loop;
    QTimer::singleShot(20, &loop, &QEventLoop::quit);
    loop.exec();
  }
  settings.show();
  ASSERT_EQ(settings.VideoDeviceComboBox->count(), 1);
  EXPECT_EQ(settings.VideoDeviceComboBox->itemText(0),
            QStringLiteral("Frostwipe Demo Camera (WDM)"));
  EXPECT_EQ(settings.VideoDeviceComboBox->currentIndex(), 0);
  QStringList items;
  for (int i = 0; i < sizes->count(); ++i) items << sizes->itemText(i);
  EXPECT_EQ(items, (QStringList{"default", "160x120", "320x240", "640x480"}));
  EXPECT_EQ(main.CaptureControl1->VideoWidth(), 320);
  EXPECT_EQ(main.CaptureControl1->VideoHeight(), 240);
}
