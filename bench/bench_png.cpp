// PNG in and out through obktool as whole processes: new from a folder of
// count 256 x 256 RGBA PNG files (default 1,000), then extract --format png
// of the result, each as a time per image, beside ImageMagick's convert
// turning the same files into .bmp files one process each (where it is
// installed): the way a user converted them by hand before. Nothing is
// asserted.
//
// Usage: orvix_bench_png [count] [folder [obktool]]
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_common.h"
#include "bitmaps/png_codec.h"
#include "fileio/atomic_file.h"

namespace fs = std::filesystem;
using namespace bench;

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    const fs::path root =
        (argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path()) / "orvix-bench-png";
    const std::string obktool = argc > 3 ? argv[3] : OBKTOOL;
    fs::remove_all(root);
    fs::create_directories(root / "png");
    for (int i = 1; i <= count; ++i) {
        RgbaImage image{256, 256, std::vector<std::uint8_t>(256 * 256 * 4)};
        for (std::size_t p = 0; p < image.rgba.size(); ++p)
            image.rgba[p] = static_cast<std::uint8_t>((p % 4 == 3) ? (p / 1024 + i) % 256
                                                                   : (p * 7 + i * 13) % 251);
        std::vector<std::uint8_t> png;
        char name[16];
        std::snprintf(name, sizeof name, "%05d.png", i);
        if (!EncodePng(image, true, png) ||
            !WriteFileAtomically((root / "png" / name).wstring(), png, Flush::AsCopy)) {
            std::printf("cannot write the PNG files\n");
            return 1;
        }
    }
    const auto quoted = [](const fs::path& p) { return "'" + p.string() + "'"; };
    const double made = TimeCommand("'" + obktool + "' new -q --force " + quoted(root / "c.obk") +
                                    " --from " + quoted(root / "png"));
    const double out = TimeCommand("'" + obktool + "' extract -q --format png " +
                                   quoted(root / "c.obk") + " -o " + quoted(root / "out"));
    std::printf("%d PNG files of 256 x 256 RGBA\n", count);
    std::printf("  %-44s %8.2f ms an image\n", "obktool new --from (PNG to DIB)",
                made * 1e3 / count);
    std::printf("  %-44s %8.2f ms an image\n", "obktool extract --format png", out * 1e3 / count);
    if (std::system("command -v convert >/dev/null 2>&1") == 0) {
        fs::create_directories(root / "magick");
        const double magick = TimeCommand("for f in " + quoted(root / "png") +
                                          "/*.png; do convert \"$f\" " + quoted(root / "magick") +
                                          "/\"$(basename \"$f\" .png)\".bmp || exit 1; done");
        std::printf("  %-44s %8.2f ms an image\n", "ImageMagick convert, one file each",
                    magick * 1e3 / count);
        std::printf("  ratio, obktool new to ImageMagick: %.3f; extract to ImageMagick: %.3f\n",
                    made / magick, out / magick);
    }
    fs::remove_all(root);
    return 0;
}
