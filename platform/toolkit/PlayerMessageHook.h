// Messages for the player raised below the capture layer (a camera the desktop refused), which
// owns the place they are shown in.
#pragma once

#include <functional>

#include <QString>

// The capture layer installs its own delivery of player messages (the window's message strip)
// here; an empty function removes it. Without a hook each message opens a message box.
// Thread: UI.
using TPlatformPlayerMessageHook = std::function<void(const QString& text)>;
void SetPlatformPlayerMessageHook(TPlatformPlayerMessageHook hook);

// Thread: UI.
void PlatformPlayerMessage(const QString& text);
