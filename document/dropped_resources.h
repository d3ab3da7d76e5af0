// What a file holds that a save does not keep, in the words the editor and
// obktool both use. Portable, so that each is tested as a table.
#pragma once

#include <cstdint>
#include <string>

#include "document/pe_resource_survey.h"

// "1 icon", "2 version records", "3 resources of type 99".
std::string ResourceTypeName(std::int32_t typeId, std::uint32_t count);

// "1 named bitmap, 2 bitmaps in other languages and 1 icon"; empty when a
// save keeps everything.
std::string DroppedResourcesList(const pe::ResourceSurvey& survey);

// obktool's warning: "it also holds LIST, which a save does not keep".
std::string DroppedResourcesWarning(const pe::ResourceSurvey& survey);

// The editor's notice on Open: "This file also holds LIST, which a save
// does not keep."; empty when there is nothing to tell.
std::wstring DroppedResourcesNotice(const pe::ResourceSurvey& survey);
