// .bmp files to and from the bitmap store. The codec never decodes pixels.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "document/container_doc.h"
#include "fileio/whole_file.h"

// Length of the BITMAPFILEHEADER in front of every .bmp file.
inline constexpr std::size_t kBitmapFileHeaderSize = 14;

// Stores the bitmap of a .bmp file under id, replacing any payload there, and
// marks the document dirty. The payload is the packed DIB after the 14-byte
// file header, with any gap the file leaves before its pixels taken out.
// Refuses a file without a BM header and a bitmap that cannot be one
// (ReadDibLayout finds a problem), saying why in problem; a refused file
// leaves the store and doc.dirty untouched.
bool StoreBitmapFile(ContainerDoc& doc, ResourceId id, const std::vector<std::uint8_t>& fileBytes,
                     std::string* problem = nullptr);

// Puts payload under id and marks the document dirty; false, with the store
// and doc.dirty as they were, when memory runs out.
bool PutPayload(ContainerDoc& doc, ResourceId id, DibPayload payload,
                std::string* problem = nullptr);

// True when bytes begin with a .bmp file header ("BM" and 12 more bytes).
bool LooksLikeBitmapFile(const std::vector<std::uint8_t>& bytes);

// Writes the payload of id as a .bmp file with a recomputed file header, as
// an exported copy (WriteCopyFile): never a partial file, and an existing
// file stays byte-identical on failure; not flushed to the disk.
bool WriteBitmapFile(const ContainerDoc& doc, ResourceId id, const std::wstring& path);

// The 14-byte file header WriteBitmapFile puts in front of payload, recomputed
// from the payload. False for a payload it would refuse.
bool MakeBitmapFileHeader(std::span<const std::uint8_t> payload,
                          std::array<std::uint8_t, kBitmapFileHeaderSize>& header);

// True when a payload of this many bytes fits a .bmp file, whose 32-bit size
// field counts the 14-byte file header too (below 4 GiB - 14).
bool PayloadFitsBitmapFile(std::uint64_t payloadLength);

// Where the pixels start: the header, the masks after it and the colour
// table, as ReadDibLayout finds them; 0 when they do not lie in the payload.
std::uint32_t DibHeaderLength(const DibPayload& payload);

// True when the payload is a bitmap whose header, colour table and pixels
// all lie inside it (ReadDibLayout finds no problem).
bool DibPixelsInBounds(const DibPayload& payload);
