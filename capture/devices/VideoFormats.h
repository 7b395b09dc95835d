// Size entries and subtype names of the opened video device's format lists.
#pragma once

#include <QString>
#include <QStringList>

#include "platform/com/Guid.h"
#include "platform/media/MediaType.h"

// Owns a media type a format call handed out.
struct MediaTypeHolder {
  AM_MEDIA_TYPE* mt = nullptr;
  MediaTypeHolder() = default;
  MediaTypeHolder(const MediaTypeHolder&) = delete;
  MediaTypeHolder& operator=(const MediaTypeHolder&) = delete;
  ~MediaTypeHolder() {
    if (mt) DeleteMediaType(mt);
  }
};

// "640x480" with leading spaces so that a sorted list runs by width: none from 1000 on, one
// from 100 to 999, two below 100.
QString SizeEntry(int width, int height);
// The default entry: the size entry with three more spaces, so it always sorts first.
QString DefaultSizeEntry(int width, int height);
// Reads "w x h" around the first "x" (trimmed decimal numbers); false unless "x" stands at
// position 2 or later and both numbers are at least 1.
bool ParseSizeEntry(const QString& entry, int* width, int* height);
// Inserts entry into a list kept sorted without regard to letter case; false when an equal
// entry is already there.
bool InsertSorted(QStringList& list, const QString& entry);

// The name of a subtype GUID text: "RGB24", "YUY2", "MPEG2", ...; empty for a text that is no GUID.
QString SubtypeName(const QString& guidText);
QString GuidText(REFGUID guid);
