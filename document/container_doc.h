// The open document and its bitmap store. Portable: no platform types.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "document/dib_payload.h"
#include "fileio/file_stamp.h"

// Resource IDs are signed 32-bit throughout; in a container file a name is 16-bit.
using ResourceId = std::int32_t;

// A DibPayload is a packed DIB exactly as an RT_BITMAP resource holds it: a
// .bmp file without its 14-byte file header.

// Ordered by signed comparison, so iteration is ascending (9, 10, 100).
// Putting an ID that is present replaces its payload.
using BitmapStore = std::map<ResourceId, DibPayload>;

struct ContainerDoc {
    bool loaded = false;
    bool dirty = false;
    std::wstring path;  // full path of the open container file
    FileStamp stamp;    // the file at path as it was loaded or last saved
    BitmapStore bitmaps;
};

// The lowest and highest IDs a container file can name a bitmap by.
inline constexpr ResourceId kMinFileResourceId = 0;
inline constexpr ResourceId kMaxFileResourceId = 65535;
// The lowest ID a user gives a bitmap: 0 is kept where a file has it, but
// other programs take ID 0 for "no resource".
inline constexpr ResourceId kMinNewResourceId = 1;
