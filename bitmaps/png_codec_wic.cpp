// PNG through the Windows Imaging Component, the platform's own codec.
#include <windows.h>

#include <objbase.h>
#include <wincodec.h>

#include <cstring>

#include "bitmaps/png_codec.h"

namespace {

// A COM pointer released when it goes out of scope.
template <class T>
struct Com {
    T* p = nullptr;
    Com() = default;
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    ~Com() {
        if (p) p->Release();
    }
    T** operator&() { return &p; }
    T* operator->() const { return p; }
};

// COM for the length of one call; a caller that already set it up keeps its
// own apartment.
struct ComScope {
    bool owned = false;
    ComScope() { owned = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)); }
    ~ComScope() {
        if (owned) CoUninitialize();
    }
};

bool Factory(Com<IWICImagingFactory>& factory) {
    return SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_PPV_ARGS(&factory)));
}

bool Fail(std::string& problem, HRESULT hr) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
    problem = std::string("not a sound PNG image (the decoder said ") + code + ")";
    return false;
}

bool IsSixteenBit(const WICPixelFormatGUID& f) {
    return f == GUID_WICPixelFormat16bppGray || f == GUID_WICPixelFormat48bppRGB ||
           f == GUID_WICPixelFormat48bppBGR || f == GUID_WICPixelFormat64bppRGBA ||
           f == GUID_WICPixelFormat64bppBGRA;
}

// 16-bit samples are taken as the decoder gives them and widened to RGBA
// here: converters between the 16-bit formats are not everywhere, and
// rounding to 8 bits is the caller's, by one rule for every platform.
bool CopySixteenBit(IWICBitmapSource* frame, const WICPixelFormatGUID& f, UINT width, UINT height,
                    PngSamples& out, std::string& problem) {
    const bool grey = f == GUID_WICPixelFormat16bppGray;
    const bool alpha = f == GUID_WICPixelFormat64bppRGBA || f == GUID_WICPixelFormat64bppBGRA;
    const bool bgr = f == GUID_WICPixelFormat48bppBGR || f == GUID_WICPixelFormat64bppBGRA;
    const std::size_t channels = grey ? 1 : alpha ? 4 : 3;
    std::vector<std::uint16_t> samples(std::size_t{width} * height * channels);
    const auto stride = static_cast<UINT>(std::size_t{width} * channels * 2);
    const HRESULT hr = frame->CopyPixels(nullptr, stride, stride * height,
                                         reinterpret_cast<BYTE*>(samples.data()));
    if (FAILED(hr)) return Fail(problem, hr);
    out.rgba16.resize(std::size_t{width} * height * 4);
    for (std::size_t i = 0, o = 0; i < samples.size(); i += channels, o += 4) {
        const std::uint16_t r = samples[i + (grey ? 0 : bgr ? 2 : 0)];
        const std::uint16_t g = samples[i + (grey ? 0 : 1)];
        const std::uint16_t b = samples[i + (grey ? 0 : bgr ? 0 : 2)];
        out.rgba16[o] = r, out.rgba16[o + 1] = g, out.rgba16[o + 2] = b;
        out.rgba16[o + 3] = alpha ? samples[i + 3] : 0xFFFF;
    }
    return true;
}

}  // namespace

bool DecodePngSamples(std::span<const std::uint8_t> png, PngSamples& out, std::string& problem) {
    ComScope com;
    Com<IWICImagingFactory> factory;
    Com<IWICStream> stream;
    Com<IWICBitmapDecoder> decoder;
    Com<IWICBitmapFrameDecode> frame;
    Com<IWICFormatConverter> converter;
    if (!Factory(factory)) return Fail(problem, E_NOINTERFACE);
    HRESULT hr = factory->CreateStream(&stream);
    if (SUCCEEDED(hr)) {
        hr = stream->InitializeFromMemory(const_cast<BYTE*>(png.data()),
                                          static_cast<DWORD>(png.size()));
    }
    if (SUCCEEDED(hr)) hr = factory->CreateDecoder(GUID_ContainerFormatPng, nullptr, &decoder);
    if (SUCCEEDED(hr)) hr = decoder->Initialize(stream.p, WICDecodeMetadataCacheOnDemand);
    if (SUCCEEDED(hr)) hr = decoder->GetFrame(0, &frame);
    UINT width = 0, height = 0;
    WICPixelFormatGUID source{};
    if (SUCCEEDED(hr)) hr = frame->GetSize(&width, &height);
    if (SUCCEEDED(hr)) hr = frame->GetPixelFormat(&source);
    if (FAILED(hr)) return Fail(problem, hr);
    out.width = width;
    out.height = height;
    out.sixteenBit = IsSixteenBit(source);
    if (out.sixteenBit) return CopySixteenBit(frame.p, source, width, height, out, problem);
    // Straight 8-bit RGBA; the converter expands palettes, grey and keys.
    hr = factory->CreateFormatConverter(&converter);
    if (SUCCEEDED(hr)) {
        hr = converter->Initialize(frame.p, GUID_WICPixelFormat32bppRGBA, WICBitmapDitherTypeNone,
                                   nullptr, 0.0, WICBitmapPaletteTypeCustom);
    }
    const UINT stride = width * 4;
    out.rgba8.resize(std::size_t{stride} * height);
    if (SUCCEEDED(hr)) {
        hr = converter->CopyPixels(nullptr, stride, stride * height, out.rgba8.data());
    }
    if (FAILED(hr)) return Fail(problem, hr);
    return true;
}

bool EncodePng(const RgbaImage& image, bool alpha, std::vector<std::uint8_t>& png) {
    ComScope com;
    Com<IWICImagingFactory> factory;
    Com<IStream> memory;
    Com<IWICBitmapEncoder> encoder;
    Com<IWICBitmapFrameEncode> frame;
    Com<IPropertyBag2> options;
    if (!Factory(factory)) return false;
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &memory);
    if (SUCCEEDED(hr)) hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder);
    if (SUCCEEDED(hr)) hr = encoder->Initialize(memory.p, WICBitmapEncoderNoCache);
    if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(&frame, &options);
    if (SUCCEEDED(hr)) hr = frame->Initialize(options.p);
    if (SUCCEEDED(hr)) hr = frame->SetSize(image.width, image.height);
    WICPixelFormatGUID format = alpha ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat24bppBGR;
    if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&format);
    const bool bgra = format == GUID_WICPixelFormat32bppBGRA;
    if (FAILED(hr) || (!bgra && format != GUID_WICPixelFormat24bppBGR)) return false;
    // The encoder takes blue first; rows as they are, top-down.
    const std::size_t channels = bgra ? 4 : 3;
    const std::size_t stride = (std::size_t{image.width} * channels + 3) / 4 * 4;
    std::vector<std::uint8_t> rows(stride * image.height, 0);
    for (std::uint32_t y = 0; y < image.height; ++y) {
        const std::uint8_t* from = image.rgba.data() + std::size_t{y} * image.width * 4;
        std::uint8_t* to = rows.data() + stride * y;
        for (std::uint32_t x = 0; x < image.width; ++x, from += 4, to += channels) {
            to[0] = from[2], to[1] = from[1], to[2] = from[0];
            if (bgra) to[3] = from[3];
        }
    }
    hr = frame->WritePixels(image.height, static_cast<UINT>(stride), static_cast<UINT>(rows.size()),
                            rows.data());
    if (SUCCEEDED(hr)) hr = frame->Commit();
    if (SUCCEEDED(hr)) hr = encoder->Commit();
    HGLOBAL global = nullptr;
    if (SUCCEEDED(hr)) hr = GetHGlobalFromStream(memory.p, &global);
    STATSTG stat{};
    if (SUCCEEDED(hr)) hr = memory->Stat(&stat, STATFLAG_NONAME);
    if (FAILED(hr)) return false;
    const void* bytes = GlobalLock(global);
    if (!bytes) return false;
    const auto* first = static_cast<const std::uint8_t*>(bytes);
    png.assign(first, first + stat.cbSize.QuadPart);
    GlobalUnlock(global);
    return true;
}
