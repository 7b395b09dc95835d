// The process-wide list of video capture devices.
#pragma once

#include <QString>

// Names of the video capture devices in index order, each followed by CR LF. Thread: UI.
QString VideoDeviceNames();
int VideoDeviceCount();
