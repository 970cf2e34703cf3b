#include "views/agent_icon.h"

#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

#include "views/shadow.h"

namespace wren {
namespace {

// The icon's corner radius as a fraction of its edge, and its shadow, in logical pixels.
constexpr double kCornerRadius = 0.28;
constexpr double kShadowBlur = 2;
constexpr double kShadowOffset = 1;
constexpr double kShadowOpacity = 0.5;
// Finished icons kept; a few agents × a few sizes × grey or not fit easily.
constexpr size_t kRenderedCapacity = 32;

/// One finished icon, shadow included, at one device size.
struct Rendered {
    QString resource;
    QRgb tint = 0;
    qint64 imageKey = 0;  // 0 for the tinted fallback
    int edge = 0;         // device pixels
    int saturation = 0;   // per cent
    double dpr = 1;
    int margin = 0;  // device pixels of shadow around the icon
    QImage image;
};

struct Store {
    QString prefix = QStringLiteral(":/icons/");
    QHash<QString, QImage> images;
    int loads = 0;
    std::vector<Rendered> rendered;  // oldest first
};

Store& store() {
    static Store s;
    return s;
}

/// Mixes every pixel towards its luminance; `saturation` 1 leaves it, 0 makes it grey. Works on
/// premultiplied pixels because the mix is linear.
void desaturate(QImage& image, double saturation) {
    const int keep = int(std::lround(saturation * 256));
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            const int r = qRed(p), g = qGreen(p), b = qBlue(p);
            const int luma = (54 * r + 183 * g + 19 * b + 128) >> 8;  // Rec. 709 weights
            auto mix = [&](int c) { return luma + (((c - luma) * keep) >> 8); };
            line[x] = qRgba(mix(r), mix(g), mix(b), qAlpha(p));
        }
    }
}

/// The icon at `edge` device pixels with its shadow beneath, `margin` pixels bigger all round.
QImage render(const std::optional<QImage>& source, const QColor& tint, int edge, int saturation,
              double dpr, int margin) {
    QImage icon(edge, edge, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    const QRectF bounds(0, 0, edge, edge);
    const double radius = kCornerRadius * edge;
    {
        QPainter p(&icon);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        if (source) {
            const QImage fitted =
                source->scaled(edge, edge, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            p.drawImage(QPoint((edge - fitted.width()) / 2, (edge - fitted.height()) / 2), fitted);
            // An antialiased mask; a clip path would leave the corners jagged.
            p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
            p.setBrush(Qt::black);
        } else {
            p.setBrush(tint);
        }
        p.drawRoundedRect(bounds, radius, radius);
    }
    if (saturation < 100) desaturate(icon, saturation / 100.0);

    const QImage shadow = dropShadow(icon, kShadowBlur * dpr,
                                     QColor::fromRgbF(0, 0, 0, float(kShadowOpacity)), margin);
    QImage out(edge + 2 * margin, edge + 2 * margin, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    {
        QPainter p(&out);
        p.drawImage(QPoint(0, int(std::lround(kShadowOffset * dpr))), shadow);
        p.drawImage(QPoint(margin, margin), icon);
    }
    return out;
}

}  // namespace

const AgentLook& agentLook(Agent agent) {
    static const AgentLook claude{QStringLiteral("agent-claude"),
                                  QColor::fromRgbF(0.85f, 0.47f, 0.34f)};
    static const AgentLook codex{QStringLiteral("agent-codex"),
                                 QColor::fromRgbF(0.62f, 0.66f, 0.72f)};
    return agent == Agent::claude ? claude : codex;
}

std::optional<QImage> AgentIconStore::image(const QString& name) {
    Store& s = store();
    if (const auto it = s.images.constFind(name); it != s.images.constEnd()) return *it;
    QImage loaded(s.prefix + name + QStringLiteral(".png"));
    if (loaded.isNull()) return std::nullopt;
    ++s.loads;
    loaded = loaded.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    s.images.insert(name, loaded);
    return loaded;
}

int AgentIconStore::loadCount() {
    return store().loads;
}

void AgentIconStore::setResourcePrefix(const QString& prefix) {
    Store& s = store();
    s.prefix = prefix;
    s.images.clear();
    s.rendered.clear();
}

void paintAgentIcon(QPainter& painter, const QRectF& square, const AgentLook& look,
                    double saturation) {
    const double size = square.width();
    if (!(size > 0)) return;
    const QPaintDevice* device = painter.device();
    const double dpr = device ? device->devicePixelRatioF() : 1.0;
    const int edge = std::max(1, int(std::lround(size * dpr)));
    const int percent = int(std::lround(std::clamp(saturation, 0.0, 1.0) * 100));
    const std::optional<QImage> source = AgentIconStore::image(look.resource);
    const qint64 imageKey = source ? source->cacheKey() : 0;
    const QRgb tint = look.tint.rgba();

    Store& s = store();
    auto found = std::find_if(s.rendered.begin(), s.rendered.end(), [&](const Rendered& r) {
        return r.edge == edge && r.saturation == percent && r.imageKey == imageKey &&
               r.tint == tint && r.dpr == dpr && r.resource == look.resource;
    });
    if (found == s.rendered.end()) {
        // Three standard deviations of blur, plus the offset, fit inside the margin.
        const int margin = int(std::ceil((1.5 * kShadowBlur + kShadowOffset) * dpr)) + 1;
        if (s.rendered.size() >= kRenderedCapacity) s.rendered.erase(s.rendered.begin());
        s.rendered.push_back({look.resource, tint, imageKey, edge, percent, dpr, margin,
                              render(source, look.tint, edge, percent, dpr, margin)});
        found = s.rendered.end() - 1;
    }

    // Device pixels to logical ones; exactly 1 / dpr unless the size falls between pixels.
    const double unit = size / edge;
    const double outer = found->image.width() * unit;
    const QRectF target(square.topLeft() - QPointF(found->margin, found->margin) * unit,
                        QSizeF(outer, outer));
    const bool exact = std::abs(unit * dpr - 1) < 1e-9;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, !exact);
    painter.drawImage(target, found->image);
    painter.restore();
}

}  // namespace wren
