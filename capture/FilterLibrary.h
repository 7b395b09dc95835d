// The control's filter library: its image held by the program, expanded once per process into
// the private temporary directory, loaded, and asked for filters by export name.
#pragma once

#include <QByteArray>
#include <QString>

#include "capture/filters/FilterApi.h"
#include "platform/com/ComPtr.h"
#include "platform/com/Library.h"
#include "platform/media/FilterInterfaces.h"

class TCaptureCore;

// One filter role of a control: the module reference it holds, the filter and its private
// interfaces. Thread: the one that builds the control's graph.
struct FilterSlot {
  HMODULE Module = nullptr;
  ComPtr<IBaseFilter> Filter;
  ComPtr<IGrabberSetup> Grabber;
  ComPtr<ITransformSetup> Transform;
  GrabberControlBlock* Block = nullptr;
  // Releases the interfaces, then the module reference.
  void Release();
};

// The library's image in its run layout.
QByteArray FilterLibraryImage();

// Creates the filter of exportName into slot (its module loaded first when the slot has none).
// False, with "cannot load filter <name>" reported, on any failure.
bool CreateLibraryFilter(TCaptureCore* core, const QString& name, const char* exportName,
                         FilterSlot& slot);
