// obktool: the container engine for scripts. Everything a user can see of it
// (what IDs a typed list names, what an import does with a taken ID, which
// exit status a failure gets, whether a progress line shows, the fields of a
// listing) is decided here, portably; obktool_main.cpp only parses the
// command line and prints.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/container_doc.h"
#include "document/dropped_resources.h"
#include "document/pe_resource_survey.h"
#include "fileio/atomic_file.h"

namespace obktool {

// 0 success, 1 a failed operation, 2 a usage error: what build scripts test.
enum class Status : int { Ok = 0, Failed = 1, Usage = 2 };

// How a command ended: the status, and for a failure the one line for
// standard error, naming the file, the ID and what was wrong.
struct Outcome {
    Status status = Status::Ok;
    std::string message;
    static Outcome Fail(std::string text) { return {Status::Failed, std::move(text)}; }
    static Outcome Usage(std::string text) { return {Status::Usage, std::move(text)}; }
};

// An ID list as typed: "5", "5-100", "5,7,9-12"; a range may be typed in
// either order. Every number must name 0 to 65535: a list names bitmaps a
// file holds, and a file may hold ID 0.
struct IdRange {
    ResourceId first = 0;
    ResourceId last = 0;
};
using IdList = std::vector<IdRange>;
// Nothing, with error set to the message, for a list that does not parse.
std::optional<IdList> ParseIdList(std::string_view text, std::string& error);
// The stored IDs the list names, ascending and once each. A lone ID the
// store does not hold is an error, as is a list that names no stored ID.
std::optional<std::vector<ResourceId>> SelectIds(const BitmapStore& store, const IdList& ids,
                                                 std::string& error);

// What an import does with an ID the container already holds.
enum class OnConflict { Fail, Overwrite, Skip };
std::optional<OnConflict> ParseOnConflict(std::string_view text);

// The progress line is for a person watching a terminal; a log or a pipe
// gets none, nor does a script that asked for quiet or JSON.
bool ShowsProgress(bool stderrIsTerminal, bool quiet, bool json);
// "\r<verb> <done>/<total>", and a newline once done reaches total.
std::string ProgressLine(std::string_view verb, std::size_t done, std::size_t total);
using Progress = std::function<void(std::size_t done, std::size_t total)>;

// What the header of a payload says; all unknown for a payload whose header
// cannot be read.
struct BitmapFacts {
    std::uint64_t size = 0;
    std::optional<std::int64_t> width, height;  // height as a magnitude
    std::optional<std::uint32_t> bitDepth, compression;
    std::optional<std::string> header, compressionName;  // "core", "RGB"...
    bool drawable = false;
};
BitmapFacts FactsOf(const DibPayload& head, std::uint64_t size);

// What a listing shows of each bitmap: its first bytes and its whole length.
struct Listing {
    BitmapStore heads;
    std::map<ResourceId, std::uint32_t> sizes;
};
Listing ListingOf(const BitmapStore& store);
// One row per bitmap, as text columns or a JSON array.
std::string ListText(const Listing& listing);
std::string ListJson(const Listing& listing);

// The summary of a container, with the warning of dropped_resources.h.
// With strict, a change that would drop what the file at name holds fails
// before anything is written; the message names what. Empty when the change
// may go on.
std::string StrictRefusal(bool strict, const std::string& name, const pe::ResourceSurvey& survey);
std::string InfoText(const pe::ResourceSurvey& survey, const Listing& listing);
std::string InfoJson(const pe::ResourceSurvey& survey, const Listing& listing);

// What a failed write says: the file, and why when the file layer or the
// system tells; a plain failure ends with tail ("; every file is as it
// was" where the writer guarantees it).
std::string WriteFailure(const std::string& name, const AtomicWriteError& error,
                         std::string_view tail);

// A path typed on the command line (UTF-8) as the core takes it, and back.
std::wstring WideArg(const std::string& utf8);
std::string Utf8(const std::wstring& path);

// The commands. Each reads what it needs, changes nothing unless it succeeds
// as a whole, and appends what standard output shows to out.
struct Common {
    bool quiet = false;
    bool json = false;
    bool force = false;   // extract, new: replace existing files
    bool strict = false;  // changing commands: refuse to drop what a save does not keep
    std::wstring output;  // changing commands: write here, not in place
    double wait = 5;      // changing commands: seconds to wait for another writer
    Progress progress;    // null: no progress line
    std::string* out = nullptr;
    std::function<void(const std::string&)> warn;  // to standard error
};

Outcome List(const Common& c, const std::wstring& file);
Outcome Info(const Common& c, const std::wstring& file);
Outcome Extract(const Common& c, const std::wstring& file, const std::string& ids,
                const std::wstring& folder, bool png = false);
Outcome Add(const Common& c, const std::wstring& file, const std::string& id,
            const std::wstring& bmp, bool replace);
Outcome Remove(const Common& c, const std::wstring& file, const std::string& ids);
Outcome Renumber(const Common& c, const std::wstring& file, const std::string& oldId,
                 const std::string& newId, bool overwrite);
Outcome Import(const Common& c, const std::wstring& file, const std::wstring& folder,
               std::optional<std::string> start, OnConflict onConflict);
Outcome New(const Common& c, const std::wstring& out, bool is64, const std::wstring& from,
            std::optional<std::string> start);

}  // namespace obktool
