// Device-independent bitmap headers and the decoder for bitmaps stored without a file header.
#pragma once

#include <QImage>
#include <QString>

#include "platform/toolkit/DibTypes.h"

// Decodes a header, optional colour table or bit masks, and pixel data. Palette pictures come
// out as 24 bits; 16-bit data as RGB555 or RGB565 after its masks; 24 and 32 bits keep theirs.
// Returns a null image and sets *error for anything short, inconsistent or unsupported.
QImage DecodeDib(const QByteArray& data, QString* error);
