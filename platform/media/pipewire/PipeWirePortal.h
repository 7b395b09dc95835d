// The desktop's camera portal: a sandboxed program reaches the cameras only through the PipeWire
// remote the portal hands out once the user allows it.
#pragma once

#include <functional>
#include <string>

// True when the program runs in a sandbox that announces itself (/.flatpak-info, SNAP) or when
// FROSTWIPE_CAMERA_PORTAL=1 forces the portal path; FROSTWIPE_CAMERA_PORTAL=0 turns it off.
bool CameraPortalWanted();

enum class CameraPortalAnswer { Granted, Denied, NoPortal };

// fd: the remote's descriptor when granted (the callee owns it), else -1; why: what failed.
using CameraPortalDone =
    std::function<void(CameraPortalAnswer answer, int fd, const std::string& why)>;

// Asks org.freedesktop.portal.Camera on the session bus for access (AccessCamera, answered by the
// request's Response signal), then for a PipeWire remote (OpenPipeWireRemote). done runs once on
// the application's (user-interface) thread; without an application object it answers NoPortal
// at once.
// Thread: any; the exchange runs on the application's thread, never blocking it.
void RequestCameraPortal(CameraPortalDone done);
