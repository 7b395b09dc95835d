// Logging category of the PipeWire back-end; every line names the camera or the daemon.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcPipeWire)
