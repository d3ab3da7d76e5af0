// The platform's image loader is the judge of our container files: every file
// the engine writes must map and list exactly the store's bitmaps, and the
// engine must read any file the way the loader does.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h, which it needs
#include <imagehlp.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "document/blank_container.h"
#include "document/container_io.h"
#include "document/pe_format.h"
#include "fileio/byte_order.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Store = std::map<int, Bytes>;

std::wstring ExeDir() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring s(path, n);
    return s.substr(0, s.find_last_of(L"\\/") + 1);
}

std::wstring TempDir(const wchar_t* leaf) {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    std::wstring dir = std::wstring(base) + leaf + L"\\";
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

Bytes Slurp(const std::wstring& path) {
    Bytes out;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return out;
    out.resize(GetFileSize(h, nullptr));
    DWORD got = 0;
    ReadFile(h, out.data(), static_cast<DWORD>(out.size()), &got, nullptr);
    CloseHandle(h);
    out.resize(got);
    return out;
}

bool Spit(const std::wstring& path, const Bytes& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD done = 0;
    BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    CloseHandle(h);
    return ok && done == bytes.size();
}

std::string Narrow(const std::wstring& w) {
    std::string s;
    for (wchar_t c : w)
        s += c < 128 ? static_cast<char>(c) : '?';
    return s;
}

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR context) {
    auto* ids = reinterpret_cast<std::vector<ULONG_PTR>*>(context);
    if (IS_INTRESOURCE(name)) ids->push_back(reinterpret_cast<ULONG_PTR>(name));
    return TRUE;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR context) {
    reinterpret_cast<std::vector<WORD>*>(context)->push_back(language);
    return TRUE;
}

Bytes ResourceBytes(HMODULE module, HRSRC found) {
    if (!found) return {};
    DWORD size = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    const void* p = loaded ? LockResource(loaded) : nullptr;
    if (!p || size == 0) return {};
    const auto* b = static_cast<const std::uint8_t*>(p);
    return Bytes(b, b + size);
}

// What the platform reports for a file: the numeric-ID bitmaps as the
// document would hold them, and the languages each is present in.
struct PlatformView {
    bool mapped = false;
    Store bitmaps;
    std::map<int, std::vector<WORD>> languages;
};

PlatformView AskPlatform(const std::wstring& path, DWORD flags) {
    PlatformView view;
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, flags);
    if (!module) return view;
    view.mapped = true;
    std::vector<ULONG_PTR> ids;
    EnumResourceNamesW(module, MAKEINTRESOURCEW(2), CollectName, reinterpret_cast<LONG_PTR>(&ids));
    for (ULONG_PTR id : ids) {
        const wchar_t* name = MAKEINTRESOURCEW(id);
        Bytes bytes = ResourceBytes(module, FindResourceW(module, name, MAKEINTRESOURCEW(2)));
        if (!bytes.empty()) view.bitmaps[static_cast<int>(id)] = std::move(bytes);
        std::vector<WORD>& langs = view.languages[static_cast<int>(id)];
        EnumResourceLanguagesW(module, MAKEINTRESOURCEW(2), name, CollectLanguage,
                               reinterpret_cast<LONG_PTR>(&langs));
    }
    FreeLibrary(module);
    return view;
}

bool HasResource(const std::wstring& path, const wchar_t* type, const wchar_t* name) {
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return false;
    bool found = FindResourceW(module, name, type) != nullptr;
    FreeLibrary(module);
    return found;
}

std::string Describe(const Store& s) {
    std::string out = std::to_string(s.size()) + " bitmaps:";
    int shown = 0;
    for (const auto& [id, bytes] : s) {
        if (++shown > 12) {
            out += " ...";
            break;
        }
        char item[48];
        std::snprintf(item, sizeof item, " %d(%zuB)", id, bytes.size());
        out += item;
    }
    return out;
}

Store ToStore(const BitmapStore& b) {
    Store s;
    for (const auto& [id, bytes] : b)
        s[id] = bytes;
    return s;
}

constexpr DWORD kMapFlags[] = {LOAD_LIBRARY_AS_DATAFILE, LOAD_LIBRARY_AS_IMAGE_RESOURCE,
                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE};

// The file maps under every data-file flag and lists exactly `expected`,
// each bitmap in language 0 only.
void ExpectPlatformListsExactly(const std::wstring& path, const Store& expected) {
    for (DWORD flags : kMapFlags) {
        SCOPED_TRACE("LoadLibraryExW flags 0x" + std::to_string(flags));
        PlatformView view = AskPlatform(path, flags);
        ASSERT_TRUE(view.mapped) << "the loader refused " << Narrow(path) << ", error "
                                 << GetLastError();
        EXPECT_TRUE(view.bitmaps == expected)
            << "expected " << Describe(expected) << "\nplatform " << Describe(view.bitmaps);
        for (const auto& [id, langs] : view.languages) {
            EXPECT_EQ(langs, std::vector<WORD>{0}) << "bitmap " << id;
        }
    }
}

Bytes Payload(std::size_t size, int seed) {
    Bytes b;
    b.reserve(size);
    for (std::size_t i = 0; i < size; ++i) {
        b.push_back(static_cast<std::uint8_t>(static_cast<std::size_t>(seed) * 31 + i * 7));
    }
    return b;
}

}  // namespace

TEST(ContainerOracle, BlankImagesMapWithNoResources) {
    std::wstring dir = TempDir(L"orvix-oracle-blank");
    for (bool is64 : {false, true}) {
        SCOPED_TRACE(is64 ? "PE32+" : "PE32");
        std::wstring path = dir + (is64 ? L"blank64.obk" : L"blank32.obk");
        ASSERT_TRUE(WriteBlankContainer(path, is64));
        for (DWORD flags : kMapFlags) {
            PlatformView view = AskPlatform(path, flags);
            EXPECT_TRUE(view.mapped) << "flags " << flags << ", error " << GetLastError();
            EXPECT_TRUE(view.bitmaps.empty());
        }
        ContainerDoc doc;
        EXPECT_TRUE(LoadContainer(doc, path));
        EXPECT_TRUE(doc.loaded);
        EXPECT_TRUE(doc.bitmaps.empty());
    }
}

TEST(ContainerOracle, SavedImagesListExactlyTheStore) {
    struct Variant {
        const char* name;
        Store store;
    };
    std::vector<Variant> variants;
    variants.push_back({"empty store", {}});
    variants.push_back({"one bitmap", {{101, Payload(1078, 1)}}});
    {
        Store odd;
        int id = 1;
        for (std::size_t size : {1u, 2u, 3u, 5u, 7u, 8u, 9u, 15u, 17u, 511u, 513u, 4097u}) {
            odd[id] = Payload(size, id);
            ++id;
        }
        odd[65535] = Payload(3, 99);
        variants.push_back({"odd payload sizes", odd});
    }
    {
        Store many;
        for (int id = 1; id <= 3000; ++id)
            many[id * 21] = Payload(40 + id % 13, id);
        many[65535] = Payload(41, 7);
        variants.push_back({"3001 scattered IDs", many});
    }
    {
        Store all;
        for (int id = 1; id <= 65535; ++id)
            all[id] = Payload(1 + id % 16, id);
        variants.push_back({"every ID from 1 to 65535", all});
    }
    {
        Store big;
        big[1] = Payload(3 * 1024 * 1024 + 5, 1);
        big[2] = Payload(1, 2);
        variants.push_back({"a payload of 3 MiB", big});
    }

    std::wstring dir = TempDir(L"orvix-oracle-save");
    for (bool is64 : {false, true}) {
        for (const Variant& v : variants) {
            SCOPED_TRACE(std::string(is64 ? "PE32+, " : "PE32, ") + v.name);
            std::wstring path = dir + L"saved.obk";
            DeleteFileW(path.c_str());
            ASSERT_TRUE(WriteBlankContainer(path, is64));
            ContainerDoc doc;
            ASSERT_TRUE(LoadContainer(doc, path));
            for (const auto& [id, bytes] : v.store)
                doc.bitmaps[id] = bytes;
            doc.dirty = true;
            ASSERT_TRUE(SaveContainer(doc, path));
            ExpectPlatformListsExactly(path, v.store);

            // A second save goes through the other path, reusing the
            // resource section the first one made.
            Store second = v.store;
            second[4242] = Payload(77, 3);
            doc.bitmaps[4242] = second[4242];
            ASSERT_TRUE(SaveContainer(doc, path));
            ExpectPlatformListsExactly(path, second);

            ContainerDoc reread;
            ASSERT_TRUE(LoadContainer(reread, path));
            EXPECT_TRUE(ToStore(reread.bitmaps) == second);
        }
    }
}

namespace {

struct Fixture {
    const wchar_t* file;
    const char* what;
};
constexpr Fixture kFixtures[] = {
    {L"fixture_mixed.dll", "string name, icon, version, zero-size and multi-language bitmaps"},
    {L"fixture_reloc.dll", ".reloc after .rsrc"},
    {L"fixture_symbols.dll", "COFF symbol table after the last section"},
};

// Reports which language version the loader chose for each bitmap that has
// several; the engine must make the same choice.
void ReportLanguageChoices(const std::wstring& path, const PlatformView& view) {
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(module);
    for (const auto& [id, langs] : view.languages) {
        if (langs.size() < 2) continue;
        std::string line = "  bitmap " + std::to_string(id) + ": versions";
        char hex[16];
        WORD chosen = 0xFFFF;
        auto it = view.bitmaps.find(id);
        for (WORD lang : langs) {
            std::snprintf(hex, sizeof hex, " %04x", lang);
            line += hex;
            Bytes b = ResourceBytes(
                module, FindResourceExW(module, MAKEINTRESOURCEW(2), MAKEINTRESOURCEW(id), lang));
            if (it != view.bitmaps.end() && b == it->second) chosen = lang;
        }
        std::snprintf(hex, sizeof hex, "%04x", chosen);
        std::printf("%s -> loader chose %s\n", line.c_str(), hex);
    }
    FreeLibrary(module);
}

}  // namespace

TEST(ContainerOracle, ToolchainDllsLoadAsThePlatformReportsAndMapAfterSave) {
    LCID locale = GetThreadLocale();
    std::printf("thread locale %04lx, user default language %04x, UI language %04x\n",
                static_cast<unsigned long>(locale), GetUserDefaultLangID(),
                GetUserDefaultUILanguage());
    std::wstring dir = TempDir(L"orvix-oracle-fixtures");
    for (const Fixture& f : kFixtures) {
        SCOPED_TRACE(Narrow(f.file) + std::string(" (") + f.what + ")");
        std::wstring source = ExeDir() + f.file;
        PlatformView before = AskPlatform(source, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_TRUE(before.mapped) << "fixture missing or unmappable";
        ASSERT_FALSE(before.bitmaps.empty());
        ReportLanguageChoices(source, before);

        ContainerDoc doc;
        ASSERT_TRUE(LoadContainer(doc, source));
        EXPECT_TRUE(ToStore(doc.bitmaps) == before.bitmaps)
            << "platform " << Describe(before.bitmaps) << "\nengine   "
            << Describe(ToStore(doc.bitmaps));

        // Save As to a new name: the copy is the old image with the store as
        // its resources; the old file does not change.
        Bytes original = Slurp(source);
        std::wstring copy = dir + L"saved-" + f.file;
        DeleteFileW(copy.c_str());
        Store store = ToStore(doc.bitmaps);
        if (store.count(0)) {
            // ID 0 cannot be saved; renumber it as a user would.
            ASSERT_TRUE(MoveBitmapId(doc, 0, 60000, false));
            store = ToStore(doc.bitmaps);
        }
        ASSERT_TRUE(SaveContainer(doc, copy));
        EXPECT_EQ(doc.path, copy);
        EXPECT_TRUE(Slurp(source) == original) << "Save As changed the current file";
        ExpectPlatformListsExactly(copy, store);
        EXPECT_FALSE(HasResource(copy, RT_GROUP_ICON, MAKEINTRESOURCEW(1)));
        EXPECT_FALSE(HasResource(copy, RT_VERSION, MAKEINTRESOURCEW(1)));
        EXPECT_FALSE(HasResource(copy, RT_BITMAP, L"NAMED"));
    }
}

TEST(ContainerOracle, CheckSumAgreesWithImagehlp) {
    std::wstring dir = TempDir(L"orvix-oracle-checksum");
    std::vector<std::wstring> files;
    // The linker sets a checksum in its DLLs; the blank image has none, so
    // give one a nonzero value to ask for a recomputation.
    for (const Fixture& f : kFixtures)
        files.push_back(ExeDir() + f.file);
    std::wstring blank = dir + L"blank.obk";
    ASSERT_TRUE(WriteBlankContainer(blank, true));
    Bytes b = Slurp(blank);
    b[0x98 + pe::kOptCheckSum] = 1;
    ASSERT_TRUE(Spit(blank, b));
    files.push_back(blank);

    for (const std::wstring& file : files) {
        SCOPED_TRACE(Narrow(file));
        ContainerDoc doc;
        ASSERT_TRUE(LoadContainer(doc, file));
        doc.bitmaps.erase(0);
        doc.bitmaps[7] = Payload(333, 7);
        std::wstring out = dir + L"saved.dll";
        DeleteFileW(out.c_str());
        ASSERT_TRUE(SaveContainer(doc, out));
        DWORD inHeader = 0, computed = 0;
        ASSERT_EQ(MapFileAndCheckSumW(out.c_str(), &inHeader, &computed),
                  static_cast<DWORD>(CHECKSUM_SUCCESS));
        EXPECT_NE(inHeader, 0u);
        EXPECT_EQ(inHeader, computed) << "header checksum differs from imagehlp's";
    }
}

TEST(ContainerOracle, CertificateTableFollowsTheLastSection) {
    // A DLL with a certificate table appended, as signing tools place it.
    Bytes image = Slurp(ExeDir() + L"fixture_mixed.dll");
    ASSERT_FALSE(image.empty());
    while (image.size() % 8)
        image.push_back(0);
    const std::uint32_t certOffset = static_cast<std::uint32_t>(image.size());
    Bytes cert(8 + 40);
    PutU32(cert.data(), static_cast<std::uint32_t>(cert.size()));
    PutU16(cert.data() + 4, 0x0200);  // WIN_CERT_REVISION_2_0
    PutU16(cert.data() + 6, 0x0002);  // WIN_CERT_TYPE_PKCS_SIGNED_DATA
    for (std::size_t i = 8; i < cert.size(); ++i)
        cert[i] = static_cast<std::uint8_t>(i * 3);
    image.insert(image.end(), cert.begin(), cert.end());
    pe::ImageHeaders headers;
    ASSERT_TRUE(pe::ParseImageHeaders(image, headers));
    std::uint8_t* security =
        image.data() + headers.DirectoriesOffset() + 8 * pe::kDirectorySecurity;
    PutU32(security, certOffset);
    PutU32(security + 4, static_cast<std::uint32_t>(cert.size()));

    std::wstring dir = TempDir(L"orvix-oracle-cert");
    std::wstring path = dir + L"signed.dll";
    ASSERT_TRUE(Spit(path, image));

    auto certificates = [](const std::wstring& file, std::vector<Bytes>& out) {
        HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        DWORD count = 0;
        bool ok = ImageEnumerateCertificates(h, CERT_SECTION_TYPE_ANY, &count, nullptr, 0);
        for (DWORD i = 0; ok && i < count; ++i) {
            DWORD length = 0;
            ImageGetCertificateData(h, i, nullptr, &length);
            Bytes data(length);
            ok = ImageGetCertificateData(h, i, reinterpret_cast<LPWIN_CERTIFICATE>(data.data()),
                                         &length);
            out.push_back(data);
        }
        CloseHandle(h);
        return ok;
    };
    std::vector<Bytes> before, after;
    ASSERT_TRUE(certificates(path, before));
    ASSERT_EQ(before.size(), 1u);

    ContainerDoc doc;
    ASSERT_TRUE(LoadContainer(doc, path));
    doc.bitmaps.erase(0);
    doc.bitmaps[9] = Payload(5000, 9);  // the resource section grows
    ASSERT_TRUE(SaveContainer(doc, path));
    ASSERT_TRUE(certificates(path, after));
    EXPECT_TRUE(after == before) << "the certificate table did not follow the section";
    ExpectPlatformListsExactly(path, ToStore(doc.bitmaps));
}

namespace {

std::vector<std::wstring> DllsIn(const std::wstring& folder) {
    std::vector<std::wstring> out;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"*.dll").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return out;
    do {
        out.push_back(folder + fd.cFileName);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return out;
}

}  // namespace

TEST(ContainerOracle, WineDllsLoadAsThePlatformReportsAndMapAfterSaveAs) {
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring folders[] = {
        std::wstring(system) + L"\\",
        L"Z:\\usr\\lib\\x86_64-linux-gnu\\wine\\x86_64-windows\\",
    };
    std::wstring dir = TempDir(L"orvix-oracle-wine");
    int withBitmaps = 0, checked = 0;
    for (const std::wstring& folder : folders) {
        std::vector<std::wstring> dlls = DllsIn(folder);
        if (dlls.empty()) {
            std::printf("no DLLs under %s; skipped\n", Narrow(folder).c_str());
            continue;
        }
        for (const std::wstring& dll : dlls) {
            PlatformView view = AskPlatform(dll, LOAD_LIBRARY_AS_DATAFILE);
            ContainerDoc doc;
            bool loaded = LoadContainer(doc, dll);
            ++checked;
            if (!view.mapped) {
                EXPECT_FALSE(loaded && !doc.bitmaps.empty()) << Narrow(dll);
                continue;
            }
            SCOPED_TRACE(Narrow(dll));
            EXPECT_TRUE(loaded) << "the platform maps it";
            EXPECT_TRUE(ToStore(doc.bitmaps) == view.bitmaps)
                << "platform " << Describe(view.bitmaps) << "\nengine   "
                << Describe(ToStore(doc.bitmaps));
            if (view.bitmaps.empty()) continue;
            ++withBitmaps;

            std::wstring copy = dir + L"copy.dll";
            DeleteFileW(copy.c_str());
            doc.bitmaps.erase(0);
            if (!SaveContainer(doc, copy)) {
                ADD_FAILURE() << "Save As failed";
                continue;
            }
            ExpectPlatformListsExactly(copy, ToStore(doc.bitmaps));
        }
    }
    std::printf("%d DLLs checked, %d hold bitmaps\n", checked, withBitmaps);
    if (withBitmaps == 0) GTEST_SKIP() << "no Wine DLL with bitmaps found";
}

TEST(ContainerOracle, LanguageChoiceFollowsTheThreadLocale) {
    const std::wstring dll = ExeDir() + L"fixture_mixed.dll";
    const LCID original = GetThreadLocale();
    const LANGID languages[] = {0x0409, 0x0407, 0x040C, 0x0809, 0x0C07};
    for (LANGID lang : languages) {
        SetThreadLocale(MAKELCID(lang, SORT_DEFAULT));
        PlatformView view = AskPlatform(dll, LOAD_LIBRARY_AS_DATAFILE);
        ContainerDoc doc;
        ASSERT_TRUE(LoadContainer(doc, dll));
        EXPECT_TRUE(ToStore(doc.bitmaps) == view.bitmaps)
            << "thread locale " << std::hex << lang << "\nplatform " << Describe(view.bitmaps)
            << "\nengine   " << Describe(ToStore(doc.bitmaps));
    }
    SetThreadLocale(original);
}

namespace {

// The RT_BITMAP name table of fixture_mixed.dll, found through the headers.
struct NameTable {
    Bytes image;
    std::size_t root = 0;
    std::size_t table = 0;
    std::uint16_t named = 0;
    std::uint16_t ids = 0;

    std::size_t Entry(int i) const { return table + 16 + 8 * static_cast<std::size_t>(i); }
    std::uint32_t U32(std::size_t at) const { return LoadU32(&image.at(at)); }
    std::size_t Target(std::size_t entry) const { return root + (U32(entry + 4) & 0x7FFFFFFF); }
    // The data entry of the first language of name entry i.
    std::size_t DataEntry(int i) const { return Target(Target(Entry(i)) + 16); }
};

bool FindNameTable(NameTable& t) {
    t.image = Slurp(ExeDir() + L"fixture_mixed.dll");
    pe::ImageHeaders h;
    std::uint64_t root = 0;
    if (!pe::ParseImageHeaders(t.image, h) ||
        !pe::RvaToFileOffset(h, h.directories[2].address, true, root)) {
        return false;
    }
    t.root = static_cast<std::size_t>(root);
    const std::size_t types = LoadU16(&t.image.at(t.root + 12)) + LoadU16(&t.image.at(t.root + 14));
    for (std::size_t i = 0; i < types; ++i) {
        const std::size_t e = t.root + 16 + 8 * i;
        if (t.U32(e) == 2) t.table = t.Target(e);
    }
    if (!t.table) return false;
    t.named = LoadU16(&t.image.at(t.table + 12));
    t.ids = LoadU16(&t.image.at(t.table + 14));
    return t.ids >= 6;
}

}  // namespace

TEST(ContainerOracle, DamagedTablesReadAsThePlatformReadsThem) {
    // Each change is one the loader survives; the engine must then list what
    // the loader lists.
    NameTable base;
    ASSERT_TRUE(FindNameTable(base));
    const int first = base.named;  // the first numeric entry
    struct Change {
        const char* what;
        std::function<void(NameTable&)> apply;
    };
    auto put32 = [](Bytes& b, std::size_t at, std::uint32_t v) { PutU32(b.data() + at, v); };
    const Change changes[] = {
        {"two numeric entries swapped (unsorted)",
         [&](NameTable& t) {
             for (int k = 0; k < 8; ++k)
                 std::swap(t.image[t.Entry(first + 1) + k], t.image[t.Entry(first + 4) + k]);
         }},
        {"an ID listed twice",
         [&](NameTable& t) { put32(t.image, t.Entry(first + 2), t.U32(t.Entry(first + 3))); }},
        {"fewer numeric entries counted",
         [&](NameTable& t) { PutU16(t.image.data() + t.table + 14, 3); }},
        {"a zero-size bitmap",
         [&](NameTable& t) { put32(t.image, t.DataEntry(first + 1) + 4, 0); }},
        {"data RVA in no section",
         [&](NameTable& t) { put32(t.image, t.DataEntry(first + 1), 0x7FFF0000); }},
        {"data RVA in the headers",
         [&](NameTable& t) { put32(t.image, t.DataEntry(first + 2), 0x40); }},
        {"name entry points at data",
         [&](NameTable& t) {
             put32(t.image, t.Entry(first + 2) + 4, t.U32(t.Entry(first + 2) + 4) & 0x7FFFFFFF);
         }},
        {"language entry points at a table",
         [&](NameTable& t) {
             const std::size_t lang = t.Target(t.Entry(first + 1));
             put32(t.image, lang + 20, t.U32(t.Entry(first + 1) + 4));
         }},
    };
    std::wstring dir = TempDir(L"orvix-oracle-damaged");
    const Store undamaged =
        AskPlatform(ExeDir() + L"fixture_mixed.dll", LOAD_LIBRARY_AS_DATAFILE).bitmaps;
    for (const Change& c : changes) {
        NameTable t = base;
        c.apply(t);
        std::wstring path = dir + L"damaged.dll";
        ASSERT_TRUE(Spit(path, t.image));
        PlatformView view = AskPlatform(path, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_TRUE(view.mapped) << c.what;
        EXPECT_FALSE(view.bitmaps == undamaged) << c.what << ": the loader did not notice";
        ContainerDoc doc;
        ASSERT_TRUE(LoadContainer(doc, path)) << c.what;
        EXPECT_TRUE(ToStore(doc.bitmaps) == view.bitmaps)
            << c.what << "\nplatform " << Describe(view.bitmaps) << "\nengine   "
            << Describe(ToStore(doc.bitmaps));
    }
}
