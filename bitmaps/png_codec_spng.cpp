// PNG through Debian's libspng.
#include <spng.h>

#include <cstdlib>
#include <memory>

#include "bitmaps/png_codec.h"

namespace {

struct ContextDeleter {
    void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};
using Context = std::unique_ptr<spng_ctx, ContextDeleter>;

bool Fail(std::string& problem, int error) {
    problem = std::string("not a sound PNG image (") + spng_strerror(error) + ")";
    return false;
}

}  // namespace

bool DecodePngSamples(std::span<const std::uint8_t> png, PngSamples& out, std::string& problem) {
    Context ctx(spng_ctx_new(0));
    if (!ctx) return Fail(problem, SPNG_EMEM);
    // A damaged chunk of any kind refuses the file: half a picture is no picture.
    spng_set_crc_action(ctx.get(), SPNG_CRC_ERROR, SPNG_CRC_ERROR);
    spng_set_image_limits(ctx.get(), kMaxPngSide, kMaxPngSide);
    if (int e = spng_set_png_buffer(ctx.get(), png.data(), png.size())) return Fail(problem, e);
    spng_ihdr ihdr{};
    if (int e = spng_get_ihdr(ctx.get(), &ihdr)) return Fail(problem, e);
    out.width = ihdr.width;
    out.height = ihdr.height;
    out.sixteenBit = ihdr.bit_depth == 16;
    const int format = out.sixteenBit ? SPNG_FMT_RGBA16 : SPNG_FMT_RGBA8;
    std::size_t size = 0;
    if (int e = spng_decoded_image_size(ctx.get(), format, &size)) return Fail(problem, e);
    void* target = nullptr;
    if (out.sixteenBit) {
        out.rgba16.resize(size / 2);
        target = out.rgba16.data();
    } else {
        out.rgba8.resize(size);
        target = out.rgba8.data();
    }
    // Transparency applied, no gamma or colour profile: pixels as stored.
    if (int e = spng_decode_image(ctx.get(), target, size, format, SPNG_DECODE_TRNS)) {
        return Fail(problem, e);
    }
    return true;
}

bool EncodePng(const RgbaImage& image, bool alpha, std::vector<std::uint8_t>& png) {
    Context ctx(spng_ctx_new(SPNG_CTX_ENCODER));
    if (!ctx) return false;
    spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr ihdr{};
    ihdr.width = image.width;
    ihdr.height = image.height;
    ihdr.bit_depth = 8;
    ihdr.color_type = alpha ? SPNG_COLOR_TYPE_TRUECOLOR_ALPHA : SPNG_COLOR_TYPE_TRUECOLOR;
    if (spng_set_ihdr(ctx.get(), &ihdr) != 0) return false;
    std::vector<std::uint8_t> rgb;
    const std::vector<std::uint8_t>* pixels = &image.rgba;
    if (!alpha) {
        rgb.reserve(image.rgba.size() / 4 * 3);
        for (std::size_t i = 0; i < image.rgba.size(); i += 4)
            rgb.insert(rgb.end(), image.rgba.begin() + static_cast<std::ptrdiff_t>(i),
                       image.rgba.begin() + static_cast<std::ptrdiff_t>(i + 3));
        pixels = &rgb;
    }
    if (spng_encode_image(ctx.get(), pixels->data(), pixels->size(), SPNG_FMT_PNG,
                          SPNG_ENCODE_FINALIZE) != 0) {
        return false;
    }
    std::size_t length = 0;
    int error = 0;
    std::unique_ptr<std::uint8_t, decltype(&std::free)> buffer(
        static_cast<std::uint8_t*>(spng_get_png_buffer(ctx.get(), &length, &error)), &std::free);
    if (!buffer || error != 0) return false;
    png.assign(buffer.get(), buffer.get() + length);
    return true;
}
