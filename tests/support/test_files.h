// Scratch folders, whole-file reads and writes, and little-endian fields for
// every test program, native and under Wine. The byte helpers are written
// here rather than taken from the code under test, so that the two cannot
// share a mistake.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace orvix_test {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// A fresh folder named after the running test, removed afterwards.
struct ScratchFolder {
    fs::path dir;
    ScratchFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "orvix-";
        name += info ? std::string(info->test_suite_name()) + "-" + info->name() : "scratch";
        dir = fs::temp_directory_path() / name;
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~ScratchFolder() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    fs::path operator/(const fs::path& name) const { return dir / name; }
    std::size_t EntryCount() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {}));
    }
};

inline Bytes ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const fs::path& p, const Bytes& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write test file " + p.string());
}

// The wide path of name in folder whatever the process locale: on POSIX the
// library converts non-ASCII wide names only under a UTF-8 locale.
inline std::wstring WidePathOf(const fs::path& folder, const std::u32string& name) {
#ifdef _WIN32
    return (folder / fs::path(name)).wstring();
#else
    return folder.wstring() + L"/" + std::wstring(name.begin(), name.end());
#endif
}

// Little-endian fields at byte offsets; a field past the end is a broken test
// and throws rather than touch memory it does not own.
namespace le {
inline std::size_t At(std::span<const std::uint8_t> b, std::size_t at, std::size_t width) {
    if (at > b.size() || width > b.size() - at)
        throw std::out_of_range("field past the end of test bytes");
    return at;
}
inline std::uint64_t Get(std::span<const std::uint8_t> b, std::size_t at, std::size_t width) {
    std::uint64_t v = 0;
    for (std::size_t i = At(b, at, width) + width; i-- > at;)
        v = (v << 8) | b[i];
    return v;
}
inline void Put(Bytes& b, std::size_t at, std::size_t width, std::uint64_t v) {
    for (std::size_t i = At(b, at, width); i < at + width; ++i, v >>= 8)
        b[i] = static_cast<std::uint8_t>(v);
}
inline std::uint16_t Get16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(Get(b, at, 2));
}
inline std::uint32_t Get32(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(Get(b, at, 4));
}
inline void Put16(Bytes& b, std::size_t at, std::uint16_t v) {
    Put(b, at, 2, v);
}
inline void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
    Put(b, at, 4, v);
}
}  // namespace le

}  // namespace orvix_test
