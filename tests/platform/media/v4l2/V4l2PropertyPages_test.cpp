// Tests of the media framework's property pages on a V4L2 camera's controls.
#include <linux/videodev2.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include <gtest/gtest.h>

#include "V4l2TestSupport.h"
#include "platform/media/PropertyFrame.h"
#include "platform/media/PropertyPages.h"

namespace {

// Runs `inside` on the frame once it is open (from the frame's own event loop).
void WhenFrameOpens(std::function<void(QDialog*)> inside) {
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, inside] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog || dialog->objectName() != kPropertyFrameObjectName) return;
    poll->deleteLater();
    inside(dialog);
  });
  poll->start(10);
}

}  // namespace

// Catches: a camera's automatic white balance not shown as such, a manual value the page
// cannot set while the automatic control owns it, or a slider position between two of the
// control's steps refused by the camera instead of taken to the nearer step.
TEST(V4l2PropertyPagesTest, ControlsPageDrivesTheCamera) {
  ModelScope scope;
  const std::string node = scope.Model().Plug(UsbCameraSpec());
  std::vector<ListedDevice> devices;
  ListCategory(CLSID_VideoInputDeviceCategory, &devices);
  ASSERT_EQ(devices.size(), 1u);
  ComPtr<IBaseFilter> filter;
  ASSERT_EQ(devices[0].moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                             filter.ReleaseAndGetVoidAddress()),
            S_OK);
  bool autoShown = false, sliderLocked = false, powerLine = false;
  WhenFrameOpens([&](QDialog* dialog) {
    auto* automatic = dialog->findChild<QCheckBox*>("WhiteBalance auto");
    auto* slider = dialog->findChild<QSlider*>("WhiteBalance");
    ASSERT_NE(automatic, nullptr);
    ASSERT_NE(slider, nullptr);
    autoShown = automatic->isEnabled() && automatic->isChecked();
    sliderLocked = !slider->isEnabled();
    powerLine = dialog->findChild<QSlider*>("PowerlineFrequency") != nullptr;
    automatic->setChecked(false);
    slider->setValue(5004);
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  IUnknown* object = filter.Get();
  const CLSID page = CLSID_VideoProcAmpPropertyPage;
  EXPECT_EQ(OleCreatePropertyFrame(nullptr, 30, 30, nullptr, 1, &object, 1, &page, 0, 0, nullptr),
            S_OK);
  EXPECT_TRUE(autoShown);
  EXPECT_TRUE(sliderLocked);
  EXPECT_TRUE(powerLine);
  EXPECT_EQ(scope.Model().ControlValue(node, V4L2_CID_AUTO_WHITE_BALANCE), 0);
  EXPECT_EQ(scope.Model().ControlValue(node, V4L2_CID_WHITE_BALANCE_TEMPERATURE), 5000);
}
