// The capture control's filter library: its packed image, extraction to the process's private
// directory on first use, loading, and creation of filters by export name.
#pragma once

#include <QByteArray>
#include <QString>

#include "capture/filters/FilterApi.h"
#include "platform/com/ComPtr.h"
#include "platform/com/Library.h"
#include "platform/media/FilterInterfaces.h"

class TCaptureCore;

// The packed image of the filter library (run layout of capture/FilterImage.h), compiled into
// the program at build time.
QByteArray FilterLibraryImage();

// Key of the extracted library in the synchronisation manager's temporary files; also the
// prefix of its file name.
inline constexpr char kFilterLibraryKey[] = "v~f";
inline constexpr char kFilterLibraryFileName[] = "v~f-filters.so";

// One filter role of a capture control: the library reference it was made from, the filter and
// its private interfaces. Thread: UI (the control's graph building).
struct FilterSlot {
  HMODULE Module = nullptr;
  ComPtr<IBaseFilter> Filter;
  ComPtr<IGrabberSetup> Grabber;
  ComPtr<ITransformSetup> Transform;
  GrabberControlBlock* Block = nullptr;  // owned by the grabber in Filter

  // Drops the interfaces, then the library reference. The filter must be out of every graph
  // first: its code goes with the library's last reference.
  void Release();
};

// Creates the filter of exportName into slot (whose filter is replaced), extracting the library
// on the first use in the process and loading it when the slot holds no library yet. A failure
// reports e_load_filter "cannot load filter <name>" for core and answers false.
// Thread: UI.
bool CreateLibraryFilter(TCaptureCore* core, const QString& name, const char* exportName,
                         FilterSlot& slot);
