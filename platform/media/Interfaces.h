// All interfaces of the media framework.
#pragma once

#include "platform/media/ControlInterfaces.h"
#include "platform/media/DeviceInterfaces.h"
#include "platform/media/FilterInterfaces.h"
#include "platform/media/Guids.h"
#include "platform/media/MediaType.h"
