#include "imaging/area_average_posix.h"

#include <algorithm>
#include <vector>

namespace {

// Weights are fixed-point: the weights of one output pixel add up to kOne.
constexpr int kShift = 14;
constexpr std::uint32_t kOne = 1u << kShift;
// A row's sums keep kShift - kDrop bits of fraction, so that the second weighting still fits
// in 32 bits.
constexpr int kDrop = 6;
constexpr int kFinalShift = 2 * kShift - kDrop;
constexpr std::uint32_t kRound = 1u << (kFinalShift - 1);

// The source pixels each output pixel covers along one axis, and their weights, kept in
// flat arrays: output pixel i covers count[i] pixels from first[i], weighed by the weights
// from weight_start[i].
struct Spans {
    std::vector<int> first;
    std::vector<int> count;
    std::vector<std::size_t> weight_start;
    std::vector<std::uint32_t> weights;
};

Spans MakeSpans(int source, int output) {
    Spans spans;
    spans.first.resize(output);
    spans.count.resize(output);
    spans.weight_start.resize(output);
    const double scale = static_cast<double>(source) / output;
    for (int i = 0; i < output; ++i) {
        const double begin = i * scale;
        const double end = (i + 1) * scale;
        spans.first[i] = static_cast<int>(begin);
        spans.weight_start[i] = spans.weights.size();
        std::uint32_t total = 0;
        int count = 0;
        for (int s = spans.first[i]; s < source && s < end; ++s) {
            const double covered = (s + 1 < end ? s + 1 : end) - (s > begin ? s : begin);
            const auto weight = static_cast<std::uint32_t>(covered / scale * kOne + 0.5);
            spans.weights.push_back(weight);
            total += weight;
            ++count;
        }
        // Rounding must not brighten or darken: the last weight takes up the difference.
        if (count > 0) {
            spans.weights.back() += kOne - total;
        }
        spans.count[i] = count;
    }
    return spans;
}

// One source row reduced across: for each output column, the weighted sums of its red,
// green and blue, with kDrop bits of fraction dropped.
void ReduceRow(const std::uint32_t* row, const Spans& columns, std::uint32_t* reduced) {
    const int output_width = static_cast<int>(columns.first.size());
    for (int x = 0; x < output_width; ++x, reduced += 3) {
        const std::uint32_t* pixel = row + columns.first[x];
        const std::uint32_t* weight = columns.weights.data() + columns.weight_start[x];
        std::uint32_t red = 0;
        std::uint32_t green = 0;
        std::uint32_t blue = 0;
        for (int n = columns.count[x]; n > 0; --n, ++pixel, ++weight) {
            red += ((*pixel >> 16) & 0xFF) * *weight;
            green += ((*pixel >> 8) & 0xFF) * *weight;
            blue += (*pixel & 0xFF) * *weight;
        }
        reduced[0] = red >> kDrop;
        reduced[1] = green >> kDrop;
        reduced[2] = blue >> kDrop;
    }
}

}  // namespace

void AreaAverage(const unsigned char* source, int source_width, int source_height,
                 int source_stride, unsigned char* output, int output_width, int output_height,
                 int output_stride) {
    const Spans columns = MakeSpans(source_width, output_width);
    const Spans rows = MakeSpans(source_height, output_height);
    // One output row at a time: each source row it covers is reduced across, then added in
    // with its weight. Neighbouring output rows share the source row on their border, so the
    // last reduced row is kept for the next output row.
    const std::size_t values = static_cast<std::size_t>(output_width) * 3;
    std::vector<std::uint32_t> sums(values);
    std::vector<std::uint32_t> reduced(values);
    int reduced_row = -1;
    for (int y = 0; y < output_height; ++y) {
        std::fill(sums.begin(), sums.end(), 0u);
        const std::uint32_t* row_weight = rows.weights.data() + rows.weight_start[y];
        for (int r = 0; r < rows.count[y]; ++r) {
            const int source_row = rows.first[y] + r;
            if (source_row != reduced_row) {
                ReduceRow(reinterpret_cast<const std::uint32_t*>(
                              source + static_cast<std::size_t>(source_row) * source_stride),
                          columns, reduced.data());
                reduced_row = source_row;
            }
            const std::uint32_t weight = row_weight[r];
            for (std::size_t i = 0; i < values; ++i) {
                sums[i] += reduced[i] * weight;
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
