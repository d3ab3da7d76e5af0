#include "document/dropped_resources.h"

#include <vector>

namespace {

std::string Plural(std::uint64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::string ResourceTypeName(std::int32_t typeId, std::uint32_t count) {
    struct Name {
        std::int32_t id;
        const char* one;
        const char* many;
    };
    static const Name kNames[] = {
        {-1, "resource of a named type", "resources of named types"},
        {1, "cursor", "cursors"},
        {2, "named bitmap", "named bitmaps"},
        {3, "icon", "icons"},
        {4, "menu", "menus"},
        {5, "dialog", "dialogs"},
        {6, "string table", "string tables"},
        {9, "accelerator table", "accelerator tables"},
        {10, "raw data resource", "raw data resources"},
        {11, "message table", "message tables"},
        {12, "cursor group", "cursor groups"},
        {14, "icon group", "icon groups"},
        {16, "version record", "version records"},
        {24, "manifest", "manifests"},
    };
    for (const Name& n : kNames) {
        if (n.id == typeId) return Plural(count, n.one, n.many);
    }
    return Plural(count, "resource", "resources") + " of type " + std::to_string(typeId);
}

std::string DroppedResourcesList(const pe::ResourceSurvey& survey) {
    std::vector<std::string> parts;
    if (survey.namedBitmaps > 0) parts.push_back(ResourceTypeName(2, survey.namedBitmaps));
    if (survey.otherLanguageBitmaps > 0) {
        parts.push_back(Plural(survey.otherLanguageBitmaps, "bitmap in another language",
                               "bitmaps in other languages"));
    }
    for (const auto& type : survey.otherTypes)
        parts.push_back(ResourceTypeName(type.typeId, type.names));
    if (parts.empty()) return "";
    std::string list = parts[0];
    for (std::size_t i = 1; i < parts.size(); ++i)
        list += (i + 1 == parts.size() ? " and " : ", ") + parts[i];
    return list;
}

std::string DroppedResourcesWarning(const pe::ResourceSurvey& survey) {
    const std::string list = DroppedResourcesList(survey);
    return list.empty() ? "" : "it also holds " + list + ", which a save does not keep";
}

std::wstring DroppedResourcesNotice(const pe::ResourceSurvey& survey) {
    const std::string list = DroppedResourcesList(survey);
    if (list.empty()) return L"";
    // The list is ASCII: digits and English words.
    return L"This file also holds " + std::wstring(list.begin(), list.end()) +
           L", which a save does not keep.";
}
