// Tests of the camera portal path against a fake portal on the private session bus, which
// grants (handing out a connection to the private daemon), denies, or is not there.
#include "platform/media/pipewire/PipeWirePortal.h"

#include <cstdlib>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

#include "FakeCameraPortal.h"
#include "PipeWireTestSupport.h"
#include "platform/toolkit/Dialogs.h"

namespace {

// Sets environment variables for a scope and restores them after.
class EnvironmentScope {
 public:
  void Set(const char* name, const std::string& value) {
    const char* old = std::getenv(name);
    saved_.push_back({name, old ? old : "", old != nullptr});
    setenv(name, value.c_str(), 1);
  }
  ~EnvironmentScope() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
      if (it->had)
        setenv(it->name, it->value.c_str(), 1);
      else
        unsetenv(it->name);
  }

 private:
  struct Saved {
    const char* name;
    std::string value;
    bool had;
  };
  std::vector<Saved> saved_;
};

enum class Portal { Grants, Denies, Absent };

std::string PortalName(Portal portal) {
  return portal == Portal::Grants ? "Grants" : portal == Portal::Denies ? "Denies" : "Absent";
}

struct PortalCase {
  Portal portal;
  const char* logLine;  // the one line the answer leaves, empty for none
  const char* message;  // in the player's message, empty for none
  friend void PrintTo(const PortalCase& c, std::ostream* out) { *out << PortalName(c.portal); }
};

class PipeWirePortalTest : public PipeWireTest, public ::testing::WithParamInterface<PortalCase> {};

// Catches: the portal not asked (or asked without a handle token, missing the answer), the
// remote it hands out not used (the default socket is unreachable here), a refusal or a missing
// portal listing cameras anyway, logging more or less than one line, or leaving the player
// without a message.
TEST_P(PipeWirePortalTest, CamerasComeOnlyThroughThePortal) {
  const PortalCase c = GetParam();
  TestCamera camera(*pipewire_);
  ASSERT_TRUE(camera.Start({"--name", "cam-portal", "YUY2:64x48@30"}));
  EnvironmentScope environment;
  environment.Set("FROSTWIPE_CAMERA_PORTAL", "1");
  environment.Set("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + pipewire_->Dir() + "/bus");
  environment.Set("PIPEWIRE_REMOTE", pipewire_->Dir() + "/no-daemon-here");
  std::unique_ptr<FakeCameraPortal> portal;
  if (c.portal != Portal::Absent) {
    portal = std::make_unique<FakeCameraPortal>("unix:path=" + pipewire_->Dir() + "/bus",
                                                pipewire_->Dir() + "/pipewire-0",
                                                c.portal == Portal::Grants);
    ASSERT_TRUE(portal->Registered());
  }
  std::vector<std::string> messages;
  SetMessageBoxHook([&](const QString& text, const QString&) {
    messages.push_back(text.toStdString());
    return IDOK;
  });
  LogCapture log;

  auto listed = [&] { return provider_->ListDevices(CLSID_VideoInputDeviceCategory); };
  if (c.portal == Portal::Grants) {
    ASSERT_TRUE(WaitUntil([&] { return listed().size() == 1; })) << log.All();
    EXPECT_EQ(listed()[0].displayName, u"@device:pipewire:cam-portal");
    EXPECT_EQ(portal->remotesHandedOut, 1);
  } else {
    listed();
    ASSERT_TRUE(WaitUntil([&] { return log.Count(c.logLine) > 0 && !messages.empty(); }))
        << log.All();
    WaitUntil([] { return false; }, 300);  // anything else it would do
    EXPECT_TRUE(listed().empty());
    EXPECT_EQ(log.Count("PipeWire: "), 1) << log.All();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(c.message), std::string::npos) << messages[0];
  }
  SetMessageBoxHook({});
}

INSTANTIATE_TEST_SUITE_P(
    Answers, PipeWirePortalTest,
    ::testing::Values(PortalCase{Portal::Grants, "", ""},
                      PortalCase{Portal::Denies, "the camera portal denied access", "was denied"},
                      PortalCase{Portal::Absent, "no camera portal answers",
                                 "Install xdg-desktop-portal"}),
    [](const ::testing::TestParamInfo<PortalCase>& info) { return PortalName(info.param.portal); });

}  // namespace
