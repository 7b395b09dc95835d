#include "platform/toolkit/PlayerMessageHook.h"

#include <utility>

#include "platform/toolkit/Dialogs.h"

namespace {

TPlatformPlayerMessageHook& Hook() {
  static TPlatformPlayerMessageHook hook;
  return hook;
}

}  // namespace

void SetPlatformPlayerMessageHook(TPlatformPlayerMessageHook hook) {
  Hook() = std::move(hook);
}

void PlatformPlayerMessage(const QString& text) {
  if (const TPlatformPlayerMessageHook& hook = Hook())
    hook(text);
  else
    ShowMessage(text);
}
