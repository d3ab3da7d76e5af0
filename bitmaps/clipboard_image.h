// A bitmap on the clipboard: what Copy puts there, and what Paste takes and
// stores. Portable, so that each choice is tested as a table; the clipboard
// itself is the platform's.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "document/container_doc.h"

enum class ClipboardImage { None, DibV5, Dib, Png };

// The format Paste reads, from the bitmap formats the clipboard lists in the
// order they were put there (the system's conversions come after them): the
// first DIB, of either header, as its owner put it first; PNG only when there
// is no DIB. A bitmap copied here thus comes back as the very bytes it left.
ClipboardImage ChoosePasteFormat(const std::vector<ClipboardImage>& listed);

// What Copy puts on the clipboard: the stored DIB as it is, and, for a bitmap
// with a pixel less than opaque, a 32-bit straight-alpha DIB with a V5 header
// for programs that read alpha there only (empty otherwise).
struct ClipboardCopy {
    std::vector<std::uint8_t> dib;
    std::vector<std::uint8_t> dibV5;
};
ClipboardCopy ClipboardCopyOf(const DibPayload& payload);

// The payload stored for the clipboard's bytes: a DIB cut to the length its
// header gives (the clipboard's block may be longer), a PNG converted as Add
// converts one. False for what is no drawable bitmap.
bool PayloadFromClipboard(ClipboardImage format, std::span<const std::uint8_t> bytes,
                          DibPayload& payload);

// Asked before a paste replaces a bitmap: "Replace bitmap 00009 with the
// image on the clipboard?".
std::wstring ReplaceWithClipboardQuestion(ResourceId id);
