#include <array>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <map>
#include <set>

#include "batch/folder_numbering.h"
#include "batch/numbered_scan.h"
#include "bitmaps/bitmap_codec.h"
#include "bitmaps/dib_layout.h"
#include "bitmaps/export_all.h"
#include "bitmaps/png_convert.h"
#include "cli/obktool.h"
#include "document/blank_container.h"
#include "document/container_io.h"
#include "document/display_text.h"
#include "document/pe_image_file.h"
#include "document/pe_image_writer.h"
#include "document/pe_resource_reader.h"
#include "fileio/change_lock.h"
#include "fileio/new_file.h"
#include "fileio/path_separator.h"
#include "fileio/wide_path.h"

namespace obktool {

namespace {

namespace fs = std::filesystem;

// Enough of a payload for every field a listing shows.
constexpr std::size_t kHeadBytes = kDibLayoutHeadBytes;

std::string Label(ResourceId id) {
    return Utf8(ResourceIdLabel(id));
}

void Say(const Common& c, const std::string& line) {
    if (!c.quiet && c.out) *c.out += line + "\n";
}

void Tick(const Common& c, std::size_t done, std::size_t total) {
    // Often enough to move, seldom enough to cost nothing.
    if (c.progress && (done % 256 == 0 || done == total)) c.progress(done, total);
}

// Why a path given as a file cannot serve as one; empty when it can.
std::string FileProblem(const std::wstring& path) {
    std::error_code ec;
    const fs::file_status status = fs::status(WidePath(path), ec);
    if (!fs::exists(status)) return "no such file";
    if (fs::is_directory(status)) return "is a folder, not a file";
    if (fs::file_size(WidePath(path), ec) == 0 && !ec) return "is empty";
    return "";
}

// Opens file as a container that a load reads whole.
Outcome Check(const std::wstring& file, ImageFile& image, pe::ResourceSurvey& survey) {
    const std::string name = Utf8(file);
    if (const std::string problem = FileProblem(file); !problem.empty()) {
        return Outcome::Fail(name + ": " + problem);
    }
    if (!OpenImageFile(file, image)) return Outcome::Fail(name + ": cannot be opened");
    if (!pe::SurveyResources(image.source, survey)) {
        return Outcome::Fail(name + ": not a container (no PE image headers)");
    }
    if (survey.Truncated()) {
        return Outcome::Fail(name + ": truncated: its sections end at byte " +
                             std::to_string(survey.sectionsEnd) + ", the file has " +
                             std::to_string(survey.fileSize) + " bytes");
    }
    return {};
}

using ImageBytes = std::shared_ptr<const FileBlock>;

// Reads the file once, whole: the bitmaps, what else it holds and the bytes a
// commit writes the new image from. Only a file that fails is looked at again,
// to say why.
Outcome Open(const std::wstring& file, ContainerDoc& doc, pe::ResourceSurvey& survey,
             ImageBytes& bytes) {
    const std::string name = Utf8(file);
    if (const std::string problem = FileProblem(file); !problem.empty()) {
        return Outcome::Fail(name + ": " + problem);
    }
    const bool loaded = LoadContainer(doc, file, pe::FixedLanguageOrder(), &survey, &bytes);
    if (loaded && survey.fileSize != 0 && !survey.Truncated()) return {};
    ImageFile image;
    if (Outcome o = Check(file, image, survey); o.status != Status::Ok) return o;
    if (!loaded) return Outcome::Fail(name + ": its bitmaps cannot be read");
    return {};
}

// Open for a change: with --strict, a file whose save would drop something
// is refused before anything is done.
Outcome OpenForChange(const Common& c, const std::wstring& file, ContainerDoc& doc,
                      pe::ResourceSurvey& survey, ImageBytes& bytes) {
    if (Outcome o = Open(file, doc, survey, bytes); o.status != Status::Ok) return o;
    if (std::string refusal = StrictRefusal(c.strict, Utf8(file), survey); !refusal.empty()) {
        return Outcome::Fail(std::move(refusal));
    }
    return {};
}

// The headers alone: a listing of a large container reads a fraction of it.
Outcome OpenListing(const std::wstring& file, Listing& listing, pe::ResourceSurvey& survey) {
    ImageFile image;
    if (Outcome o = Check(file, image, survey); o.status != Status::Ok) return o;
    if (!pe::ReadBitmapHeads(image.source, kHeadBytes, listing.heads, listing.sizes,
                             pe::FixedLanguageOrder())) {
        return Outcome::Fail(Utf8(file) + ": its bitmaps cannot be read");
    }
    return {};
}

// Writes the changed store in place or to -o, and warns about what the file
// held that the new one does not.
Outcome Commit(const Common& c, const std::wstring& file, const ContainerDoc& doc,
               const pe::ResourceSurvey& survey, const ImageBytes& bytes) {
    const std::wstring target = c.output.empty() ? file : c.output;
    if (!WriteContainerFrom(*bytes, doc.bitmaps, target)) {
        return Outcome::Fail(
            WriteFailure(Utf8(target), TakeAtomicWriteError(), "; every file is as it was"));
    }
    const std::string warning = DroppedResourcesWarning(survey);
    if (!warning.empty() && !c.quiet && c.warn) c.warn(Utf8(file) + ": " + warning);
    return {};
}

// Holds the lock of the file a changing command replaces for its whole
// read-modify-write; with -o, of the output, which may name the same file.
Outcome Hold(const Common& c, const std::wstring& file, ChangeLock& lock) {
    const std::wstring target = c.output.empty() ? file : c.output;
    if (lock.Acquire(target, c.wait) != ChangeLock::Result::Busy) return {};
    char waited[32];
    std::snprintf(waited, sizeof waited, "%g", c.wait);
    return Outcome::Fail(Utf8(target) + " is being changed by another process (waited " + waited +
                         " s; --wait SECONDS waits longer)");
}

// The bytes of a .bmp file, with what is wrong with it.
Outcome ReadBitmap(const std::wstring& path, std::vector<std::uint8_t>& bytes) {
    if (const std::string problem = FileProblem(path); !problem.empty()) {
        return Outcome::Fail(Utf8(path) + ": " + problem);
    }
    if (!ReadWholeFile(path, bytes)) return Outcome::Fail(Utf8(path) + ": cannot be read");
    return {};
}

Outcome Store(ContainerDoc& doc, ResourceId id, const std::wstring& path,
              const std::vector<std::uint8_t>& bytes) {
    std::string problem;
    if (StoreImageFile(doc, id, bytes, &problem)) return {};
    if (IsPng(bytes)) return Outcome::Fail(Utf8(path) + ": " + problem);
    if (!LooksLikeBitmapFile(bytes)) {
        return Outcome::Fail(Utf8(path) +
                             ": not a .bmp file or a PNG image (no BM file header, no PNG "
                             "signature)");
    }
    return Outcome::Fail(Utf8(path) + ": a broken bitmap: " + problem);
}

// One ID typed on the command line, by the editor's rule.
bool ParseIdArg(const std::string& text, ResourceId& id, std::string& error) {
    if (ParseResourceIdField(std::wstring(text.begin(), text.end()), id)) return true;
    error = "'" + text + "' is not a resource ID from 1 to 65535";
    return false;
}

bool ParseStoredIdArg(const std::string& text, ResourceId& id, std::string& error) {
    if (ParseStoredResourceId(std::wstring(text.begin(), text.end()), id)) return true;
    error = "'" + text + "' is not a resource ID from 0 to 65535";
    return false;
}

std::optional<ResourceId> ParseStart(const std::optional<std::string>& text, std::string& error) {
    ResourceId id = 0;
    if (!text || !ParseIdArg(*text, id, error)) return std::nullopt;
    return id;
}

std::wstring WithSeparator(std::wstring folder) {
    if (!folder.empty() && !IsPathSeparator(folder.back())) folder += kPathSeparator;
    return folder;
}

// Every numbered bitmap of a folder in the editor's order and numbering,
// handed to take() with its ID. Any file that cannot go in fails the whole
// run before anything is written: a build must not ship a container that
// silently lacks a bitmap.
Outcome ForEachFolderBitmap(const Common& c, const std::wstring& folder,
                            std::optional<ResourceId> start,
                            const std::function<Outcome(ResourceId, const NumberedBitmapFile&,
                                                        const std::vector<std::uint8_t>&)>& take,
                            std::size_t& count) {
    std::error_code ec;
    if (!fs::is_directory(WidePath(folder), ec)) {
        return Outcome::Fail(Utf8(folder) + (fs::exists(WidePath(folder), ec)
                                                 ? ": is a file, not a folder"
                                                 : ": no such folder"));
    }
    std::vector<NumberedBitmapFile> files;
    ScanNumberedBitmaps(WithSeparator(folder), files);
    if (const std::size_t shadowed = TakeBitmapsOverPngs(files); shadowed && c.warn && !c.quiet) {
        c.warn(Utf8(folder) + ": " + std::to_string(shadowed) +
               " .png files left out: a .bmp file has their numbers");
    }
    count = files.size();
    FolderNumbering numbering =
        start ? FolderNumbering::Sequential(*start) : FolderNumbering::Numeric();
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto id = numbering.Take(files[i]);
        if (!id) {
            const std::int64_t wanted =
                start ? std::int64_t{*start} + static_cast<std::int64_t>(i) : files[i].number;
            return Outcome::Fail(Utf8(files[i].path) + ": its ID " + std::to_string(wanted) +
                                 " lies outside 1 to 65535");
        }
        if (Outcome read = ReadBitmap(files[i].path, bytes); read.status != Status::Ok) return read;
        if (Outcome taken = take(*id, files[i], bytes); taken.status != Status::Ok) return taken;
        Tick(c, i + 1, files.size());
    }
    return {};
}

}  // namespace

Outcome List(const Common& c, const std::wstring& file) {
    Listing listing;
    pe::ResourceSurvey survey;
    if (Outcome o = OpenListing(file, listing, survey); o.status != Status::Ok) return o;
    if (c.out) *c.out += c.json ? ListJson(listing) : ListText(listing);
    return {};
}

Outcome Info(const Common& c, const std::wstring& file) {
    Listing listing;
    pe::ResourceSurvey survey;
    if (Outcome o = OpenListing(file, listing, survey); o.status != Status::Ok) return o;
    if (c.out) *c.out += c.json ? InfoJson(survey, listing) : InfoText(survey, listing);
    return {};
}

Outcome Extract(const Common& c, const std::wstring& file, const std::string& ids,
                const std::wstring& folder, bool png) {
    std::string error;
    std::optional<IdList> list;
    if (!ids.empty() && !(list = ParseIdList(ids, error))) return Outcome::Usage(error);
    // The bitmaps go from the file to their .bmp files a window at a time;
    // a large container is never held whole.
    ImageFile image;
    pe::ResourceSurvey survey;
    if (Outcome o = Check(file, image, survey); o.status != Status::Ok) return o;
    std::vector<pe::BitmapLocation> where;
    if (!pe::LocateBitmapResources(image.source, where, pe::FixedLanguageOrder())) {
        return Outcome::Fail(Utf8(file) + ": its bitmaps cannot be read");
    }
    BitmapStore stored;  // the IDs alone, for the selection
    for (const pe::BitmapLocation& l : where)
        stored.emplace_hint(stored.end(), l.id, DibPayload{});
    std::vector<ResourceId> selected;
    if (list) {
        const auto chosen = SelectIds(stored, *list, error);
        if (!chosen) return Outcome::Fail(Utf8(file) + ": " + error);
        selected = *chosen;
    } else {
        for (const auto& entry : stored)
            selected.push_back(entry.first);
    }

    std::error_code ec;
    fs::create_directories(WidePath(folder), ec);
    if (!fs::is_directory(WidePath(folder), ec)) {
        return Outcome::Fail(Utf8(folder) + ": cannot be made a folder");
    }
    std::vector<NumberedBitmapFile> present;
    ScanNumberedBitmaps(WithSeparator(folder), present, kFileNamesIgnoreCase);
    std::set<std::int32_t> existing;
    for (const NumberedBitmapFile& f : present) {
        if (f.png == png) existing.insert(f.number);
    }
    const wchar_t* extension = png ? L".png" : L".bmp";
    std::map<ResourceId, std::wstring> paths;
    for (ResourceId id : selected) {
        std::wstring& path = paths[id];
        if (!NumberedBitmapPath(folder, id, path, extension)) {
            return Outcome::Fail(Utf8(folder) + ": too long a path for " + Label(id) +
                                 (png ? ".png" : ".bmp"));
        }
        if (!c.force && existing.count(id) != 0) {
            return Outcome::Fail(Utf8(path) +
                                 ": already exists (--force replaces it); nothing was extracted");
        }
    }
    std::erase_if(where, [&](const pe::BitmapLocation& l) { return paths.count(l.id) == 0; });

    // Exported copies, as cp writes them: a new file in one pass, a file
    // --force replaces through a temporary name; nothing waits for the disk.
    // A failure takes back the files this run created; replaced ones stay
    // replaced.
    std::vector<std::wstring> created;
    std::size_t done = 0;
    std::string failed;
    std::array<std::uint8_t, kBitmapFileHeaderSize> fileHeader;
    std::vector<std::uint8_t> pngBytes;
    const auto take = [&](ResourceId id, std::span<const std::uint8_t> payload) {
        const std::wstring& path = paths.at(id);
        const bool replace = existing.count(id) != 0;
        // A .bmp file is its header and the payload; a PNG file one piece.
        std::span<const std::uint8_t> head = fileHeader, body = payload;
        if (png) {
            std::string problem;
            if (!PngFromPayload(payload, pngBytes, problem)) {
                failed = Utf8(path) + ": bitmap " + Label(id) + " " + problem;
                return false;
            }
            head = pngBytes, body = {};
        } else if (!MakeBitmapFileHeader(payload, fileHeader)) {
            failed = Utf8(path) + ": bitmap " + Label(id) + " has no readable header";
            return false;
        }
        const auto produce = [&](const AtomicWriteSink& sink) { return sink(head) && sink(body); };
        const bool ok = replace ? WriteFileAtomically(path, produce, Flush::AsCopy)
                                : WriteNewFile(path, head, body);
        if (!ok) {
            failed = WriteFailure(Utf8(path), TakeAtomicWriteError(), "");
            return false;
        }
        if (!replace) created.push_back(path);
        Tick(c, ++done, where.size());
        return true;
    };
    if (!pe::StreamBitmapResources(image.source, where, take)) {
        for (const std::wstring& path : created)
            fs::remove(WidePath(path), ec);
        if (!failed.empty()) return Outcome::Fail(failed);
        return Outcome::Fail(Utf8(file) + ": its bitmaps cannot be read");
    }
    Say(c, "extracted " + std::to_string(selected.size()) + " bitmaps to " + Utf8(folder));
    return {};
}

Outcome Add(const Common& c, const std::wstring& file, const std::string& idText,
            const std::wstring& bmp, bool replace) {
    std::string error;
    ResourceId id = 0;
    if (!ParseIdArg(idText, id, error)) return Outcome::Usage(error);
    ChangeLock lock;
    if (Outcome o = Hold(c, file, lock); o.status != Status::Ok) return o;
    ContainerDoc doc;
    pe::ResourceSurvey survey;
    ImageBytes fileBytes;
    if (Outcome o = OpenForChange(c, file, doc, survey, fileBytes); o.status != Status::Ok)
        return o;
    if (!replace && doc.bitmaps.count(id) != 0) {
        return Outcome::Fail(Utf8(file) + ": ID " + Label(id) +
                             " already holds a bitmap (--replace replaces it)");
    }
    std::vector<std::uint8_t> bytes;
    if (Outcome o = ReadBitmap(bmp, bytes); o.status != Status::Ok) return o;
    if (Outcome o = Store(doc, id, bmp, bytes); o.status != Status::Ok) return o;
    if (Outcome o = Commit(c, file, doc, survey, fileBytes); o.status != Status::Ok) return o;
    Say(c, "stored " + Utf8(bmp) + " as " + Label(id));
    return {};
}

Outcome Remove(const Common& c, const std::wstring& file, const std::string& ids) {
    std::string error;
    const auto list = ParseIdList(ids, error);
    if (!list) return Outcome::Usage(error);
    ChangeLock lock;
    if (Outcome o = Hold(c, file, lock); o.status != Status::Ok) return o;
    ContainerDoc doc;
    pe::ResourceSurvey survey;
    ImageBytes fileBytes;
    if (Outcome o = OpenForChange(c, file, doc, survey, fileBytes); o.status != Status::Ok)
        return o;
    const auto selected = SelectIds(doc.bitmaps, *list, error);
    if (!selected) return Outcome::Fail(Utf8(file) + ": " + error);
    for (ResourceId id : *selected)
        doc.bitmaps.erase(id);
    if (Outcome o = Commit(c, file, doc, survey, fileBytes); o.status != Status::Ok) return o;
    Say(c, "removed " + std::to_string(selected->size()) + " bitmaps");
    return {};
}

Outcome Renumber(const Common& c, const std::wstring& file, const std::string& oldText,
                 const std::string& newText, bool overwrite) {
    std::string error;
    ResourceId ids[2] = {0, 0};
    // The old ID names a bitmap the file holds, which may be 0; the new one
    // is given, as in the editor.
    if (!ParseStoredIdArg(oldText, ids[0], error) || !ParseIdArg(newText, ids[1], error)) {
        return Outcome::Usage(error);
    }
    ChangeLock lock;
    if (Outcome o = Hold(c, file, lock); o.status != Status::Ok) return o;
    ContainerDoc doc;
    pe::ResourceSurvey survey;
    ImageBytes fileBytes;
    if (Outcome o = OpenForChange(c, file, doc, survey, fileBytes); o.status != Status::Ok)
        return o;
    if (doc.bitmaps.count(ids[0]) == 0) {
        return Outcome::Fail(Utf8(file) + ": no bitmap with ID " + Label(ids[0]));
    }
    if (ids[0] != ids[1] && !overwrite && doc.bitmaps.count(ids[1]) != 0) {
        return Outcome::Fail(Utf8(file) + ": ID " + Label(ids[1]) +
                             " already holds a bitmap (--overwrite replaces it)");
    }
    if (!MoveBitmapId(doc, ids[0], ids[1], true)) {
        return Outcome::Fail(Utf8(file) + ": " + Label(ids[0]) + " cannot be moved");
    }
    if (Outcome o = Commit(c, file, doc, survey, fileBytes); o.status != Status::Ok) return o;
    Say(c, "renumbered " + Label(ids[0]) + " as " + Label(ids[1]));
    return {};
}

Outcome Import(const Common& c, const std::wstring& file, const std::wstring& folder,
               std::optional<std::string> startText, OnConflict onConflict) {
    std::string error;
    const auto start = ParseStart(startText, error);
    if (!error.empty()) return Outcome::Usage(error);
    ChangeLock lock;
    if (Outcome o = Hold(c, file, lock); o.status != Status::Ok) return o;
    ContainerDoc doc;
    pe::ResourceSurvey survey;
    ImageBytes fileBytes;
    if (Outcome o = OpenForChange(c, file, doc, survey, fileBytes); o.status != Status::Ok)
        return o;
    std::size_t stored = 0, skipped = 0, count = 0;
    const auto take = [&](ResourceId id, const NumberedBitmapFile& f,
                          const std::vector<std::uint8_t>& bytes) -> Outcome {
        if (doc.bitmaps.count(id) != 0) {
            if (onConflict == OnConflict::Skip) {
                ++skipped;
                return {};
            }
            if (onConflict == OnConflict::Fail) {
                return Outcome::Fail(Utf8(file) + ": ID " + Label(id) +
                                     " already holds a bitmap; " + Utf8(f.path) +
                                     " was not imported (--on-conflict overwrite or skip)");
            }
        }
        ++stored;
        return Store(doc, id, f.path, bytes);
    };
    if (Outcome o = ForEachFolderBitmap(c, folder, start, take, count); o.status != Status::Ok) {
        return o;
    }
    if (count == 0) return Outcome::Fail(Utf8(folder) + ": no 5-digit numbered .bmp or .png files");
    if (Outcome o = Commit(c, file, doc, survey, fileBytes); o.status != Status::Ok) return o;
    Say(c, "imported " + std::to_string(stored) + " bitmaps, skipped " + std::to_string(skipped));
    return {};
}

Outcome New(const Common& c, const std::wstring& out, bool is64, const std::wstring& from,
            std::optional<std::string> startText) {
    std::string error;
    const auto start = ParseStart(startText, error);
    if (!error.empty()) return Outcome::Usage(error);
    if (!c.force && PathExists(out)) {
        return Outcome::Fail(Utf8(out) + ": already exists (--force replaces it)");
    }
    ContainerDoc doc;
    std::error_code ec;
    if (!from.empty() && fs::is_directory(WidePath(from), ec)) {
        std::size_t count = 0;
        const auto take = [&](ResourceId id, const NumberedBitmapFile& f,
                              const std::vector<std::uint8_t>& bytes) {
            return Store(doc, id, f.path, bytes);
        };
        if (Outcome o = ForEachFolderBitmap(c, from, start, take, count); o.status != Status::Ok) {
            return o;
        }
        if (count == 0 && !c.quiet && c.warn) {
            c.warn(Utf8(from) +
                   ": no 5-digit numbered .bmp or .png files; the new container is empty");
        }
    } else if (!from.empty()) {
        std::vector<std::uint8_t> bytes;
        if (Outcome o = ReadBitmap(from, bytes); o.status != Status::Ok) return o;
        if (Outcome o = Store(doc, start.value_or(101), from, bytes); o.status != Status::Ok) {
            return o;
        }
    }
    const auto blank = pe::MakeBlankImage(is64);
    const auto produce = [&](const AtomicWriteSink& sink) {
        return pe::WriteImageWithBitmaps(std::span<const std::uint8_t>(blank), doc.bitmaps, sink);
    };
    if (!WriteFileAtomically(out, produce)) {
        return Outcome::Fail(
            WriteFailure(Utf8(out), TakeAtomicWriteError(), "; every file is as it was"));
    }
    Say(c, "created " + Utf8(out) + " (" + (is64 ? "PE32+" : "PE32") + ") with " +
               std::to_string(doc.bitmaps.size()) + " bitmaps");
    return {};
}

}  // namespace obktool
