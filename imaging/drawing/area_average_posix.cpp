#include "imaging/drawing/area_average_posix.h"

#include <algorithm>
#include <vector>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "imaging/pixel_colour.h"

namespace vorn {

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

// The column spans laid out for the reduction across: every output pixel takes the same
// number of taps, the shorter spans padded with weights of zero (moved left at the right
// edge, so that no tap reads past the row).
struct Taps {
    int count = 0;
    std::vector<int> first;
    std::vector<std::uint32_t> weights;
    // Every weight is at most kOne. A weight above it is one that took up a rounding
    // difference below zero and wrapped around; only the per-channel sums wrap the same way.
    bool bounded = true;
    // For four bounded taps: each output pixel's weights as 16-bit lanes, the first two taps'
    // weights alternating four times, then the last two's, so that one multiply-add weighs two
    // pixels' channels at once.
    std::vector<std::int16_t> lanes;
};

Taps MakeTaps(const Spans& spans, int source) {
    Taps taps;
    for (const int count : spans.count) {
        taps.count = std::max(taps.count, count);
    }
    const int output = static_cast<int>(spans.first.size());
    taps.first.resize(output);
    taps.weights.assign(static_cast<std::size_t>(output) * taps.count, 0u);
    for (int i = 0; i < output; ++i) {
        const int first = std::min(spans.first[i], source - taps.count);
        const int skipped = spans.first[i] - first;
        taps.first[i] = first;
        for (int n = 0; n < spans.count[i]; ++n) {
            const std::uint32_t weight = spans.weights[spans.weight_start[i] + n];
            taps.weights[static_cast<std::size_t>(i) * taps.count + skipped + n] = weight;
            taps.bounded = taps.bounded && weight <= kOne;
        }
    }
    if (taps.count == 4 && taps.bounded) {
        taps.lanes.reserve(taps.weights.size() * 4);
        for (std::size_t i = 0; i < taps.weights.size(); i += 2) {
            for (int lane = 0; lane < 4; ++lane) {
                taps.lanes.push_back(static_cast<std::int16_t>(taps.weights[i]));
                taps.lanes.push_back(static_cast<std::int16_t>(taps.weights[i + 1]));
            }
        }
    }
    return taps;
}

// A reduced row holds four sums for each output pixel, in the order of the pixel's bytes:
// blue, green, red, and the unused byte, which the packing leaves out.
constexpr std::size_t kChannels = 4;

// One source row reduced across: for each output column, the weighted sums of its channels,
// with kDrop bits of fraction dropped. With bounded weights red and blue share one 64-bit
// sum, each in 32 bits of its own that the other never reaches.
template <int kCount>
void ReduceRowPacked(const std::uint32_t* row, const Taps& taps, std::uint32_t* reduced) {
    const int count = kCount > 0 ? kCount : taps.count;
    const std::uint32_t* weight = taps.weights.data();
    for (const int first : taps.first) {
        const std::uint32_t* pixel = row + first;
        std::uint64_t red_blue = 0;
        std::uint32_t green = 0;
        for (int n = 0; n < count; ++n) {
            const std::uint32_t value = pixel[n];
            const std::uint64_t lanes =
                (value & 0xFFu) | (static_cast<std::uint64_t>(value & 0xFF0000u) << 16);
            red_blue += lanes * weight[n];
            green += ((value >> 8) & 0xFFu) * weight[n];
        }
        weight += count;
        reduced[0] = static_cast<std::uint32_t>(red_blue) >> kDrop;
        reduced[1] = green >> kDrop;
        reduced[2] = static_cast<std::uint32_t>(red_blue >> 32) >> kDrop;
        reduced[3] = 0;
        reduced += kChannels;
    }
}

void ReduceRowPerChannel(const std::uint32_t* row, const Taps& taps, std::uint32_t* reduced) {
    const std::uint32_t* weight = taps.weights.data();
    for (const int first : taps.first) {
        const std::uint32_t* pixel = row + first;
        std::uint32_t red = 0;
        std::uint32_t green = 0;
        std::uint32_t blue = 0;
        for (int n = 0; n < taps.count; ++n) {
            red += ((pixel[n] >> 16) & 0xFF) * weight[n];
            green += ((pixel[n] >> 8) & 0xFF) * weight[n];
            blue += (pixel[n] & 0xFF) * weight[n];
        }
        weight += taps.count;
        reduced[0] = blue >> kDrop;
        reduced[1] = green >> kDrop;
        reduced[2] = red >> kDrop;
        reduced[3] = 0;
        reduced += kChannels;
    }
}

// The steps down one output row: the first source row it covers sets the sums, the next
// ones add to them, and the last one adds and packs the pixels, so that the sums are gone
// through as few times as the rows allow. The products and sums wrap to 32 bits alike.
struct ColumnSteps {
    void (*start)(const std::uint32_t* reduced, std::uint32_t weight, std::uint32_t* sums,
                  std::size_t count);
    void (*add)(const std::uint32_t* reduced, std::uint32_t weight, std::uint32_t* sums,
                std::size_t count);
    // With sums null the row's one source row is all there is.
    void (*finish)(const std::uint32_t* reduced, std::uint32_t weight, const std::uint32_t* sums,
                   std::uint32_t* out, int width);
};

// Sets the sums to the weighted row, or adds it to them.
template <bool kAdd>
void WeighRowPlain(const std::uint32_t* reduced, std::uint32_t weight, std::uint32_t* sums,
                   std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        sums[i] = (kAdd ? sums[i] : 0u) + reduced[i] * weight;
    }
}

// Each channel rounded and held to 255.
void FinishRowPlain(const std::uint32_t* reduced, std::uint32_t weight, const std::uint32_t* sums,
                    std::uint32_t* out, int width) {
    for (int x = 0; x < width; ++x, reduced += kChannels) {
        std::uint32_t pixel = 0;
        for (int c = 2; c >= 0; --c) {
            const std::uint32_t sum = (sums != nullptr ? sums[c] : 0u) + reduced[c] * weight;
            const std::uint32_t value = (sum + kRound) >> kFinalShift;
            pixel = (pixel << 8) | (value > 255 ? 255 : value);
        }
        out[x] = pixel;
        if (sums != nullptr) {
            sums += kChannels;
        }
    }
}

constexpr ColumnSteps kPlainSteps{WeighRowPlain<false>, WeighRowPlain<true>, FinishRowPlain};

using RowReducer = void (*)(const std::uint32_t*, const Taps&, std::uint32_t*);

#if defined(__SSE2__)
// Four taps at once: two pixels' channels laid side by side as 16-bit lanes, each pair
// multiplied by its two weights and added into 32 bits in one step, the same for the other
// two pixels. Bounded weights fit the signed lanes and keep every sum exact, so the results
// are those of the other reductions.
__attribute__((target("ssse3"))) void ReduceRowFourTaps(const std::uint32_t* row, const Taps& taps,
                                                        std::uint32_t* reduced) {
    // Byte positions of the first two pixels' blue, green, red and unused bytes, pixel by
    // pixel; a position of -1 gives a zero high byte.
    const __m128i near_order =
        _mm_setr_epi8(0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, 3, -1, 7, -1);
    const __m128i far_order =
        _mm_setr_epi8(8, -1, 12, -1, 9, -1, 13, -1, 10, -1, 14, -1, 11, -1, 15, -1);
    const auto* weights = reinterpret_cast<const __m128i*>(taps.lanes.data());
    for (const int first : taps.first) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + first));
        const __m128i near =
            _mm_madd_epi16(_mm_shuffle_epi8(pixels, near_order), _mm_loadu_si128(weights));
        const __m128i far =
            _mm_madd_epi16(_mm_shuffle_epi8(pixels, far_order), _mm_loadu_si128(weights + 1));
        weights += 2;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(reduced),
                         _mm_srli_epi32(_mm_add_epi32(near, far), kDrop));
        reduced += kChannels;
    }
}

RowReducer ChooseFourTapReducer() {
    return __builtin_cpu_supports("ssse3") ? ReduceRowFourTaps : ReduceRowPacked<4>;
}

// The same steps, eight sums at a time, on processors with AVX2.
template <bool kAdd>
__attribute__((target("avx2"))) void WeighRowAvx2(const std::uint32_t* reduced,
                                                  std::uint32_t weight, std::uint32_t* sums,
                                                  std::size_t count) {
    const __m256i weights = _mm256_set1_epi32(static_cast<int>(weight));
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i row = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(reduced + i));
        auto* sum = reinterpret_cast<__m256i*>(sums + i);
        __m256i weighed = _mm256_mullo_epi32(row, weights);
        if (kAdd) {
            weighed = _mm256_add_epi32(_mm256_loadu_si256(sum), weighed);
        }
        _mm256_storeu_si256(sum, weighed);
    }
    WeighRowPlain<kAdd>(reduced + i, weight, sums + i, count - i);
}

// Four pixels at a time: a shifted sum is at most 1023, so the signed narrowing keeps it and
// the unsigned one holds it to 255, as the plain loop does; the unused byte is cleared.
__attribute__((target("avx2"))) void FinishRowAvx2(const std::uint32_t* reduced,
                                                   std::uint32_t weight, const std::uint32_t* sums,
                                                   std::uint32_t* out, int width) {
    const __m256i weights = _mm256_set1_epi32(static_cast<int>(weight));
    const __m256i round = _mm256_set1_epi32(static_cast<int>(kRound));
    const __m128i colour = _mm_set1_epi32(static_cast<int>(kColourMask));
    int x = 0;
    for (; x + 4 <= width; x += 4, reduced += 4 * kChannels) {
        __m256i near = _mm256_mullo_epi32(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(reduced)), weights);
        __m256i far = _mm256_mullo_epi32(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(reduced + 8)), weights);
        if (sums != nullptr) {
            near =
                _mm256_add_epi32(near, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums)));
            far = _mm256_add_epi32(far,
                                   _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums + 8)));
            sums += 4 * kChannels;
        }
        near = _mm256_srli_epi32(_mm256_add_epi32(near, round), kFinalShift);
        far = _mm256_srli_epi32(_mm256_add_epi32(far, round), kFinalShift);
        const __m128i pixels = _mm_packus_epi16(
            _mm_packs_epi32(_mm256_castsi256_si128(near), _mm256_extracti128_si256(near, 1)),
            _mm_packs_epi32(_mm256_castsi256_si128(far), _mm256_extracti128_si256(far, 1)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_and_si128(pixels, colour));
    }
    FinishRowPlain(reduced, weight, sums, out + x, width - x);
}

const ColumnSteps& ChooseColumnSteps() {
    static constexpr ColumnSteps kAvx2Steps{WeighRowAvx2<false>, WeighRowAvx2<true>, FinishRowAvx2};
    return __builtin_cpu_supports("avx2") ? kAvx2Steps : kPlainSteps;
}
#else
RowReducer ChooseFourTapReducer() {
    return ReduceRowPacked<4>;
}

const ColumnSteps& ChooseColumnSteps() {
    return kPlainSteps;
}
#endif

// The fastest reduction that gives the same sums for these taps: the faces take four.
RowReducer ChooseReducer(const Taps& taps) {
    if (!taps.bounded) {
        return ReduceRowPerChannel;
    }
    switch (taps.count) {
        case 3:
            return ReduceRowPacked<3>;
        case 4:
            return ChooseFourTapReducer();
        default:
            return ReduceRowPacked<0>;
    }
}

}  // namespace

void AreaAverage(const unsigned char* source, int source_width, int source_height,
                 int source_stride, unsigned char* output, int output_width, int output_height,
                 int output_stride) {
    const Taps columns = MakeTaps(MakeSpans(source_width, output_width), source_width);
    const RowReducer reduce_row = ChooseReducer(columns);
    const ColumnSteps& steps = ChooseColumnSteps();
    const Spans rows = MakeSpans(source_height, output_height);
    // One output row at a time: each source row it covers is reduced across, then weighed
    // into the sums. Neighbouring output rows share the source row on their border, so the
    // last reduced row is kept for the next output row.
    const std::size_t values = static_cast<std::size_t>(output_width) * kChannels;
    std::vector<std::uint32_t> sums(values);
    std::vector<std::uint32_t> reduced(values);
    int reduced_row = -1;
    for (int y = 0; y < output_height; ++y) {
        auto* out =
            reinterpret_cast<std::uint32_t*>(output + static_cast<std::size_t>(y) * output_stride);
        const std::uint32_t* row_weight = rows.weights.data() + rows.weight_start[y];
        const int count = rows.count[y];
        for (int r = 0; r < count; ++r) {
            const int source_row = rows.first[y] + r;
            if (source_row != reduced_row) {
                reduce_row(reinterpret_cast<const std::uint32_t*>(
                               source + static_cast<std::size_t>(source_row) * source_stride),
                           columns, reduced.data());
                reduced_row = source_row;
            }
            if (r + 1 == count) {
                steps.finish(reduced.data(), row_weight[r], r == 0 ? nullptr : sums.data(), out,
                             output_width);
            } else if (r == 0) {
                steps.start(reduced.data(), row_weight[r], sums.data(), values);
            } else {
                steps.add(reduced.data(), row_weight[r], sums.data(), values);
            }
        }
    }
}

}  // namespace vorn
