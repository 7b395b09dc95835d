#include "capture/DeviceList.h"

// Devices are listed by the media framework's enumerator; until it is wired in the process
// sees no capture device, which is a complete and valid state of the control.
QString VideoDeviceNames() { return {}; }
int VideoDeviceCount() { return 0; }
