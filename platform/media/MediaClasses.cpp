#include "platform/media/MediaClasses.h"

#include <mutex>

#include <QCoreApplication>

#include "platform/com/ComApi.h"
#include "platform/media/CaptureGraphBuilder.h"
#include "platform/media/ColorConverter.h"
#include "platform/media/FilterGraph.h"
#include "platform/media/MjpegDecoder.h"
#include "platform/media/NullRenderer.h"
#include "platform/media/ReferenceClock.h"
#include "platform/media/Tee.h"
#include "platform/media/VideoRenderer.h"

namespace {

template <class Impl>
HRESULT Create(REFIID iid, void** object) {
  ComPtr<Impl> created = MakeComObject<Impl>();
  return created->QueryInterface(iid, object);
}

// The video renderer owns a widget, which it makes on the user-interface thread, so it needs an
// application object; it can be created from any thread.
HRESULT CreateVideoRenderer(REFIID iid, void** object) {
  if (!QCoreApplication::instance()) return E_UNEXPECTED;
  return Create<VideoRenderer>(iid, object);
}

}  // namespace

void RegisterMediaFrameworkClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    CoRegisterInprocClass(CLSID_FilterGraph, Create<FilterGraph>);
    CoRegisterInprocClass(CLSID_CaptureGraphBuilder2, Create<CaptureGraphBuilder>);
    CoRegisterInprocClass(CLSID_SystemClock, Create<SystemClock>);
    CoRegisterInprocClass(CLSID_VideoRenderer, CreateVideoRenderer);
    CoRegisterInprocClass(CLSID_NullRenderer, Create<NullRenderer>);
    CoRegisterInprocClass(CLSID_InfTee, Create<InfTee>);
    CoRegisterInprocClass(CLSID_SmartTee, Create<SmartTee>);
    CoRegisterInprocClass(CLSID_Colour, Create<ColorConverter>);
    CoRegisterInprocClass(CLSID_MjpegDec, Create<MjpegDecoder>);
  });
}

// Referenced by the linker option of the platform_media target, so that this file, and with it
// the registration before main(), is part of every program linking the library.
extern "C" {
int frostwipe_media_classes_anchor = 0;
}

namespace {
const bool registered = (RegisterMediaFrameworkClasses(), true);
}  // namespace
