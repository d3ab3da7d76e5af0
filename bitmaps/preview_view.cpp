#include "bitmaps/preview_view.h"

#include <algorithm>

#include "bitmaps/dib_layout.h"

namespace {

constexpr int kLastStep = static_cast<int>(kZoomSteps.size()) - 1;

// Rounded to the nearest pixel; a bitmap never vanishes below one.
std::int64_t Scaled(std::int64_t length, std::int64_t numerator, std::int64_t denominator) {
    return std::max<std::int64_t>(1, (length * numerator + denominator / 2) / denominator);
}

std::wstring Widened(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

}  // namespace

int ZoomInStep(int step, std::int64_t width, std::int64_t height) {
    const int next = std::clamp(step + 1, 0, kLastStep);
    const ZoomStep zoom = kZoomSteps[static_cast<std::size_t>(next)];
    const std::int64_t longest = Scaled(std::max(width, height), zoom.numerator, zoom.denominator);
    return longest > kMaxDrawnSide ? step : next;
}

int ZoomOutStep(int step) {
    return std::clamp(step - 1, 0, kLastStep);
}

DrawnSize PreviewDrawnSize(std::int64_t width, std::int64_t height, int paneWidth, int paneHeight,
                           int step, bool fit) {
    if (width <= 0 || height <= 0) return {};
    if (fit) {
        if (width <= paneWidth && height <= paneHeight) return {width, height, false};
        if (paneWidth <= 0 || paneHeight <= 0) return {};
        // The side that meets its pane edge first decides the scale.
        if (width * paneHeight >= height * paneWidth)
            return {paneWidth, std::min<std::int64_t>(Scaled(height, paneWidth, width), paneHeight),
                    false};
        return {std::min<std::int64_t>(Scaled(width, paneHeight, height), paneWidth), paneHeight,
                false};
    }
    const ZoomStep zoom = kZoomSteps[static_cast<std::size_t>(std::clamp(step, 0, kLastStep))];
    DrawnSize drawn{Scaled(width, zoom.numerator, zoom.denominator),
                    Scaled(height, zoom.numerator, zoom.denominator), false};
    drawn.pans = step != kOneToOneStep && (drawn.width > paneWidth || drawn.height > paneHeight);
    return drawn;
}

std::wstring BitmapInfoTip(std::span<const std::uint8_t> payload) {
    const DibLayout layout = ReadDibLayout(payload);
    std::wstring tip;
    if (layout.kind != DibHeaderKind::Unknown) {
        const std::int64_t height = layout.height < 0 ? -layout.height : layout.height;
        tip = std::to_wstring(layout.width) + L" \u00D7 " + std::to_wstring(height) + L", " +
              std::to_wstring(layout.bitCount) + L"-bit, " + Widened(DibCompressionName(layout)) +
              L", ";
    }
    tip += std::to_wstring(payload.size()) + (payload.size() == 1 ? L" byte" : L" bytes");
    const std::string why = DibNotDrawnText(layout);
    if (!why.empty()) tip += L"\nNot previewed: " + Widened(why);
    return tip;
}
