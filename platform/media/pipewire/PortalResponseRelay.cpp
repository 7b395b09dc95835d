#include "platform/media/pipewire/PortalResponseRelay.h"

void PortalResponseRelay::OnResponse(uint response, const QVariantMap& results) {
  emit Received(response, results);
}

// The meta-object code belongs to this file, so it is built as this file is.
#include "moc_PortalResponseRelay.cpp"
