// What the preview shows of a bitmap and what the list says about it on
// hover: the zoom steps, the size a bitmap is drawn at, the info tip. The
// window code asks these and draws; every number a user sees comes from here.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

struct ZoomStep {
    int numerator;
    int denominator;
};

// From a quarter to sixteen times, 1:1 in the middle.
inline constexpr std::array<ZoomStep, 13> kZoomSteps = {{{1, 4},
                                                         {1, 3},
                                                         {1, 2},
                                                         {2, 3},
                                                         {1, 1},
                                                         {3, 2},
                                                         {2, 1},
                                                         {3, 1},
                                                         {4, 1},
                                                         {6, 1},
                                                         {8, 1},
                                                         {12, 1},
                                                         {16, 1}}};
inline constexpr int kOneToOneStep = 4;

// The longest side the pane draws: well inside what the platform's
// coordinates and scroll bars hold.
inline constexpr std::int64_t kMaxDrawnSide = std::int64_t{1} << 26;

// The next step up, staying at the end of the table or where a width x height
// bitmap would be drawn longer than kMaxDrawnSide; the next step down.
int ZoomInStep(int step, std::int64_t width, std::int64_t height);
int ZoomOutStep(int step);

struct DrawnSize {
    std::int64_t width = 0;
    std::int64_t height = 0;
    // Larger than the pane at a chosen zoom: the pane offers scroll bars.
    // At 1:1 a larger bitmap keeps its old look, drawn from the near edge and
    // cut off, so that the pane never gives up room to bars by default.
    bool pans = false;
};

// The size a width x height bitmap is drawn at in a pane of paneWidth x
// paneHeight at a zoom step; fit shrinks a bitmap larger than the pane to
// fit it whole, keeping its aspect, and leaves a smaller one at 1:1.
DrawnSize PreviewDrawnSize(std::int64_t width, std::int64_t height, int paneWidth, int paneHeight,
                           int step, bool fit);

// "W × H, N-bit, compression, B bytes", and for a bitmap the platform does
// not draw a second line saying why.
std::wstring BitmapInfoTip(std::span<const std::uint8_t> payload);
