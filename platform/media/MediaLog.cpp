#include "platform/media/MediaLog.h"

Q_LOGGING_CATEGORY(lcMedia, "frostwipe.media")
