// Example: the demo camera shown by the video renderer inside a window. With --grab FILE the
// window is saved as a picture after about a second and the program ends.
#include <cstdio>

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include "platform/com/ComApi.h"
#include "platform/media/Interfaces.h"
#include "platform/media/Moniker.h"

namespace {

// The moniker of the first video input device with this friendly name.
ComPtr<IMoniker> FindDevice(std::u16string_view friendlyName) {
  ComPtr<ICreateDevEnum> devices;
  CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                   devices.ReleaseAndGetVoidAddress());
  ComPtr<IEnumMoniker> monikers;
  if (!devices || devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory,
                                                 monikers.ReleaseAndGetAddressOf(), 0) != S_OK)
    return {};
  IMoniker* raw = nullptr;
  while (monikers->Next(1, &raw, nullptr) == S_OK) {
    ComPtr<IMoniker> moniker;
    moniker.Attach(raw);
    ComPtr<IPropertyBag> bag;
    moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.ReleaseAndGetVoidAddress());
    VARIANT name;
    VariantInit(&name);
    const bool match = bag && SUCCEEDED(bag->Read(u"FriendlyName", &name, nullptr)) &&
                       name.vt == VT_BSTR && friendlyName == name.bstrVal;
    VariantClear(&name);
    if (match) return moniker;
  }
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QString grabFile;
  for (int i = 1; i + 1 < argc; ++i)
    if (QString::fromLocal8Bit(argv[i]) == "--grab") grabFile = QString::fromLocal8Bit(argv[i + 1]);
  CoInitialize(nullptr);
  int result = 1;
  {
    QWidget window;
    window.setWindowTitle("Frostwipe Demo Camera");
    window.resize(660, 500);

    ComPtr<IMoniker> moniker = FindDevice(u"Frostwipe Demo Camera");
    ComPtr<IGraphBuilder> graph;
    CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                     graph.ReleaseAndGetVoidAddress());
    ComPtr<ICaptureGraphBuilder2> builder;
    CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                     IID_ICaptureGraphBuilder2, builder.ReleaseAndGetVoidAddress());
    ComPtr<IBaseFilter> renderer;
    CoCreateInstance(CLSID_VideoRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                     renderer.ReleaseAndGetVoidAddress());
    if (!moniker || !graph || !builder || !renderer) {
      std::fprintf(stderr,
                   "media_demo_window: the demo camera or the media framework is missing\n");
      return 1;
    }
    builder->SetFiltergraph(graph.Get());
    ComPtr<IBaseFilter> camera;
    ComQuery<IFilterGraph2>(graph.Get())
        ->AddSourceFilterForMoniker(moniker.Get(), nullptr, u"Frostwipe Demo Camera",
                                    camera.ReleaseAndGetAddressOf());
    graph->AddFilter(renderer.Get(), u"Video Renderer");
    HRESULT hr = builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera.Get(),
                                       nullptr, renderer.Get());
    if (FAILED(hr)) {
      std::fprintf(stderr, "media_demo_window: RenderStream failed: 0x%08X\n",
                   static_cast<unsigned>(hr));
      return 1;
    }
    ComPtr<IVideoWindow> video = ComQuery<IVideoWindow>(renderer.Get());
    video->put_Owner(&window);
    video->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS);
    video->SetWindowPosition(10, 10, 640, 480);
    video->put_Visible(OATRUE);
    window.show();
    ComPtr<IMediaControl> control = ComQuery<IMediaControl>(graph.Get());
    control->Run();
    if (!grabFile.isEmpty()) {
      QTimer::singleShot(1200, &window, [&] {
        const bool saved = window.grab().save(grabFile);
        std::printf("%s %s\n", saved ? "saved" : "could not save", qUtf8Printable(grabFile));
        app.exit(saved ? 0 : 1);
      });
    }
    result = app.exec();
    control->Stop();
  }
  CoUninitialize();
  return result;
}
