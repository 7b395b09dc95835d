// Tests of the camera portal path against a fake portal on the private session bus, which
// grants (handing out a connection to the private daemon), denies, or is not there.
#include "platform/media/pipewire/PipeWirePortal.h"

#include <cstdlib>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QTimer>
#include <QVariantMap>

#include "PipeWireTestSupport.h"
#include "platform/toolkit/Dialogs.h"

// org.freedesktop.portal.Camera as a desktop offers it, answering every request the same way.
// Thread: the test's.
class FakeCameraPortal : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Camera")

 public:
  FakeCameraPortal(const std::string& busAddress, std::string daemonSocket, bool grant)
      : bus_(QDBusConnection::connectToBus(QString::fromStdString(busAddress),
                                           QStringLiteral("fake-camera-portal"))),
        socket_(std::move(daemonSocket)),
        grant_(grant) {
    registered_ = bus_.registerService(QStringLiteral("org.freedesktop.portal.Desktop")) &&
                  bus_.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), this,
                                      QDBusConnection::ExportAllSlots);
  }
  ~FakeCameraPortal() override {
    bus_.unregisterObject(QStringLiteral("/org/freedesktop/portal/desktop"));
    bus_.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
    bus_ = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-camera-portal"));
  }
  bool Registered() const { return registered_; }
  int remotesHandedOut = 0;

 public slots:
  QDBusObjectPath AccessCamera(const QVariantMap& options, const QDBusMessage& message) {
    QString sender = message.service().mid(1);
    sender.replace(u'.', u'_');
    const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/") + sender +
                         u'/' + options.value(QStringLiteral("handle_token")).toString();
    // The answer comes later, as the user's click would.
    QTimer::singleShot(10, this, [this, path] {
      QDBusMessage response = QDBusMessage::createSignal(
          path, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
      response << static_cast<uint>(grant_ ? 0 : 1) << QVariantMap();
      bus_.send(response);
    });
    return QDBusObjectPath(path);
  }
  QDBusUnixFileDescriptor OpenPipeWireRemote(const QVariantMap&) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socket_.copy(address.sun_path, sizeof address.sun_path - 1);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return {};
    ++remotesHandedOut;
    QDBusUnixFileDescriptor remote(fd);  // a copy of it
    close(fd);
    return remote;
  }

 private:
  QDBusConnection bus_;
  std::string socket_;
  bool grant_;
  bool registered_ = false;
};

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

#include "PipeWirePortal_test.moc"
