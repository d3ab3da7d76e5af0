// Reading the bitmaps out of a PE image's resource table, with the answers
// the platform's image loader gives for the same file.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <vector>

#include "document/container_doc.h"
#include "document/pe_format.h"

namespace pe {

// The language versions tried, in order, when a resource is asked for
// without naming a language; when none of them is present the first version
// in the table wins, or, with thenLowest, the version with the lowest
// language ID.
struct LanguageOrder {
    std::vector<std::uint16_t> tried;
    bool thenLowest = false;
};

// The platform's loader tries neutral, then the languages of the thread,
// user and system locales (each also with the neutral sublanguage), then
// English (United States). This is that order for a machine whose locales
// are all English (United States).
inline const LanguageOrder kEnglishUsLanguageOrder = {{0x0000, 0x0409, 0x0009}};

// The loader's order for the current thread, user and system locales on
// Windows; kEnglishUsLanguageOrder elsewhere. The editor shows what the
// platform would show on the user's machine.
LanguageOrder PlatformLanguageOrder();

// The same choice on every machine, for builds that must not depend on
// where they run: neutral, then English (United States), then the lowest
// language ID present.
LanguageOrder FixedLanguageOrder();

// Copies every RT_BITMAP resource with a numeric name into out (emptied
// first), one payload per ID, in the language version chosen by
// languageOrder. String-named bitmaps, other types, zero-size resources and
// resources whose directory or data lies outside the file or in no section
// are skipped. False when the bytes are not a PE image or cannot be read.
bool ReadBitmapResources(const ImageSource& image, BitmapStore& out,
                         const LanguageOrder& languageOrder = kEnglishUsLanguageOrder);
bool ReadBitmapResources(std::span<const std::uint8_t> image, BitmapStore& out,
                         const LanguageOrder& languageOrder = kEnglishUsLanguageOrder);

// The same bitmaps as views into image, a whole file read in one go: no
// payload is copied, and the file's bytes live as long as any of them.
bool ViewBitmapResources(const std::shared_ptr<const void>& owner,
                         std::span<const std::uint8_t> image, BitmapStore& out,
                         const LanguageOrder& languageOrder = kEnglishUsLanguageOrder);
inline bool ViewBitmapResources(const std::shared_ptr<const std::vector<std::uint8_t>>& image,
                                BitmapStore& out,
                                const LanguageOrder& languageOrder = kEnglishUsLanguageOrder) {
    return ViewBitmapResources(image, *image, out, languageOrder);
}

// The same bitmaps with only the first keep bytes of each payload in heads,
// and each payload's whole length in sizes: what a listing needs, without
// reading the pixels of a large container.
bool ReadBitmapHeads(const ImageSource& image, std::size_t keep, BitmapStore& heads,
                     std::map<ResourceId, std::uint32_t>& sizes,
                     const LanguageOrder& languageOrder = kEnglishUsLanguageOrder);

// How many language versions of the numeric-ID bitmaps a load leaves out:
// every version but the one it takes. False when the bytes are not a PE
// image or cannot be read.
bool CountOtherLanguageVersions(const ImageSource& image, std::uint32_t& count);

// Where a bitmap's bytes lie in the file.
struct BitmapLocation {
    ResourceId id = 0;
    std::uint64_t offset = 0;
    std::uint32_t size = 0;
};

// The place of every bitmap ReadBitmapResources would copy, ascending by ID,
// without reading any of them.
bool LocateBitmapResources(const ImageSource& image, std::vector<BitmapLocation>& out,
                           const LanguageOrder& languageOrder = kEnglishUsLanguageOrder);

// Hands the bytes at each location to take(), in file order, read through
// one window of the file, so that a large container is never held whole; the
// span is valid during the call only. False when a read fails or take()
// returns false, which ends the run.
using BitmapTaker = std::function<bool(ResourceId, std::span<const std::uint8_t>)>;
bool StreamBitmapResources(const ImageSource& image, std::vector<BitmapLocation> where,
                           const BitmapTaker& take);

}  // namespace pe
