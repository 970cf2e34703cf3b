#include "views/shadow.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace wren {
namespace {

/// An 8-bit coverage plane; outside it everything counts as transparent.
struct Plane {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> data;

    Plane(int w, int h) : width(w), height(h), data(size_t(w) * size_t(h), 0) {}
    uint8_t* row(int y) { return data.data() + size_t(y) * size_t(width); }
    const uint8_t* row(int y) const { return data.data() + size_t(y) * size_t(width); }
};

/// A box window: the output at x averages inputs x − before … x + after.
struct Box {
    int before = 0;
    int after = 0;
    int width() const { return before + after + 1; }
};

/// Three boxes whose successive blurs come closest to a Gaussian of `sigma`. Widths may be even
/// only in pairs: one leans left and one right, so together they do not shift the image. Small
/// blurs need that freedom: with odd widths only, σ = 1 becomes a single 3-pixel box.
std::array<Box, 3> boxesFor(double sigma) {
    const double target = sigma * sigma;
    const double ideal = std::sqrt(12 * target / 3 + 1);
    const int lo = std::max(1, int(std::floor(ideal)) - 2);
    const int hi = int(std::ceil(ideal)) + 2;
    auto variance = [](int w) { return (double(w) * w - 1) / 12; };
    std::array<int, 3> best{1, 1, 1};
    double bestError = target;
    for (int a = lo; a <= hi; ++a) {
        for (int b = a; b <= hi; ++b) {
            for (int c = b; c <= hi; ++c) {
                const int evens = (a % 2 == 0) + (b % 2 == 0) + (c % 2 == 0);
                if (evens != 0 && evens != 2) continue;
                const double error = std::abs(variance(a) + variance(b) + variance(c) - target);
                if (error < bestError) {
                    bestError = error;
                    best = {a, b, c};
                }
            }
        }
    }
    std::array<Box, 3> boxes{};
    bool leanLeft = true;
    for (int i = 0; i < 3; ++i) {
        const int w = best[i];
        if (w % 2) {
            boxes[i] = {w / 2, w / 2};
        } else {
            boxes[i] = leanLeft ? Box{w / 2, w / 2 - 1} : Box{w / 2 - 1, w / 2};
            leanLeft = !leanLeft;
        }
    }
    return boxes;
}

/// Divides a window sum by the window width with one multiply: sum × ⌊2²⁴ / width⌉ >> 24.
struct Divider {
    uint64_t reciprocal;
    explicit Divider(int width) : reciprocal(((uint64_t(1) << 24) + uint64_t(width) / 2) / width) {}
    uint8_t operator()(uint32_t sum) const {
        return uint8_t(std::min<uint64_t>(255, (sum * reciprocal + (1u << 23)) >> 24));
    }
};

/// One horizontal box pass, in place; `scratch` holds a copy of the row.
void boxRows(Plane& plane, Box box, std::vector<uint8_t>& scratch) {
    const Divider divide(box.width());
    const int w = plane.width;
    scratch.resize(size_t(w));
    for (int y = 0; y < plane.height; ++y) {
        uint8_t* row = plane.row(y);
        std::memcpy(scratch.data(), row, size_t(w));
        uint32_t sum = 0;
        for (int x = 0; x < std::min(box.after, w); ++x) sum += scratch[x];
        for (int x = 0; x < w; ++x) {
            if (x + box.after < w) sum += scratch[x + box.after];
            row[x] = divide(sum);
            if (x - box.before >= 0) sum -= scratch[x - box.before];
        }
    }
}

/// One vertical box pass, in place. Walks whole rows so memory is read in order; `sums` keeps
/// one running window per column and `ring` the original rows the window still has to drop.
void boxColumns(Plane& plane, Box box, std::vector<uint32_t>& sums, std::vector<uint8_t>& ring) {
    const Divider divide(box.width());
    const int w = plane.width;
    const int h = plane.height;
    sums.assign(size_t(w), 0);
    // Row y is overwritten before it leaves the window at y + before, so keep before + 1 rows.
    const int kept = box.before + 1;
    ring.resize(size_t(kept) * size_t(w));
    auto keptRow = [&](int y) { return ring.data() + size_t(y % kept) * size_t(w); };

    for (int y = 0; y < std::min(box.after, h); ++y) {
        const uint8_t* in = plane.row(y);
        for (int x = 0; x < w; ++x) sums[x] += in[x];
    }
    for (int y = 0; y < h; ++y) {
        if (y + box.after < h) {
            const uint8_t* in = plane.row(y + box.after);
            for (int x = 0; x < w; ++x) sums[x] += in[x];
        }
        uint8_t* out = plane.row(y);
        std::memcpy(keptRow(y), out, size_t(w));
        for (int x = 0; x < w; ++x) out[x] = divide(sums[x]);
        if (y - box.before >= 0) {
            const uint8_t* leaving = keptRow(y - box.before);
            for (int x = 0; x < w; ++x) sums[x] -= leaving[x];
        }
    }
}

void blur(Plane& plane, double sigma) {
    const std::array<Box, 3> boxes = boxesFor(sigma);
    std::vector<uint8_t> scratch;
    std::vector<uint32_t> sums;
    for (Box box : boxes) {
        if (box.width() > 1) boxRows(plane, box, scratch);
    }
    for (Box box : boxes) {
        if (box.width() > 1) boxColumns(plane, box, sums, scratch);
    }
}

/// Averages 2×2 blocks; an odd last row or column is averaged with transparency.
Plane halve(const Plane& full) {
    Plane half((full.width + 1) / 2, (full.height + 1) / 2);
    for (int y = 0; y < half.height; ++y) {
        const uint8_t* a = full.row(2 * y);
        const uint8_t* b = 2 * y + 1 < full.height ? full.row(2 * y + 1) : nullptr;
        uint8_t* out = half.row(y);
        for (int x = 0; x < half.width; ++x) {
            const int x1 = 2 * x + 1;
            unsigned sum = a[2 * x] + (x1 < full.width ? a[x1] : 0);
            if (b) sum += b[2 * x] + (x1 < full.width ? b[x1] : 0);
            out[x] = uint8_t((sum + 2) / 4);
        }
    }
    return half;
}

/// Bilinear doubling back onto `full`: each output pixel mixes its own half pixel (¾) with the
/// neighbour on its side (¼), per axis, which keeps the sample centres aligned.
void doubleInto(const Plane& half, Plane& full) {
    auto neighbour = [](int i, int parity, int n) {
        return std::clamp(parity ? i + 1 : i - 1, 0, n - 1);
    };
    // Rows widened horizontally, in ×4 fixed point.
    std::vector<uint16_t> above(size_t(full.width)), below(size_t(full.width));
    auto widen = [&](int hy, std::vector<uint16_t>& out) {
        const uint8_t* in = half.row(hy);
        for (int x = 0; x < full.width; ++x) {
            const int i = x / 2;
            out[x] = uint16_t(3 * in[i] + in[neighbour(i, x & 1, half.width)]);
        }
    };
    for (int y = 0; y < full.height; ++y) {
        const int i = y / 2;
        widen(i, above);
        widen(neighbour(i, y & 1, half.height), below);
        uint8_t* out = full.row(y);
        for (int x = 0; x < full.width; ++x) out[x] = uint8_t((3 * above[x] + below[x] + 8) / 16);
    }
}

}  // namespace

QImage dropShadow(const QImage& source, double blurRadius, const QColor& color, int margin) {
    margin = std::max(margin, 0);
    const int width = source.width() + 2 * margin;
    const int height = source.height() + 2 * margin;
    if (width <= 0 || height <= 0) return {};

    Plane plane(width, height);
    if (!source.isNull()) {
        const QImage alpha = source.convertToFormat(QImage::Format_Alpha8);
        for (int y = 0; y < alpha.height(); ++y) {
            std::memcpy(plane.row(y + margin) + margin, alpha.constScanLine(y),
                        size_t(alpha.width()));
        }
    }

    const double sigma = blurRadius / 2;
    // Past σ = 4 the half-resolution blur is indistinguishable and four times cheaper.
    if (sigma >= 4) {
        Plane half = halve(plane);
        blur(half, sigma / 2);
        doubleInto(half, plane);
    } else if (sigma > 0) {
        blur(plane, sigma);
    }

    // Every coverage value maps to one premultiplied pixel of the colour.
    std::array<QRgb, 256> tinted{};
    const double opacity = color.alphaF();
    for (int v = 0; v < 256; ++v) {
        const double a = opacity * v / 255.0;
        tinted[v] = qRgba(int(std::lround(color.redF() * a * 255)),
                          int(std::lround(color.greenF() * a * 255)),
                          int(std::lround(color.blueF() * a * 255)), int(std::lround(a * 255)));
    }
    QImage out(width, height, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = plane.row(y);
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < width; ++x) line[x] = tinted[in[x]];
    }
    return out;
}

}  // namespace wren
