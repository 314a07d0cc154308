#include "simulator/photo_decoder/portrait_painter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "imaging/photo/photo_decoder_api.h"

using namespace vorn;

namespace vorn::sim {

namespace {

// Every pixel is sampled on a 4 x 4 grid: edges inside the figure are smoothed, while the
// outline against the background stays hard (see PaintPortrait).
constexpr int kSamplesPerAxis = 4;
constexpr int kSamplesPerPixel = kSamplesPerAxis * kSamplesPerAxis;

constexpr Rgb kBackground{255, 255, 255};
constexpr Rgb kEyeWhite{242, 240, 236};
constexpr Rgb kIris{58, 42, 34};
constexpr Rgb kLips{178, 86, 84};
constexpr Rgb kFrame{34, 34, 38};

Rgb Shade(const Rgb& colour, double factor) {
    auto channel = [factor](std::uint8_t value) {
        return static_cast<std::uint8_t>(std::clamp(value * factor, 0.0, 254.0));
    };
    return Rgb{channel(colour.red), channel(colour.green), channel(colour.blue)};
}

// Keeps a colour of the figure off pure white, which is reserved for the background.
Rgb OffWhite(const Rgb& colour) {
    if (colour == kBackground) {
        return Rgb{250, 250, 250};
    }
    return colour;
}

double Square(double value) {
    return value * value;
}

bool InEllipse(double x, double y, double cx, double cy, double rx, double ry) {
    return Square((x - cx) / rx) + Square((y - cy) / ry) <= 1.0;
}

bool InRing(double x, double y, double cx, double cy, double rx, double ry, double width) {
    return InEllipse(x, y, cx, cy, rx, ry) && !InEllipse(x, y, cx, cy, rx - width, ry - width);
}

// The figure, centred on the picture: what colour (if any) covers one sample point. Later
// parts are painted over earlier ones, so the checks run from the front to the back.
class Figure {
public:
    explicit Figure(const PortraitParameters& p)
        : p_(p),
          skin_(OffWhite(p.skin)),
          skin_shadow_(Shade(skin_, 0.86)),
          hair_(OffWhite(p.hair)),
          brow_(Shade(hair_, 0.8)),
          clothing_(OffWhite(p.clothing)) {
        constexpr double kPi = 3.14159265358979323846;
        for (int i = 0; i < kCurls; ++i) {
            const double angle = kPi + kPi * (i + 0.5) / kCurls;
            curls_[i] = {kHeadX + (kHeadRx + 1.5) * std::cos(angle),
                         kHeadY - 4.0 + (kHeadRy + 1.0) * std::sin(angle)};
        }
    }

    // Returns false where the sample shows the background.
    bool ColourAt(double x, double y, Rgb* colour) const {
        if (p_.glasses && InGlasses(x, y)) {
            *colour = kFrame;
            return true;
        }
        if (InFace(x, y, colour)) {
            return true;
        }
        if (InFrontHair(x, y)) {
            *colour = hair_;
            return true;
        }
        if (InEllipse(x, y, kHeadX, kHeadY, kHeadRx, kHeadRy)) {
            *colour = skin_;
            return true;
        }
        if (InEllipse(x, y, kHeadX - kHeadRx, kEarY, 4.2, 7.0) ||
            InEllipse(x, y, kHeadX + kHeadRx, kEarY, 4.2, 7.0)) {
            *colour = skin_shadow_;
            return true;
        }
        if (p_.hair_style == HairStyle::kLong && InLongHair(x, y)) {
            *colour = hair_;
            return true;
        }
        if (InNeckline(x, y)) {
            *colour = skin_shadow_;
            return true;
        }
        if (InEllipse(x, y, kHeadX, 142.0, 52.0, 45.0)) {
            *colour = clothing_;
            return true;
        }
        if (x > kHeadX - 9.5 && x < kHeadX + 9.5 && y > 74.0 && y < 102.0) {
            *colour = skin_shadow_;
            return true;
        }
        return false;
    }

private:
    static constexpr double kHeadX = kPhotoWidth / 2.0;
    static constexpr double kHeadY = 57.0;
    static constexpr double kHeadRx = 21.5;
    static constexpr double kHeadRy = 27.5;
    static constexpr double kEyeY = 57.0;
    static constexpr double kEyeOffset = 9.0;
    static constexpr double kEarY = 59.0;
    static constexpr int kCurls = 9;

    bool InFace(double x, double y, Rgb* colour) const {
        for (double side : {-1.0, 1.0}) {
            const double eye_x = kHeadX + side * kEyeOffset;
            if (InEllipse(x, y, eye_x, kEyeY, 1.9, 1.9)) {
                *colour = kIris;
                return true;
            }
            if (InEllipse(x, y, eye_x, kEyeY, 4.2, 2.3)) {
                *colour = kEyeWhite;
                return true;
            }
            if (InEllipse(x, y, eye_x, kEyeY - 6.0, 5.2, 1.3)) {
                *colour = brow_;
                return true;
            }
        }
        if (InEllipse(x, y, kHeadX, 76.0, 6.5, 2.0)) {
            *colour = kLips;
            return true;
        }
        if (InEllipse(x, y, kHeadX, 67.0, 2.4, 3.6) && !InEllipse(x, y, kHeadX, 65.6, 1.4, 3.0)) {
            *colour = skin_shadow_;
            return true;
        }
        return false;
    }

    bool InGlasses(double x, double y) const {
        for (double side : {-1.0, 1.0}) {
            if (InRing(x, y, kHeadX + side * kEyeOffset, kEyeY, 7.4, 5.6, 1.3)) {
                return true;
            }
        }
        return x > kHeadX - 2.4 && x < kHeadX + 2.4 && y > kEyeY - 1.6 && y < kEyeY - 0.4;
    }

    // The hair on top of the head: a cap whose hairline dips towards the temples.
    bool InCap(double x, double y) const {
        if (!InEllipse(x, y, kHeadX, kHeadY - 3.0, kHeadRx + 2.8, kHeadRy + 3.0)) {
            return false;
        }
        const double hairline = 41.0 + 12.0 * Square((x - kHeadX) / kHeadRx);
        return y < hairline;
    }

    bool InFrontHair(double x, double y) const {
        switch (p_.hair_style) {
            case HairStyle::kShort:
            case HairStyle::kLong:
                return InCap(x, y);
            case HairStyle::kBun:
                return InCap(x, y) || InEllipse(x, y, kHeadX, 24.0, 10.0, 8.5);
            case HairStyle::kBald:
                // A fringe above the ears only.
                return std::abs(x - kHeadX) > kHeadRx - 2.5 && y > 47.0 && y < 57.0 &&
                       InEllipse(x, y, kHeadX, kHeadY, kHeadRx + 1.2, kHeadRy + 0.5);
            case HairStyle::kCurly:
                return InCap(x, y) || InCurls(x, y);
        }
        return false;
    }

    // Curls: small circles along the upper half of the head's outline.
    bool InCurls(double x, double y) const {
        for (const auto& [cx, cy] : curls_) {
            if (InEllipse(x, y, cx, cy, 6.2, 6.2)) {
                return true;
            }
        }
        return false;
    }

    // Long hair falls behind the head down to the shoulders.
    bool InLongHair(double x, double y) const {
        if (!InEllipse(x, y, kHeadX, 60.0, kHeadRx + 8.0, 44.0) || y < 40.0 || y > 100.0) {
            return false;
        }
        // Below the chin the hair lies on the shoulders, not under the face.
        return y < 80.0 || std::abs(x - kHeadX) > 9.5;
    }

    bool InNeckline(double x, double y) const {
        return y >= 96.0 && y <= 110.0 && std::abs(x - kHeadX) <= (110.0 - y) * 0.6;
    }

    const PortraitParameters& p_;
    Rgb skin_;
    Rgb skin_shadow_;
    Rgb hair_;
    Rgb brow_;
    Rgb clothing_;
    std::array<std::pair<double, double>, kCurls> curls_{};
};

// One sample of the figure: its colour, or the background.
struct Sample {
    bool figure = false;
    Rgb colour;
    bool operator==(const Sample&) const = default;
};

}  // namespace

RgbPicture PaintPortrait(const PortraitParameters& portrait) {
    const Figure figure(portrait);
    RgbPicture picture;
    picture.width = kPhotoWidth;
    picture.height = kPhotoHeight;
    picture.pixels.assign(static_cast<std::size_t>(kPhotoWidth) * kPhotoHeight * 3, 255);
    // The figure is sampled at every pixel corner first; a pixel whose four corners agree
    // lies inside one part of the figure (or the background) and takes that colour, and only
    // the pixels on an edge are sampled finely. The parts are far larger than a pixel.
    const int columns = kPhotoWidth + 1;
    std::vector<Sample> corners(static_cast<std::size_t>(columns) * (kPhotoHeight + 1));
    for (int y = 0; y <= kPhotoHeight; ++y) {
        for (int x = 0; x < columns; ++x) {
            Sample& corner = corners[static_cast<std::size_t>(y) * columns + x];
            corner.figure = figure.ColourAt(x, y, &corner.colour);
        }
    }
    for (int row = 0; row < kPhotoHeight; ++row) {
        for (int column = 0; column < kPhotoWidth; ++column) {
            const Sample& top_left = corners[static_cast<std::size_t>(row) * columns + column];
            const bool uniform =
                top_left == corners[static_cast<std::size_t>(row) * columns + column + 1] &&
                top_left == corners[static_cast<std::size_t>(row + 1) * columns + column] &&
                top_left == corners[static_cast<std::size_t>(row + 1) * columns + column + 1];
            int covered = 0;
            std::array<int, 3> sum{};
            if (uniform) {
                if (!top_left.figure) {
                    continue;
                }
                covered = 1;
                sum = {top_left.colour.red, top_left.colour.green, top_left.colour.blue};
            } else {
                for (int sy = 0; sy < kSamplesPerAxis; ++sy) {
                    for (int sx = 0; sx < kSamplesPerAxis; ++sx) {
                        const double x = column + (sx + 0.5) / kSamplesPerAxis;
                        const double y = row + (sy + 0.5) / kSamplesPerAxis;
                        Rgb colour;
                        if (figure.ColourAt(x, y, &colour)) {
                            ++covered;
                            sum[0] += colour.red;
                            sum[1] += colour.green;
                            sum[2] += colour.blue;
                        }
                    }
                }
                // A pixel mostly outside the figure is background, pure white; a pixel mostly
                // inside takes the average of the figure's samples only. So no pale fringe
                // of near-white is left around the figure when the background is keyed out.
                if (covered * 2 <= kSamplesPerPixel) {
                    continue;
                }
            }
            std::uint8_t* pixel =
                &picture.pixels[(static_cast<std::size_t>(row) * kPhotoWidth + column) * 3];
            for (int channel = 0; channel < 3; ++channel) {
                pixel[channel] = static_cast<std::uint8_t>(
                    std::min((sum[channel] + covered / 2) / covered, 254));
            }
        }
    }
    return picture;
}

}  // namespace vorn::sim
