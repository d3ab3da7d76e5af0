// .bmp files to and from the bitmap store. The codec never decodes pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "document/container_doc.h"

// Reads the whole file. False when it cannot be opened, is empty, or the read
// delivers fewer bytes than its length; out is then left as it was.
bool ReadWholeFile(const std::wstring& path, std::vector<std::uint8_t>& out);

// Checks the 14-byte file header and stores everything after it under id,
// replacing any payload there, and marks the document dirty.
bool StoreBitmapFile(ContainerDoc& doc, ResourceId id, const std::vector<std::uint8_t>& fileBytes);

// Writes the payload of id as a .bmp file with a recomputed file header.
// Never leaves a partial file: an existing file stays byte-identical on failure.
bool WriteBitmapFile(const ContainerDoc& doc, ResourceId id, const std::wstring& path);

// Length of the info header plus the colour table or bit-field masks.
// The payload must hold at least 40 bytes.
std::uint32_t DibHeaderLength(const DibPayload& payload);

// True when the payload's header, colour table and pixel bits all lie inside
// the payload, so that drawing code may be handed a pointer to them.
bool DibPixelsInBounds(const DibPayload& payload);

// Writes every bitmap of the store into folder as %05d.bmp, ascending; stops
// at the first failure. An empty store writes nothing and succeeds.
bool ExportAllBitmaps(const ContainerDoc& doc, const std::wstring& folder);
