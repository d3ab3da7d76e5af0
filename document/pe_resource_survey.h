// What a container file holds besides its numeric-ID bitmaps, and whether the
// file is whole: the facts a script checks before trusting a load or a save.
#pragma once

#include <cstdint>
#include <vector>

#include "document/pe_format.h"

namespace pe {

struct ResourceSurvey {
    bool is64 = false;               // PE32+
    std::uint64_t fileSize = 0;      // bytes in the file
    std::uint64_t sectionsEnd = 0;   // where the last section's raw data ends
    std::uint32_t namedBitmaps = 0;  // RT_BITMAP resources named by a string
    // Language versions of numeric-ID bitmaps besides the one a load takes.
    std::uint32_t otherLanguageBitmaps = 0;
    // Resources of other types, one count of names per type, ascending by
    // type; a type named by a string counts under typeId -1.
    struct OtherType {
        std::int32_t typeId = 0;
        std::uint32_t names = 0;
    };
    std::vector<OtherType> otherTypes;

    // A load would find nothing past the end of the file and skip what
    // lies there without a word, so a cut-short file must be told apart.
    bool Truncated() const { return sectionsEnd > fileSize; }
    // Anything a save, which writes back one version of each numeric-ID
    // bitmap, would drop.
    bool HoldsOtherResources() const {
        return namedBitmaps > 0 || otherLanguageBitmaps > 0 || !otherTypes.empty();
    }
};

// Reads the headers and the top two levels of the resource table. False when
// the bytes are not a PE image (as for a load); a resource table that cannot
// be walked reads as empty, as the loader sees it.
bool SurveyResources(const ImageSource& image, ResourceSurvey& out);

}  // namespace pe
