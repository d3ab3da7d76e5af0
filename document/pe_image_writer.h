// Rewriting a PE image so that its resource table holds exactly a set of
// bitmaps, and the blank image new containers start from.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "document/container_doc.h"
#include "document/pe_format.h"

namespace pe {

// Receives the output image in order, in pieces; returns false to stop.
using ByteSink = std::function<bool(std::span<const std::uint8_t>)>;

// Writes image with its resource table replaced by one RT_BITMAP resource per
// store entry (ascending IDs, language 0) and nothing else. Every other byte
// of the image is kept, except the fields the new table changes: data
// directory 2, the section table, SizeOfImage, SizeOfInitializedData, the
// CheckSum (recomputed unless it was 0) and the file offsets of what follows
// the last section (the security directory, the COFF symbol table), which
// move with it. The table reuses the resource section when that is the last
// section and holds nothing else; otherwise it goes into a new ".rsrc"
// section after the last one.
//
// False, before anything reaches the sink, when the image is not a PE image,
// cannot take another section, or the store holds an ID outside 0..65535 or
// an empty payload; false too when the sink refuses a piece.
bool WriteImageWithBitmaps(const ImageSource& image, const BitmapStore& store,
                           const ByteSink& sink);
bool WriteImageWithBitmaps(std::span<const std::uint8_t> image, const BitmapStore& store,
                           const ByteSink& sink);

// The same into memory.
bool BuildImageWithBitmaps(std::span<const std::uint8_t> image, const BitmapStore& store,
                           std::vector<std::uint8_t>& out);

}  // namespace pe
