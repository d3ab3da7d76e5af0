#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "bitmaps/dib_layout.h"
#include "cli/obktool.h"
#include "document/display_text.h"
#include "document/dropped_resources.h"
#include "fileio/byte_order.h"
#include "fileio/wide_path.h"

namespace obktool {

namespace {

std::string Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return "";
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

bool ParseId(std::string_view text, ResourceId& id, std::string& error) {
    // The editor's rule for stored IDs; it takes only ASCII digits.
    if (ParseStoredResourceId(std::wstring(text.begin(), text.end()), id)) return true;
    error = "'" + Trimmed(text) + "' is not a resource ID from 0 to 65535";
    return false;
}

std::string Label(ResourceId id) {
    char text[16];
    std::snprintf(text, sizeof text, "%05d", static_cast<int>(id));
    return text;
}

}  // namespace

std::string WriteFailure(const std::string& name, const AtomicWriteError& error,
                         std::string_view tail) {
    if (error.refusal == WriteRefusal::ReadOnly) return name + " is read-only" + std::string(tail);
    if (error.refusal == WriteRefusal::HardLinks) {
        return name + " has " + std::to_string(error.links) +
               " hard links, which a replacement would split" + std::string(tail);
    }
    return name + ": cannot be written" + (error.reason.empty() ? "" : " (" + error.reason + ")") +
           std::string(tail);
}

std::optional<IdList> ParseIdList(std::string_view text, std::string& error) {
    IdList list;
    std::size_t begin = 0;
    while (true) {
        const std::size_t comma = std::min(text.find(',', begin), text.size());
        const std::string_view item = text.substr(begin, comma - begin);
        const std::size_t dash = item.find('-');
        IdRange range;
        if (dash == std::string_view::npos) {
            if (!ParseId(item, range.first, error)) return std::nullopt;
            range.last = range.first;
        } else if (!ParseId(item.substr(0, dash), range.first, error) ||
                   !ParseId(item.substr(dash + 1), range.last, error)) {
            // A range with an end missing ("-5", "5-") is named whole: an
            // empty quote would not tell which item of the list it was.
            if (Trimmed(item.substr(0, dash)).empty() || Trimmed(item.substr(dash + 1)).empty()) {
                ParseId(item, range.first, error);
            }
            return std::nullopt;
        }
        if (range.first > range.last) std::swap(range.first, range.last);
        list.push_back(range);
        if (comma == text.size()) return list;
        begin = comma + 1;
    }
}

std::optional<std::vector<ResourceId>> SelectIds(const BitmapStore& store, const IdList& ids,
                                                 std::string& error) {
    std::vector<ResourceId> selected;
    for (const IdRange& range : ids) {
        if (range.first == range.last && store.count(range.first) == 0) {
            error = "no bitmap with ID " + Label(range.first);
            return std::nullopt;
        }
        for (auto it = store.lower_bound(range.first); it != store.end() && it->first <= range.last;
             ++it)
            selected.push_back(it->first);
    }
    if (selected.empty()) {
        error = "no bitmap with an ID in the list";
        return std::nullopt;
    }
    std::sort(selected.begin(), selected.end());
    selected.erase(std::unique(selected.begin(), selected.end()), selected.end());
    return selected;
}

std::optional<OnConflict> ParseOnConflict(std::string_view text) {
    if (text == "fail") return OnConflict::Fail;
    if (text == "overwrite") return OnConflict::Overwrite;
    if (text == "skip") return OnConflict::Skip;
    return std::nullopt;
}

bool ShowsProgress(bool stderrIsTerminal, bool quiet, bool json) {
    return stderrIsTerminal && !quiet && !json;
}

std::string ProgressLine(std::string_view verb, std::size_t done, std::size_t total) {
    std::string line =
        "\r" + std::string(verb) + " " + std::to_string(done) + "/" + std::to_string(total);
    if (done >= total) line += "\n";
    return line;
}

BitmapFacts FactsOf(const DibPayload& payload, std::uint64_t size) {
    BitmapFacts facts;
    facts.size = size;
    const DibLayout layout = ReadDibLayout(payload, size);
    if (layout.kind == DibHeaderKind::Unknown || layout.problem == DibProblem::HeaderOutside) {
        return facts;
    }
    facts.width = layout.width;
    facts.height = layout.height < 0 ? -layout.height : layout.height;  // negative: top-down
    facts.bitDepth = layout.bitCount;
    facts.compression = layout.compression;
    facts.header = DibHeaderKindName(layout.kind);
    facts.compressionName = DibCompressionName(layout);
    facts.drawable = layout.drawable;
    return facts;
}

Listing ListingOf(const BitmapStore& store) {
    Listing listing;
    listing.heads = store;
    for (const auto& [id, payload] : store)
        listing.sizes[id] = static_cast<std::uint32_t>(payload.size());
    return listing;
}

std::string ListText(const Listing& listing) {
    std::string text;
    text.reserve(listing.heads.size() * 48);
    for (const auto& [id, payload] : listing.heads) {
        const BitmapFacts f = FactsOf(payload, listing.sizes.at(id));
        std::string size = "?", depth = "?";
        if (f.width) size = std::to_string(*f.width) + "x" + std::to_string(*f.height);
        if (f.bitDepth) depth = std::to_string(*f.bitDepth);
        char row[160];
        std::snprintf(row, sizeof row, "%s %10llu %11s %2s %-5s %s\n", Label(id).c_str(),
                      static_cast<unsigned long long>(f.size), size.c_str(), depth.c_str(),
                      f.header.value_or("?").c_str(), f.compressionName.value_or("?").c_str());
        text += row;
    }
    return text;
}

std::string ListJson(const Listing& listing) {
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    for (const auto& [id, payload] : listing.heads) {
        const BitmapFacts f = FactsOf(payload, listing.sizes.at(id));
        nlohmann::ordered_json row;
        row["id"] = id;
        row["size"] = f.size;
        row["width"] = f.width ? nlohmann::ordered_json(*f.width) : nullptr;
        row["height"] = f.height ? nlohmann::ordered_json(*f.height) : nullptr;
        row["bitDepth"] = f.bitDepth ? nlohmann::ordered_json(*f.bitDepth) : nullptr;
        row["compression"] = f.compression ? nlohmann::ordered_json(*f.compression) : nullptr;
        row["header"] = f.header ? nlohmann::ordered_json(*f.header) : nullptr;
        row["compressionName"] =
            f.compressionName ? nlohmann::ordered_json(*f.compressionName) : nullptr;
        rows.push_back(std::move(row));
    }
    return rows.dump() + "\n";
}

namespace {

std::size_t UndrawableCount(const Listing& listing) {
    std::size_t count = 0;
    for (const auto& [id, head] : listing.heads)
        count += FactsOf(head, listing.sizes.at(id)).drawable ? 0 : 1;
    return count;
}

}  // namespace

std::string StrictRefusal(bool strict, const std::string& name, const pe::ResourceSurvey& survey) {
    const std::string list = DroppedResourcesList(survey);
    if (!strict || list.empty()) return "";
    return name + ": holds " + list +
           ", which a save does not keep; nothing was changed (--strict)";
}

std::string InfoText(const pe::ResourceSurvey& survey, const Listing& listing) {
    const BitmapStore& store = listing.heads;
    std::uint64_t total = 0;
    for (const auto& entry : listing.sizes)
        total += entry.second;
    std::string text = std::string("format:  ") + (survey.is64 ? "PE32+" : "PE32") + "\n";
    text += "bitmaps: " + std::to_string(store.size()) + "\n";
    text += "bytes:   " + std::to_string(total) + "\n";
    text += "IDs:     " +
            (store.empty() ? std::string("none")
                           : Label(store.begin()->first) + "-" + Label(store.rbegin()->first)) +
            "\n";
    if (const std::size_t undrawable = UndrawableCount(listing); undrawable != 0) {
        text += "undrawable: " + std::to_string(undrawable) +
                " (bitmaps the platform's drawing code cannot draw)\n";
    }
    const std::string warning = DroppedResourcesWarning(survey);
    if (!warning.empty()) text += "warning: " + warning + "\n";
    return text;
}

std::string InfoJson(const pe::ResourceSurvey& survey, const Listing& listing) {
    const BitmapStore& store = listing.heads;
    std::uint64_t total = 0;
    for (const auto& entry : listing.sizes)
        total += entry.second;
    nlohmann::ordered_json info;
    info["format"] = survey.is64 ? "PE32+" : "PE32";
    info["bitmaps"] = store.size();
    info["totalSize"] = total;
    info["firstId"] =
        store.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(store.begin()->first);
    info["lastId"] =
        store.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(store.rbegin()->first);
    info["undrawable"] = UndrawableCount(listing);
    info["namedBitmaps"] = survey.namedBitmaps;
    info["otherLanguageBitmaps"] = survey.otherLanguageBitmaps;
    nlohmann::ordered_json others = nlohmann::ordered_json::array();
    for (const auto& type : survey.otherTypes)
        others.push_back({{"type", type.typeId}, {"count", type.names}});
    info["otherResources"] = others;
    const std::string warning = DroppedResourcesWarning(survey);
    info["warning"] = warning.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(warning);
    return info.dump() + "\n";
}

std::wstring WideArg(const std::string& utf8) {
    return WideFromPath(std::filesystem::path(std::u8string(utf8.begin(), utf8.end())));
}

std::string Utf8(const std::wstring& path) {
    const std::u8string text = WidePath(path).u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace obktool
