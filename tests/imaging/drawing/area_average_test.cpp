// The area-averaging reduction that makes the reply's faces: its output must stay what the
// straightforward loop below gives, byte for byte, since every face picture depends on it.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "imaging/drawing/area_average_posix.h"

using namespace vorn;

namespace {

// The reduction written plainly: every output pixel weighs the source pixels it covers,
// across and then down, with the same fixed-point steps as the program.
std::vector<std::uint32_t> PlainReduction(const std::vector<std::uint32_t>& source, int width,
                                          int height, int output_width, int output_height) {
    constexpr int kShift = 14;
    constexpr std::uint32_t kOne = 1u << kShift;
    constexpr int kDrop = 6;
    struct Span {
        int first = 0;
        std::vector<std::uint32_t> weights;
    };
    const auto spans = [](int from, int to) {
        std::vector<Span> result(to);
        const double scale = static_cast<double>(from) / to;
        for (int i = 0; i < to; ++i) {
            const double begin = i * scale;
            const double end = (i + 1) * scale;
            result[i].first = static_cast<int>(begin);
            std::uint32_t total = 0;
            for (int s = result[i].first; s < from && s < end; ++s) {
                const double covered = (s + 1 < end ? s + 1 : end) - (s > begin ? s : begin);
                result[i].weights.push_back(
                    static_cast<std::uint32_t>(covered / scale * kOne + 0.5));
                total += result[i].weights.back();
            }
            if (!result[i].weights.empty()) {
                result[i].weights.back() += kOne - total;
            }
        }
        return result;
    };
    const std::vector<Span> columns = spans(width, output_width);
    const std::vector<Span> rows = spans(height, output_height);
    std::vector<std::uint32_t> output(static_cast<std::size_t>(output_width) * output_height);
    for (int y = 0; y < output_height; ++y) {
        for (int x = 0; x < output_width; ++x) {
            std::uint32_t pixel = 0;
            for (int shift : {16, 8, 0}) {
                std::uint32_t sum = 0;
                for (std::size_t r = 0; r < rows[y].weights.size(); ++r) {
                    std::uint32_t across = 0;
                    for (std::size_t c = 0; c < columns[x].weights.size(); ++c) {
                        const std::uint32_t value =
                            source[(rows[y].first + r) * width + columns[x].first + c];
                        across += ((value >> shift) & 0xFF) * columns[x].weights[c];
                    }
                    sum += (across >> kDrop) * rows[y].weights[r];
                }
                const std::uint32_t value =
                    (sum + (1u << (2 * kShift - kDrop - 1))) >> (2 * kShift - kDrop);
                pixel = (pixel << 8) | (value > 255 ? 255 : value);
            }
            output[static_cast<std::size_t>(y) * output_width + x] = pixel;
        }
    }
    return output;
}

std::vector<std::uint32_t> Reduce(const std::vector<std::uint32_t>& source, int width, int height,
                                  int output_width, int output_height) {
    std::vector<std::uint32_t> output(static_cast<std::size_t>(output_width) * output_height,
                                      0xDEADBEEF);
    AreaAverage(reinterpret_cast<const unsigned char*>(source.data()), width, height, width * 4,
                reinterpret_cast<unsigned char*>(output.data()), output_width, output_height,
                output_width * 4);
    return output;
}

TEST(AreaAverage, GivesThePlainReductionForEveryScale) {
    std::mt19937 random(20261207);
    // The faces (856 x 540 to 405 x 255), halving, no reduction, odd ratios, one pixel,
    // ratios whose rounding leaves a weight below zero (54 to 26, 58 to 14; many rows, so
    // that a small error in that one column shows), and sources whose top byte is not zero,
    // as a canvas's padding byte may be.
    const struct {
        int width, height, output_width, output_height;
    } sizes[] = {{856, 540, 405, 255}, {856, 540, 856, 540}, {64, 48, 32, 24}, {37, 23, 11, 7},
                 {101, 3, 100, 2},     {9, 9, 1, 1},         {5, 200, 4, 13},  {54, 58, 26, 14},
                 {58, 54, 14, 26},     {54, 4000, 26, 4000}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(::testing::Message() << size.width << "x" << size.height << " to "
                                          << size.output_width << "x" << size.output_height);
        std::vector<std::uint32_t> source(static_cast<std::size_t>(size.width) * size.height);
        for (std::uint32_t& pixel : source) {
            pixel = random();
        }
        EXPECT_EQ(
            Reduce(source, size.width, size.height, size.output_width, size.output_height),
            PlainReduction(source, size.width, size.height, size.output_width, size.output_height));
    }
}

TEST(AreaAverage, FlatColourStaysThatColour) {
    // Rounding must neither brighten nor darken: white stays white, a grey stays that grey.
    for (const std::uint32_t colour : {0x00FFFFFFu, 0x00808080u, 0x00010203u, 0u}) {
        const std::vector<std::uint32_t> source(856 * 540, colour);
        for (const std::uint32_t pixel : Reduce(source, 856, 540, 405, 255)) {
            ASSERT_EQ(pixel, colour);
        }
    }
}

}  // namespace
