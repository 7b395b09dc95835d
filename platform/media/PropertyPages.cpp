#include "platform/media/PropertyPages.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "platform/media/MediaType.h"

void PropertyPage::SetDirty(bool dirty) {
  if (dirty_ == dirty) return;
  dirty_ = dirty;
  emit DirtyChanged(dirty);
}

namespace {

// ---- image and camera controls

// The calls of IAMVideoProcAmp or IAMCameraControl (the two have the same shape).
struct ControlAccess {
  std::function<HRESULT(long, long*, long*, long*, long*, long*)> getRange;
  std::function<HRESULT(long, long, long)> set;
  std::function<HRESULT(long, long*, long*)> get;
  long autoFlag = 1;
  long manualFlag = 2;
};

struct ControlName {
  long property;
  const char* text;
};

// The name a player reads for a control (the object names keep the interface's short names).
QString ReadableControlName(const char* text) {
  static const std::pair<const char*, const char*> names[] = {
      {"ColorEnable", QT_TRANSLATE_NOOP("PropertyPage", "Colour")},
      {"WhiteBalance", QT_TRANSLATE_NOOP("PropertyPage", "White balance")},
      {"BacklightComp", QT_TRANSLATE_NOOP("PropertyPage", "Backlight compensation")},
      {"PowerlineFrequency", QT_TRANSLATE_NOOP("PropertyPage", "Power line frequency")},
      {"Brightness", QT_TRANSLATE_NOOP("PropertyPage", "Brightness")},
      {"Contrast", QT_TRANSLATE_NOOP("PropertyPage", "Contrast")},
      {"Hue", QT_TRANSLATE_NOOP("PropertyPage", "Hue")},
      {"Saturation", QT_TRANSLATE_NOOP("PropertyPage", "Saturation")},
      {"Sharpness", QT_TRANSLATE_NOOP("PropertyPage", "Sharpness")},
      {"Gamma", QT_TRANSLATE_NOOP("PropertyPage", "Gamma")},
      {"Gain", QT_TRANSLATE_NOOP("PropertyPage", "Gain")},
  };
  for (const auto& [key, readable] : names)
    if (std::strcmp(key, text) == 0) return QCoreApplication::translate("PropertyPage", readable);
  return QCoreApplication::translate("PropertyPage", text);
}

// A slider and an automatic box per property the object offers; changes are set at once.
class ControlsPage : public PropertyPage {
 public:
  ControlsPage(QWidget* parent, QString title, std::vector<ControlName> names)
      : PropertyPage(parent), title_(std::move(title)), names_(std::move(names)) {}

  QString Title() const override { return title_; }
  HRESULT Apply() override {
    for (Row& row : rows_) {
      row.originalValue = row.slider->value();
      row.originalFlags = row.automatic->isChecked() ? access_.autoFlag : access_.manualFlag;
    }
    SetDirty(false);
    return S_OK;
  }
  void Revert() override {
    for (Row& row : rows_) access_.set(row.property, row.originalValue, row.originalFlags);
    SetDirty(false);
  }

 protected:
  bool Build(ControlAccess access) {
    access_ = std::move(access);
    auto* grid = new QGridLayout(this);
    int line = 0;
    for (const ControlName& name : names_) {
      long min, max, step, def, caps;
      if (FAILED(access_.getRange(name.property, &min, &max, &step, &def, &caps))) continue;
      long value = def;
      long flags = access_.manualFlag;
      access_.get(name.property, &value, &flags);
      Row row{name.property, nullptr, nullptr, nullptr, value, flags, def, min, std::max(1L, step)};
      row.slider = new QSlider(Qt::Horizontal, this);
      row.slider->setObjectName(QString::fromLatin1(name.text));
      row.slider->setRange(static_cast<int>(min), static_cast<int>(max));
      row.slider->setSingleStep(static_cast<int>(std::max(1L, step)));
      row.slider->setPageStep(static_cast<int>(std::max(step, (max - min) / 10)));
      row.slider->setValue(static_cast<int>(value));
      row.slider->setMinimumWidth(160);
      row.value = new QLabel(QString::number(value), this);
      row.value->setMinimumWidth(40);
      row.automatic = new QCheckBox(PropertyPage::tr("Auto"), this);
      row.automatic->setObjectName(QString::fromLatin1(name.text) + " auto");
      row.automatic->setEnabled((caps & access_.autoFlag) != 0);
      row.automatic->setChecked(flags == access_.autoFlag);
      row.slider->setEnabled(flags != access_.autoFlag);
      const QString label = ReadableControlName(name.text);
      row.slider->setAccessibleName(label);
      row.automatic->setAccessibleName(PropertyPage::tr("%1 automatic").arg(label));
      grid->addWidget(new QLabel(label, this), line, 0);
      grid->addWidget(row.slider, line, 1);
      grid->addWidget(row.value, line, 2);
      grid->addWidget(row.automatic, line, 3);
      const std::size_t index = rows_.size();
      connect(row.slider, &QSlider::valueChanged, this, [this, index](int) { Push(index); });
      connect(row.automatic, &QCheckBox::toggled, this, [this, index](bool) { Push(index); });
      rows_.push_back(row);
      ++line;
    }
    if (rows_.empty()) return false;
    auto* defaults = new QPushButton(PropertyPage::tr("Default"), this);
    defaults->setObjectName("Default");
    connect(defaults, &QPushButton::clicked, this, [this] {
      for (Row& row : rows_) {
        row.automatic->setChecked(false);
        row.slider->setValue(static_cast<int>(row.defaultValue));
      }
    });
    grid->addWidget(defaults, line, 3);
    grid->setRowStretch(line + 1, 1);
    return true;
  }

 private:
  struct Row {
    long property;
    QSlider* slider;
    QLabel* value;
    QCheckBox* automatic;
    long originalValue;
    long originalFlags;
    long defaultValue;
    long minimum;
    long step;  // the property takes only values on this grid from minimum
  };

  // Sets one property from its row, so the effect shows while the dialog is open.
  void Push(std::size_t index) {
    Row& row = rows_[index];
    const bool automatic = row.automatic->isChecked();
    row.slider->setEnabled(!automatic);
    // A slider dragged between two steps goes to the nearer one (pan and tilt, for instance,
    // move in whole degrees of 3600 units); setting it calls Push again with that value.
    const long offset = row.slider->value() - row.minimum;
    long snapped = row.minimum + (offset + row.step / 2) / row.step * row.step;
    if (snapped > row.slider->maximum()) snapped -= row.step;
    if (snapped != row.slider->value()) {
      row.slider->setValue(static_cast<int>(snapped));
      return;
    }
    row.value->setText(QString::number(row.slider->value()));
    access_.set(row.property, row.slider->value(),
                automatic ? access_.autoFlag : access_.manualFlag);
    SetDirty(true);
  }

  QString title_;
  std::vector<ControlName> names_;
  ControlAccess access_;
  std::vector<Row> rows_;
};

class VideoProcAmpPage final : public ControlsPage {
 public:
  explicit VideoProcAmpPage(QWidget* parent)
      : ControlsPage(parent, PropertyPage::tr("Image controls"),
                     {{VideoProcAmp_Brightness, "Brightness"},
                      {VideoProcAmp_Contrast, "Contrast"},
                      {VideoProcAmp_Hue, "Hue"},
                      {VideoProcAmp_Saturation, "Saturation"},
                      {VideoProcAmp_Sharpness, "Sharpness"},
                      {VideoProcAmp_Gamma, "Gamma"},
                      {VideoProcAmp_ColorEnable, "ColorEnable"},
                      {VideoProcAmp_WhiteBalance, "WhiteBalance"},
                      {VideoProcAmp_BacklightCompensation, "BacklightComp"},
                      {VideoProcAmp_Gain, "Gain"},
                      {VideoProcAmp_PowerlineFrequency, "PowerlineFrequency"}}) {}
  bool SetObjects(const std::vector<ComPtr<IUnknown>>& objects) override {
    for (const ComPtr<IUnknown>& o : objects)
      if (ComPtr<IAMVideoProcAmp> amp = ComQuery<IAMVideoProcAmp>(o.Get())) {
        amp_ = amp;
        IAMVideoProcAmp* p = amp_.Get();
        return Build({[p](long a, long* b, long* c, long* d, long* e, long* f) {
                        return p->GetRange(a, b, c, d, e, f);
                      },
                      [p](long a, long b, long c) { return p->Set(a, b, c); },
                      [p](long a, long* b, long* c) { return p->Get(a, b, c); },
                      VideoProcAmp_Flags_Auto, VideoProcAmp_Flags_Manual});
      }
    return false;
  }

 private:
  ComPtr<IAMVideoProcAmp> amp_;
};

class CameraControlPage final : public ControlsPage {
 public:
  explicit CameraControlPage(QWidget* parent)
      : ControlsPage(parent, PropertyPage::tr("Camera controls"),
                     {{CameraControl_Pan, QT_TRANSLATE_NOOP("PropertyPage", "Pan")},
                      {CameraControl_Tilt, QT_TRANSLATE_NOOP("PropertyPage", "Tilt")},
                      {CameraControl_Roll, QT_TRANSLATE_NOOP("PropertyPage", "Roll")},
                      {CameraControl_Zoom, QT_TRANSLATE_NOOP("PropertyPage", "Zoom")},
                      {CameraControl_Exposure, QT_TRANSLATE_NOOP("PropertyPage", "Exposure")},
                      {CameraControl_Iris, QT_TRANSLATE_NOOP("PropertyPage", "Iris")},
                      {CameraControl_Focus, QT_TRANSLATE_NOOP("PropertyPage", "Focus")}}) {}
  bool SetObjects(const std::vector<ComPtr<IUnknown>>& objects) override {
    for (const ComPtr<IUnknown>& o : objects)
      if (ComPtr<IAMCameraControl> control = ComQuery<IAMCameraControl>(o.Get())) {
        control_ = control;
        IAMCameraControl* p = control_.Get();
        return Build({[p](long a, long* b, long* c, long* d, long* e, long* f) {
                        return p->GetRange(a, b, c, d, e, f);
                      },
                      [p](long a, long b, long c) { return p->Set(a, b, c); },
                      [p](long a, long* b, long* c) { return p->Get(a, b, c); },
                      CameraControl_Flags_Auto, CameraControl_Flags_Manual});
      }
    return false;
  }

 private:
  ComPtr<IAMCameraControl> control_;
};

// ---- stream format

// Capabilities as subtype, output size and frame rate; Apply hands the choice to SetFormat.
class StreamConfigPage final : public PropertyPage {
 public:
  explicit StreamConfigPage(QWidget* parent) : PropertyPage(parent) {}
  QString Title() const override { return PropertyPage::tr("Video format"); }
  bool IsFormatPage() const override { return true; }

  bool SetObjects(const std::vector<ComPtr<IUnknown>>& objects) override {
    for (const ComPtr<IUnknown>& o : objects)
      if ((config_ = ComQuery<IAMStreamConfig>(o.Get()))) break;
    if (!config_) return false;
    int count = 0;
    int size = 0;
    if (FAILED(config_->GetNumberOfCapabilities(&count, &size)) || count <= 0 ||
        size < static_cast<int>(sizeof(VIDEO_STREAM_CONFIG_CAPS)))
      return false;
    for (int i = 0; i < count; ++i) {
      AM_MEDIA_TYPE* mt = nullptr;
      VIDEO_STREAM_CONFIG_CAPS caps{};
      if (config_->GetStreamCaps(i, &mt, reinterpret_cast<BYTE*>(&caps)) != S_OK || !mt) continue;
      caps_.push_back({MediaType(*mt), caps});
      DeleteMediaType(mt);
    }
    if (caps_.empty()) return false;
    BuildWidgets();
    return true;
  }

  HRESULT Apply() override {
    if (!IsDirty()) return S_OK;
    const GUID subtype =
        caps_[static_cast<std::size_t>(subtypeBox_->currentData().toInt())].type->subtype;
    const QSize size = sizeBox_->currentData().toSize();
    for (const Cap& cap : caps_) {
      if (!(cap.type->subtype == subtype) || !Fits(cap.caps, size)) continue;
      MediaType chosen =
          MediaType::Video(subtype, size.width(), size.height(),
                           static_cast<REFERENCE_TIME>(std::llround(UNITS / rateBox_->value())));
      const HRESULT hr = config_->SetFormat(chosen.Get());
      if (SUCCEEDED(hr)) {
        status_->clear();
        SetDirty(false);
      } else {
        status_->setText(PropertyPage::tr("The device refused this format (0x%1).")
                             .arg(static_cast<unsigned>(hr), 8, 16, QLatin1Char('0')));
      }
      return hr;
    }
    status_->setText(PropertyPage::tr("The device offers no such format."));
    return VFW_E_INVALIDMEDIATYPE;
  }

 private:
  struct Cap {
    MediaType type;
    VIDEO_STREAM_CONFIG_CAPS caps;
  };

  static bool Fits(const VIDEO_STREAM_CONFIG_CAPS& c, QSize size) {
    return size.width() >= c.MinOutputSize.cx && size.width() <= c.MaxOutputSize.cx &&
           size.height() >= c.MinOutputSize.cy && size.height() <= c.MaxOutputSize.cy;
  }

  void BuildWidgets() {
    auto* form = new QFormLayout(this);
    subtypeBox_ = new QComboBox(this);
    subtypeBox_->setObjectName("Video Format");
    sizeBox_ = new QComboBox(this);
    sizeBox_->setObjectName("Output Size");
    rateBox_ = new QDoubleSpinBox(this);
    rateBox_->setObjectName("Frame Rate");
    rateBox_->setDecimals(2);
    rateBox_->setSuffix(PropertyPage::tr(" frames per second"));
    status_ = new QLabel(this);
    status_->setObjectName("status");
    status_->setWordWrap(true);
    form->addRow(PropertyPage::tr("Video Format:"), subtypeBox_);
    form->addRow(PropertyPage::tr("Output Size:"), sizeBox_);
    form->addRow(PropertyPage::tr("Frame Rate:"), rateBox_);
    form->addRow(status_);

    std::vector<GUID> seen;
    for (std::size_t i = 0; i < caps_.size(); ++i) {
      const GUID& subtype = caps_[i].type->subtype;
      if (std::find(seen.begin(), seen.end(), subtype) != seen.end()) continue;
      seen.push_back(subtype);
      subtypeBox_->addItem(QString::fromStdString(SubtypeName(subtype)), static_cast<int>(i));
    }
    // Start from the pin's current format.
    AM_MEDIA_TYPE* current = nullptr;
    MediaType now;
    if (SUCCEEDED(config_->GetFormat(&current)) && current) {
      now = MediaType(*current);
      DeleteMediaType(current);
    }
    if (now.IsValid())
      for (int i = 0; i < subtypeBox_->count(); ++i)
        if (caps_[static_cast<std::size_t>(subtypeBox_->itemData(i).toInt())].type->subtype ==
            now->subtype)
          subtypeBox_->setCurrentIndex(i);
    FillSizes(now);
    connect(subtypeBox_, &QComboBox::currentIndexChanged, this, [this] {
      FillSizes(MediaType());
      SetDirty(true);
    });
    connect(sizeBox_, &QComboBox::currentIndexChanged, this, [this] {
      FillRates(0);
      SetDirty(true);
    });
    connect(rateBox_, &QDoubleSpinBox::valueChanged, this, [this] { SetDirty(true); });
    SetDirty(false);
  }

  // The sizes of the chosen subtype: each capability's own size and the ends of its range.
  void FillSizes(const MediaType& current) {
    const QSignalBlocker block(sizeBox_);
    sizeBox_->clear();
    const GUID subtype =
        caps_[static_cast<std::size_t>(subtypeBox_->currentData().toInt())].type->subtype;
    std::vector<QSize> sizes;
    for (const Cap& cap : caps_) {
      if (!(cap.type->subtype == subtype)) continue;
      for (QSize s : {QSize(cap.type.Width(), cap.type.Height()),
                      QSize(cap.caps.MaxOutputSize.cx, cap.caps.MaxOutputSize.cy),
                      QSize(cap.caps.MinOutputSize.cx, cap.caps.MinOutputSize.cy)})
        if (s.isValid() && std::find(sizes.begin(), sizes.end(), s) == sizes.end())
          sizes.push_back(s);
    }
    std::sort(sizes.begin(), sizes.end(), [](QSize a, QSize b) { return a.width() > b.width(); });
    for (QSize s : sizes)
      sizeBox_->addItem(QStringLiteral("%1 x %2").arg(s.width()).arg(s.height()), s);
    REFERENCE_TIME interval = 0;
    if (current.IsValid()) {
      const int at = sizeBox_->findData(QSize(current.Width(), current.Height()));
      if (at >= 0) sizeBox_->setCurrentIndex(at);
      interval = GetAvgTimePerFrame(*current);
    }
    FillRates(interval);
  }

  // The frame rates the chosen size allows, starting at the given interval (0: the fastest).
  void FillRates(REFERENCE_TIME interval) {
    const QSignalBlocker block(rateBox_);
    const GUID subtype =
        caps_[static_cast<std::size_t>(subtypeBox_->currentData().toInt())].type->subtype;
    const QSize size = sizeBox_->currentData().toSize();
    for (const Cap& cap : caps_) {
      if (!(cap.type->subtype == subtype) || !Fits(cap.caps, size)) continue;
      const double fastest =
          UNITS / static_cast<double>(std::max<LONGLONG>(1, cap.caps.MinFrameInterval));
      const double slowest =
          UNITS / static_cast<double>(std::max<LONGLONG>(1, cap.caps.MaxFrameInterval));
      rateBox_->setRange(slowest, fastest);
      rateBox_->setValue(interval > 0 ? UNITS / static_cast<double>(interval) : fastest);
      return;
    }
  }

  ComPtr<IAMStreamConfig> config_;
  std::vector<Cap> caps_;
  QComboBox* subtypeBox_ = nullptr;
  QComboBox* sizeBox_ = nullptr;
  QDoubleSpinBox* rateBox_ = nullptr;
  QLabel* status_ = nullptr;
};

struct PageTable {
  std::mutex mutex;  // guards factories
  std::map<std::string, PropertyPageFactory> factories;
};

PageTable& Pages() {
  static PageTable* table = [] {
    auto* t = new PageTable;
    t->factories[GuidToString(CLSID_VideoProcAmpPropertyPage)] = [](QWidget* p) {
      return new VideoProcAmpPage(p);
    };
    t->factories[GuidToString(CLSID_CameraControlPropertyPage)] = [](QWidget* p) {
      return new CameraControlPage(p);
    };
    t->factories[GuidToString(CLSID_VideoStreamConfigPropertyPage)] = [](QWidget* p) {
      return new StreamConfigPage(p);
    };
    return t;
  }();
  return *table;
}

}  // namespace

namespace {

// The page list in task memory, as GetPages hands it out.
HRESULT HandOutPages(const std::vector<GUID>& list, CAUUID* pages) {
  if (!pages) return E_POINTER;
  pages->cElems = 0;
  pages->pElems = nullptr;
  if (list.empty()) return S_OK;
  pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(list.size() * sizeof(GUID)));
  if (!pages->pElems) return E_OUTOFMEMORY;
  std::copy(list.begin(), list.end(), pages->pElems);
  pages->cElems = static_cast<ULONG>(list.size());
  return S_OK;
}

}  // namespace

HRESULT StreamConfigPages(CAUUID* pages) {
  return HandOutPages({CLSID_VideoStreamConfigPropertyPage}, pages);
}

HRESULT DeviceControlPages(bool imageControls, bool cameraControls, CAUUID* pages) {
  std::vector<GUID> list;
  if (imageControls) list.push_back(CLSID_VideoProcAmpPropertyPage);
  if (cameraControls) list.push_back(CLSID_CameraControlPropertyPage);
  return HandOutPages(list, pages);
}

void RegisterPropertyPage(REFCLSID page, PropertyPageFactory factory) {
  PageTable& table = Pages();
  std::lock_guard lock(table.mutex);
  table.factories[GuidToString(page)] = std::move(factory);
}

PropertyPage* CreatePropertyPage(REFCLSID page, QWidget* parent) {
  PropertyPageFactory factory;
  {
    PageTable& table = Pages();
    std::lock_guard lock(table.mutex);
    const auto it = table.factories.find(GuidToString(page));
    if (it == table.factories.end()) return nullptr;
    factory = it->second;
  }
  return factory(parent);
}
