// The texts the program shows for a document, and the one rule by which a
// typed resource ID is accepted. Portable, so that each is tested as a table.
#pragma once

#include <string>
#include <string_view>

#include "document/container_doc.h"

// "%05d": at least five digits, zero-padded (7 shows as 00007, 123456 in full).
std::wstring ResourceIdLabel(ResourceId id);

// "Orvix", then " - " and the full path when a file is loaded, then " *"
// when it has unsaved changes.
std::wstring WindowCaption(const ContainerDoc& doc);

// A resource ID typed into a field: decimal digits, with blanks around them
// allowed, naming 1 to 65535 (a container names its bitmaps by 16-bit
// numbers). False for anything else, 0 and an empty field included.
bool ParseResourceIdField(std::wstring_view text, ResourceId& id);

// The same for an ID that names a bitmap a file may already hold: 0 to 65535.
bool ParseStoredResourceId(std::wstring_view text, ResourceId& id);

// Asked before a save would overwrite what another program wrote to path.
std::wstring ChangedOnDiskQuestion(const std::wstring& path);
