// Logging category of the V4L2 back-end; every line names the device node.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcV4l2)
