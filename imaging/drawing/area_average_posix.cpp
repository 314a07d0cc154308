#include "imaging/drawing/area_average_posix.h"

#include <algorithm>
#include <vector>

namespace {

// Weights are fixed-point: the weights of one output pixel add up to kOne.
constexpr int kShift = 14;
constexpr std::uint32_t kOne = 1u << kShift;

// The source pixels one output pixel covers along one axis, and their weights.
struct Span {
    int first = 0;
    std::vector<std::uint32_t> weights;
};

std::vector<Span> Spans(int source, int output) {
    std::vector<Span> spans(output);
    const double scale = static_cast<double>(source) / output;
    for (int i = 0; i < output; ++i) {
        const double begin = i * scale;
        const double end = (i + 1) * scale;
        Span& span = spans[i];
        span.first = static_cast<int>(begin);
        std::uint32_t total = 0;
        for (int s = span.first; s < source && s < end; ++s) {
            const double covered = (s + 1 < end ? s + 1 : end) - (s > begin ? s : begin);
            const auto weight = static_cast<std::uint32_t>(covered / scale * kOne + 0.5);
            span.weights.push_back(weight);
            total += weight;
        }
        // Rounding must not brighten or darken: the last weight takes up the difference.
        if (!span.weights.empty()) {
            span.weights.back() += kOne - total;
        }
    }
    return spans;
}

}  // namespace

void AreaAverage(const unsigned char* source, int source_width, int source_height,
                 int source_stride, unsigned char* output, int output_width, int output_height,
                 int output_stride) {
    const std::vector<Span> columns = Spans(source_width, output_width);
    const std::vector<Span> rows = Spans(source_height, output_height);
    // One output row at a time: each source row it covers is reduced across, then added in
    // with its weight. A row's sums keep kShift - kDrop bits of fraction, so that the second
    // weighting still fits in 32 bits.
    constexpr int kDrop = 6;
    constexpr int kFinalShift = 2 * kShift - kDrop;
    constexpr std::uint32_t kRound = 1u << (kFinalShift - 1);
    std::vector<std::uint32_t> sums(static_cast<std::size_t>(output_width) * 3);
    for (int y = 0; y < output_height; ++y) {
        const Span& row_span = rows[y];
        std::fill(sums.begin(), sums.end(), 0u);
        for (std::size_t r = 0; r < row_span.weights.size(); ++r) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(
                source + static_cast<std::size_t>(row_span.first + r) * source_stride);
            const std::uint32_t row_weight = row_span.weights[r];
            std::uint32_t* sum = sums.data();
            for (int x = 0; x < output_width; ++x, sum += 3) {
                const Span& span = columns[x];
                const std::uint32_t* pixel = row + span.first;
                std::uint32_t red = 0;
                std::uint32_t green = 0;
                std::uint32_t blue = 0;
                for (const std::uint32_t weight : span.weights) {
                    red += ((*pixel >> 16) & 0xFF) * weight;
                    green += ((*pixel >> 8) & 0xFF) * weight;
                    blue += (*pixel & 0xFF) * weight;
                    ++pixel;
                }
                sum[0] += (red >> kDrop) * row_weight;
                sum[1] += (green >> kDrop) * row_weight;
                sum[2] += (blue >> kDrop) * row_weight;
            }
        }
        auto* out =
            reinterpret_cast<std::uint32_t*>(output + static_cast<std::size_t>(y) * output_stride);
        const std::uint32_t* sum = sums.data();
        for (int x = 0; x < output_width; ++x, sum += 3) {
            std::uint32_t pixel = 0;
            for (int c = 0; c < 3; ++c) {
                const std::uint32_t value = (sum[c] + kRound) >> kFinalShift;
                pixel = (pixel << 8) | (value > 255 ? 255 : value);
            }
            out[x] = pixel;
        }
    }
}
