#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <cwchar>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "batch/numbered_scan.h"
#include "bitmaps/export_all.h"
#include "fileio/atomic_file.h"
#include "fileio/wide_path.h"
#include "support/dib_files.h"

using namespace orvix_test;

namespace {

// Wine takes paths of any length, where Windows without long-path support
// refuses one whose full form is MAX_PATH units or more unless it starts with
// \\?\. While a PathLimit lives, this program's CreateFileW, the writer's
// included (it is linked in), goes through that rule first.
ULONG_PTR g_createFile = 0;  // the import slot's other function

HANDLE WINAPI LimitedCreateFile(LPCWSTR name, DWORD access, DWORD share,
                                LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                                HANDLE model) {
    wchar_t full[MAX_PATH];
    if (std::wcsncmp(name, L"\\\\?\\", 4) != 0 &&
        GetFullPathNameW(name, MAX_PATH, full, nullptr) >= MAX_PATH) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    return reinterpret_cast<decltype(&CreateFileW)>(g_createFile)(name, access, share, security,
                                                                  disposition, flags, model);
}

// Exchanges this program's CreateFileW import slot with g_createFile.
void SwapCreateFile() {
    auto* base = reinterpret_cast<std::uint8_t*>(GetModuleHandleW(nullptr));
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const DWORD imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports); d->Name; ++d) {
        const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal) ||
                std::strcmp(
                    reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)
                        ->Name,
                    "CreateFileW"))
                continue;
            DWORD protect = 0;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE,
                           &protect);
            std::swap(slots->u1.Function, g_createFile);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protect, &protect);
        }
    }
}

struct PathLimit {
    PathLimit() {
        g_createFile = reinterpret_cast<ULONG_PTR>(&LimitedCreateFile);
        SwapCreateFile();
    }
    ~PathLimit() { SwapCreateFile(); }
};

// A folder path of exactly `units` units with its backslash, below root; made
// through \\?\, the only way Windows makes folders this deep.
std::wstring DeepFolder(std::wstring folder, std::size_t units) {
    while (folder.size() < units) {
        const std::size_t left = units - folder.size();
        folder += std::wstring(left > 62 ? 60 : left - 1, L'd') + L"\\";
        CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr);
    }
    return folder;
}

}  // namespace

// Export All writes each file through WriteBitmapFile, at exactly MAX_PATH - 1
// units below the deepest folder its name leaves room for: anew, named in
// full, then over the same files, named relative to the current folder, by
// way of a temporary name longer than MAX_PATH. Each reads back as a .bmp
// file of its bitmap.
TEST(AtomicFileWin, WritesReachTheLastUnitOfMaxPath) {
    ContainerDoc doc;
    doc.bitmaps = {{1, MakeDib({}, 44)}, {7, MakeDib({.bitCount = 32}, 44)}};
    const std::wstring root = (fs::temp_directory_path() / L"orvix-long").wstring() + L"\\";
    CreateDirectoryW(root.c_str(), nullptr);
    const std::map<int, Bytes> expected = {{1, MakeBmpFile(doc.bitmaps[1].ToBytes(), 54)},
                                           {7, MakeBmpFile(doc.bitmaps[7].ToBytes(), 54)}};

    wchar_t start[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, start);
    for (bool relative : {false, true}) {
        SCOPED_TRACE(relative ? "relative" : "in full");
        const std::wstring deep = DeepFolder(root, MAX_PATH - 1 - std::wcslen(L"00007.bmp"));
        const std::size_t parent = deep.rfind(L'\\', deep.size() - 2) + 1;
        if (relative) SetCurrentDirectoryW(deep.substr(0, parent).c_str());
        const std::wstring folder = relative ? deep.substr(parent) : deep;
        std::vector<NumberedBitmapFile> found;
        {
            PathLimit limit;
            EXPECT_TRUE(ExportAllBitmaps(doc, folder));
            ScanNumberedBitmaps(folder, found);
        }
        std::map<int, Bytes> read;
        for (const NumberedBitmapFile& f : found) {
            wchar_t full[MAX_PATH];
            EXPECT_EQ(GetFullPathNameW(f.path.c_str(), MAX_PATH, full, nullptr), MAX_PATH - 1u);
            read[f.number] = ReadBytes(f.path);
        }
        EXPECT_EQ(read, expected);
        EXPECT_EQ(std::distance(fs::directory_iterator(deep), {}), 2) << "temporary files left";
        SetCurrentDirectoryW(start);
    }
    fs::remove_all(root);
}

TEST(AtomicFileWin, ExtendedLengthPathsNameWhatThePlainOnesName) {
    wchar_t here[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, here);
    const struct {
        const wchar_t* path;
        std::wstring extended;
    } cases[] = {
        {L"C:\\dir\\a.bmp", L"\\\\?\\C:\\dir\\a.bmp"},
        {L"C:/dir//sub/../a.bmp. ", L"\\\\?\\C:\\dir\\a.bmp"},
        {L"a.bmp", L"\\\\?\\" + std::wstring(here) + L"\\a.bmp"},
        {L"\\\\server\\share\\dir\\a.bmp", L"\\\\?\\UNC\\server\\share\\dir\\a.bmp"},
        {L"//server/share/dir/../a.bmp", L"\\\\?\\UNC\\server\\share\\a.bmp"},
        {L"\\\\?\\C:\\dir\\..\\a.bmp", L"\\\\?\\C:\\dir\\..\\a.bmp"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExtendedLengthPath(c.path), c.extended) << "from " << c.path;
}

// Replacement keeps what the file is besides its bytes, and refuses what it
// may not change; every row checks the bytes, the attributes and the names.
TEST(AtomicFileWin, ReplacementKeepsAttributesAndRefusesReadOnlyAndLinkedFiles) {
    ScratchFolder scratch;
    const Bytes before(100, 0x11), after(200, 0x22);
    const std::wstring file = (scratch / "c.obk").wstring(), other = (scratch / "d.obk").wstring();
    const struct {
        const char* what;
        DWORD attributes;
        bool hardLink;
        WriteRefusal refusal;
    } rows[] = {
        {"hidden", FILE_ATTRIBUTE_HIDDEN, false, WriteRefusal::None},
        {"read-only", FILE_ATTRIBUTE_READONLY, false, WriteRefusal::ReadOnly},
        {"a second name", FILE_ATTRIBUTE_NORMAL, true, WriteRefusal::HardLinks},
    };
    for (const auto& row : rows) {
        for (const std::wstring& name : {file, other}) {
            SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(name.c_str());
        }
        WriteBytes(file, before);
        if (row.hardLink && !CreateHardLinkW(other.c_str(), file.c_str(), nullptr)) {
            std::printf("%s: no hard links here, row skipped\n", row.what);
            continue;
        }
        SetFileAttributesW(file.c_str(), row.attributes);
        const bool written = WriteFileAtomically(file, after);
        const AtomicWriteError error = TakeAtomicWriteError();
        EXPECT_EQ(written, row.refusal == WriteRefusal::None) << row.what;
        EXPECT_EQ(error.refusal, row.refusal) << row.what;
        EXPECT_EQ(ReadBytes(file), written ? after : before) << row.what;
        if (row.hardLink) {
            EXPECT_EQ(ReadBytes(other), before) << row.what << ": the other name";
            EXPECT_EQ(error.links, 2u) << row.what;
        }
        constexpr DWORD kSeen = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY;
        EXPECT_EQ(GetFileAttributesW(file.c_str()) & kSeen, row.attributes & kSeen) << row.what;
    }
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}
