// Property pages: the widgets a property frame shows for a device's image, camera and format.
#pragma once

#include <functional>
#include <vector>

#include <QWidget>

#include "platform/com/ComPtr.h"
#include "platform/media/DeviceInterfaces.h"

// The identities of the pages, as objects name them in ISpecifyPropertyPages::GetPages.
inline constexpr CLSID CLSID_VideoProcAmpPropertyPage =
    MakeGuid("{71F96464-78F3-11D0-A18C-00A0C9118956}");
inline constexpr CLSID CLSID_CameraControlPropertyPage =
    MakeGuid("{71F96465-78F3-11D0-A18C-00A0C9118956}");
inline constexpr CLSID CLSID_VideoStreamConfigPropertyPage =
    MakeGuid("{71F96467-78F3-11D0-A18C-00A0C9118956}");

// One page of a property frame. Image and camera controls take effect while the user moves
// them, so the picture behind the dialog shows the change; Revert puts back what the page
// found. The stream format takes effect on Apply.
// Thread: user-interface thread.
class PropertyPage : public QWidget {
  Q_OBJECT
 public:
  explicit PropertyPage(QWidget* parent) : QWidget(parent) {}
  virtual QString Title() const = 0;
  // Whether the page edits the stream's format rather than the picture.
  virtual bool IsFormatPage() const { return false; }
  // Reads the current settings of the objects; false if none of them has what the page edits.
  virtual bool SetObjects(const std::vector<ComPtr<IUnknown>>& objects) = 0;
  // Makes the page's choices the objects' settings; on failure the page shows why.
  virtual HRESULT Apply() = 0;
  // Undoes what the page changed since it was shown or last applied.
  virtual void Revert() {}
  bool IsDirty() const { return dirty_; }

 signals:
  void DirtyChanged(bool dirty);

 protected:
  void SetDirty(bool dirty);

 private:
  bool dirty_ = false;
};

// ISpecifyPropertyPages::GetPages of a capture pin: the stream format page.
HRESULT StreamConfigPages(CAUUID* pages);
// ISpecifyPropertyPages::GetPages of a capture filter: the image controls page and the camera
// controls page, each where the device has such controls (none at all: S_OK with no pages).
HRESULT DeviceControlPages(bool imageControls, bool cameraControls, CAUUID* pages);

using PropertyPageFactory = std::function<PropertyPage*(QWidget* parent)>;
// Adds a page class (a later registration of the same identity replaces the earlier one).
void RegisterPropertyPage(REFCLSID page, PropertyPageFactory factory);
// A new page of the class, or nullptr for an unknown one. The pages above are built in.
PropertyPage* CreatePropertyPage(REFCLSID page, QWidget* parent);
