// Tests of property frames and pages on the virtual devices.
#include "platform/media/PropertyFrame.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include "DeviceTestSupport.h"
#include "platform/media/PropertyPages.h"
#include "tests/support/PropertyFrameDriver.h"

namespace {

std::vector<CLSID> PagesOf(IUnknown* object) {
  ComPtr<ISpecifyPropertyPages> specify = ComQuery<ISpecifyPropertyPages>(object);
  if (!specify) return {};
  CAUUID pages{};
  EXPECT_EQ(specify->GetPages(&pages), S_OK);
  std::vector<CLSID> list(pages.pElems, pages.pElems + pages.cElems);
  CoTaskMemFree(pages.pElems);
  return list;
}

HRESULT ShowFrame(IUnknown* object) {
  const std::vector<CLSID> pages = PagesOf(object);
  return OleCreatePropertyFrame(nullptr, 30, 30, nullptr, 1, &object,
                                static_cast<ULONG>(pages.size()), pages.data(), 0, 0, nullptr);
}

long Brightness(IBaseFilter* filter) {
  long value = 0;
  long flags = 0;
  ComQuery<IAMVideoProcAmp>(filter)->Get(VideoProcAmp_Brightness, &value, &flags);
  return value;
}

class PropertyFrameTest : public ::testing::Test {
 protected:
  ScriptedScope scripted_;
  ProvidersScope providers_{"demo,scripted"};
  ComPtr<IBaseFilter> demo_ = BindByName(CLSID_VideoInputDeviceCategory, u"Frostwipe Demo Camera");
};

// Catches: objects naming the wrong pages, so the device dialog shows the stream format or
// the stream dialog shows nothing.
TEST_F(PropertyFrameTest, FilterAndPinNameTheirPages) {
  EXPECT_EQ(PagesOf(demo_.Get()), std::vector<CLSID>{CLSID_VideoProcAmpPropertyPage});
  EXPECT_EQ(PagesOf(FirstPin(demo_.Get(), PINDIR_OUTPUT).Get()),
            std::vector<CLSID>{CLSID_VideoStreamConfigPropertyPage});
  VirtualDeviceConfig zoom = SmallCamera(u"Zoom Camera");
  zoom.cameraControl = {{CameraControl_Zoom, 100, 400, 10, 100, CameraControl_Flags_Manual}};
  ASSERT_EQ(ScriptedDevices::Instance()->Add(zoom), S_OK);
  EXPECT_EQ(PagesOf(BindByName(CLSID_VideoInputDeviceCategory, u"Zoom Camera").Get()),
            (std::vector<CLSID>{CLSID_VideoProcAmpPropertyPage, CLSID_CameraControlPropertyPage}));
}

// Catches: a frame that blocks timers and posted events while open (the capture control's
// worker runs on a timer), controls that only act after closing, and Cancel keeping changes.
TEST_F(PropertyFrameTest, ControlsActWhileOpenAndCancelPutsThemBack) {
  int ticks = 0;
  QTimer worker;
  QObject::connect(&worker, &QTimer::timeout, [&] { ++ticks; });
  worker.start(15);
  long whileOpen = 0;
  int ticksWhileOpen = 0;
  QString title;
  WhenFrameOpens([&](QDialog* dialog) {
    title = dialog->windowTitle();
    auto* slider = dialog->findChild<QSlider*>("Brightness");
    ASSERT_NE(slider, nullptr);
    slider->setValue(40);
    whileOpen = Brightness(demo_.Get());
    // Closes once the worker timer has ticked five times while the frame is open, or after
    // three seconds if it does not tick.
    const int start = ticks;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    auto* watch = new QTimer(dialog);
    QObject::connect(watch, &QTimer::timeout, dialog, [&, dialog, start, deadline] {
      ticksWhileOpen = ticks - start;
      if (ticksWhileOpen >= 5 || std::chrono::steady_clock::now() > deadline)
        Press(dialog, QDialogButtonBox::Cancel);
    });
    watch->start(10);
  });
  EXPECT_EQ(ShowFrame(demo_.Get()), S_OK);
  EXPECT_EQ(whileOpen, 40);
  EXPECT_GE(ticksWhileOpen, 5);
  EXPECT_EQ(Brightness(demo_.Get()), 0);
  EXPECT_EQ(title, "Frostwipe Demo Camera — Picture");

  WhenFrameOpens([&](QDialog* dialog) {
    dialog->findChild<QSlider*>("Brightness")->setValue(-25);
    Press(dialog, QDialogButtonBox::Ok);
  });
  EXPECT_EQ(ShowFrame(demo_.Get()), S_OK);
  EXPECT_EQ(Brightness(demo_.Get()), -25);
}

// Catches: a stream format page that does not hand the chosen size to SetFormat, or that
// closes on a refused format as if it had been applied.
TEST_F(PropertyFrameTest, StreamFormatPageAppliesTheChosenSize) {
  ComPtr<IPin> pin = FirstPin(demo_.Get(), PINDIR_OUTPUT);
  WhenFrameOpens([&](QDialog* dialog) {
    auto* sizes = dialog->findChild<QComboBox*>("Output Size");
    ASSERT_NE(sizes, nullptr);
    const int at = sizes->findText("320 x 240");
    ASSERT_GE(at, 0);
    sizes->setCurrentIndex(at);
    Press(dialog, QDialogButtonBox::Ok);
  });
  EXPECT_EQ(ShowFrame(pin.Get()), S_OK);
  AM_MEDIA_TYPE* mt = nullptr;
  ASSERT_EQ(ComQuery<IAMStreamConfig>(pin.Get())->GetFormat(&mt), S_OK);
  EXPECT_EQ(GetBitmapInfoHeader(*mt)->biWidth, 320);
  DeleteMediaType(mt);

  VirtualDeviceConfig refusing = SmallCamera(u"Refusing Camera");
  refusing.capabilities.push_back({MEDIASUBTYPE_YUY2, 80, 60});
  refusing.failures.refuseSetFormat = true;
  ASSERT_EQ(ScriptedDevices::Instance()->Add(refusing), S_OK);
  ComPtr<IPin> refusingPin =
      FirstPin(BindByName(CLSID_VideoInputDeviceCategory, u"Refusing Camera").Get(), PINDIR_OUTPUT);
  bool stayedOpen = false;
  WhenFrameOpens([&](QDialog* dialog) {
    auto* sizes = dialog->findChild<QComboBox*>("Output Size");
    sizes->setCurrentIndex(sizes->findText("80 x 60"));
    Press(dialog, QDialogButtonBox::Ok);
    stayedOpen = dialog->isVisible();
    Press(dialog, QDialogButtonBox::Cancel);
  });
  EXPECT_EQ(ShowFrame(refusingPin.Get()), S_OK);
  EXPECT_TRUE(stayedOpen);
}

// Catches: frames opened off the user-interface thread, with no pages, or with pages that do
// not fit the object (a stream page on a filter without IAMStreamConfig).
TEST_F(PropertyFrameTest, RefusesWhatItCannotShow) {
  IUnknown* object = demo_.Get();
  const CLSID stream = CLSID_VideoStreamConfigPropertyPage;
  EXPECT_EQ(OleCreatePropertyFrame(nullptr, 0, 0, nullptr, 1, &object, 1, &stream, 0, 0, nullptr),
            E_FAIL);
  EXPECT_EQ(OleCreatePropertyFrame(nullptr, 0, 0, nullptr, 1, &object, 0, nullptr, 0, 0, nullptr),
            E_INVALIDARG);
  const CLSID amp = CLSID_VideoProcAmpPropertyPage;
  HRESULT offThread = S_OK;
  std::thread([&] {
    offThread = OleCreatePropertyFrame(nullptr, 0, 0, nullptr, 1, &object, 1, &amp, 0, 0, nullptr);
  }).join();
  EXPECT_EQ(offThread, RPC_E_WRONG_THREAD);
}

// Catches: a vfw format dialog that does not reach the capture pin's stream format.
TEST_F(PropertyFrameTest, VfwFormatDialogShowsTheStreamFormat) {
  VirtualDeviceConfig vfw = SmallCamera(u"Old Camera");
  vfw.driver = DriverKind::Vfw;
  vfw.vfwDialogs = VfwCaptureDialog_Format;
  ASSERT_EQ(ScriptedDevices::Instance()->Add(vfw), S_OK);
  ComPtr<IBaseFilter> old = BindByName(CLSID_VideoInputDeviceCategory, u"Old Camera");
  QString tab, title;
  WhenFrameOpens([&](QDialog* dialog) {
    auto* tabs = dialog->findChild<QTabWidget*>();
    tab = tabs->tabText(0);
    title = dialog->windowTitle();
    Press(dialog, QDialogButtonBox::Cancel);
  });
  EXPECT_EQ(ComQuery<IAMVfwCaptureDialogs>(old.Get())->ShowDialog(VfwCaptureDialog_Format, nullptr),
            S_OK);
  EXPECT_EQ(tab, "Video format");
  EXPECT_EQ(title, "Old Camera — Video format");
}

}  // namespace
