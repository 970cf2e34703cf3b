#include "views/agent_icon.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFont>
#include <QPainter>
#include <QTemporaryDir>
#include <cmath>
#include <functional>

#include "views/shadow.h"
#include "views/symbols.h"

namespace wren {
namespace {

const QString kResources = QStringLiteral(":/icons/");

QImage canvas(int width, int height, double dpr = 1) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(dpr);
    return image;
}

QImage drawn(const std::function<void(QPainter&)>& paint, int size = 40, double dpr = 1) {
    QImage image = canvas(int(size * dpr), int(size * dpr), dpr);
    QPainter painter(&image);
    paint(painter);
    return image;
}

/// Puts the image store back on the compiled-in resources, whatever a test did.
struct ResourcePrefixGuard {
    ~ResourcePrefixGuard() { AgentIconStore::setResourcePrefix(kResources); }
};

constexpr QRectF kSquare(12, 12, 16, 16);  // in a 40 × 40 canvas

TEST(AgentIcon, FallbackIsTintSquareShapedLikeTheRealIcon) {
    ResourcePrefixGuard guard;
    for (Agent agent : kAllAgents) {
        SCOPED_TRACE(rawValue(agent).data());
        const AgentLook& look = agentLook(agent);
        AgentIconStore::setResourcePrefix(kResources);
        const QImage real = drawn([&](QPainter& p) { paintAgentIcon(p, kSquare, look); });
        AgentIconStore::setResourcePrefix(QStringLiteral("/nonexistent/wren-icons/"));
        const QImage fallback = drawn([&](QPainter& p) { paintAgentIcon(p, kSquare, look); });

        EXPECT_EQ(fallback.pixel(20, 20), look.tint.rgba());
        // Along the straight part of each edge the icon is solid.
        for (QPoint edge : {QPoint(12, 20), QPoint(27, 20), QPoint(20, 12), QPoint(20, 27)}) {
            EXPECT_EQ(qAlpha(fallback.pixel(edge)), 255) << edge.x() << "," << edge.y();
            EXPECT_EQ(qAlpha(real.pixel(edge)), 255) << edge.x() << "," << edge.y();
        }
        // The rounded corners are cut away the same way; only a faint shadow is left there.
        for (QPoint corner : {QPoint(12, 12), QPoint(27, 12), QPoint(12, 27), QPoint(27, 27),
                              QPoint(13, 12), QPoint(26, 27)}) {
            const int a = qAlpha(fallback.pixel(corner));
            EXPECT_LT(a, 128) << corner.x() << "," << corner.y();
            EXPECT_NEAR(a, qAlpha(real.pixel(corner)), 40) << corner.x() << "," << corner.y();
        }
        EXPECT_NEAR(qAlpha(fallback.pixel(13, 13)), qAlpha(real.pixel(13, 13)), 40);
    }
}

TEST(AgentIconStore, DecodesOnceAndRetriesMisses) {
    ResourcePrefixGuard guard;
    AgentIconStore::setResourcePrefix(kResources);
    const int before = AgentIconStore::loadCount();
    for (int i = 0; i < 2; ++i) {
        for (const char* name : {"agent-claude", "agent-codex"}) {
            const auto image = AgentIconStore::image(QString::fromLatin1(name));
            ASSERT_TRUE(image.has_value()) << name;
            EXPECT_EQ(image->size(), QSize(64, 64));
        }
    }
    drawn([](QPainter& p) { paintAgentIcon(p, kSquare, agentLook(Agent::codex)); });
    EXPECT_EQ(AgentIconStore::loadCount(), before + 2);

    // A missing file, then an undecodable one, then a good one under the same name.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    AgentIconStore::setResourcePrefix(dir.path() + QLatin1Char('/'));
    const QString path = dir.filePath(QStringLiteral("agent-claude.png"));
    EXPECT_FALSE(AgentIconStore::image(QStringLiteral("agent-claude")).has_value());
    {
        QFile garbage(path);
        ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
        garbage.write("\x89PNG not really");
    }
    EXPECT_FALSE(AgentIconStore::image(QStringLiteral("agent-claude")).has_value());
    EXPECT_EQ(AgentIconStore::loadCount(), before + 2);
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QFile::copy(kResources + QStringLiteral("agent-claude.png"), path));
    EXPECT_TRUE(AgentIconStore::image(QStringLiteral("agent-claude")).has_value());
    EXPECT_EQ(AgentIconStore::loadCount(), before + 3);
}

TEST(AgentIcon, WideImageKeepsItsProportions) {
    ResourcePrefixGuard guard;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage wide(40, 20, QImage::Format_RGB32);
    wide.fill(Qt::red);
    ASSERT_TRUE(wide.save(dir.filePath(QStringLiteral("wide.png"))));
    AgentIconStore::setResourcePrefix(dir.path() + QLatin1Char('/'));

    const AgentLook look{QStringLiteral("wide"), Qt::blue};
    const QImage image =
        drawn([&](QPainter& p) { paintAgentIcon(p, QRectF(10, 10, 20, 20), look); });
    // 20 × 10 of red in the middle, transparent bands above and below (no tint fill).
    for (int y : {15, 20, 24}) EXPECT_EQ(image.pixel(20, y), qRgb(255, 0, 0)) << y;
    for (int y : {10, 11, 12}) EXPECT_LT(qAlpha(image.pixel(20, y)), 8) << y;
    EXPECT_LT(qAlpha(image.pixel(20, 29)), 64);
    EXPECT_EQ(qBlue(image.pixel(20, 29)), 0);
}

TEST(AgentIcon, ZeroSaturationIsItsOwnLuminance) {
    for (Agent agent : kAllAgents) {
        SCOPED_TRACE(rawValue(agent).data());
        const AgentLook& look = agentLook(agent);
        const QImage colour = drawn([&](QPainter& p) { paintAgentIcon(p, kSquare, look, 1); });
        const QImage grey = drawn([&](QPainter& p) { paintAgentIcon(p, kSquare, look, 0); });
        int tinted = 0;
        for (int y = 13; y < 27; ++y) {
            for (int x = 13; x < 27; ++x) {
                const QRgb c = colour.pixel(x, y), g = grey.pixel(x, y);
                EXPECT_NEAR(qRed(g), qGreen(g), 1);
                EXPECT_NEAR(qGreen(g), qBlue(g), 1);
                EXPECT_EQ(qAlpha(g), qAlpha(c));
                const double luma = 0.2126 * qRed(c) + 0.7152 * qGreen(c) + 0.0722 * qBlue(c);
                EXPECT_NEAR(qGreen(g), luma, 2);
                if (std::abs(qRed(c) - qBlue(c)) > 20) ++tinted;
            }
        }
        EXPECT_GT(tinted, 20) << "the coloured icon should not be grey already";
    }
}

TEST(AgentIcon, ShadowFallsBelowAndFollowsPainterOpacity) {
    const AgentLook& look = agentLook(Agent::claude);
    const QImage full = drawn([&](QPainter& p) { paintAgentIcon(p, kSquare, look); });
    const QImage half = drawn([&](QPainter& p) {
        p.setOpacity(0.5);
        paintAgentIcon(p, kSquare, look);
    });
    const QRgb below = full.pixel(20, 28), above = full.pixel(20, 11);
    EXPECT_EQ(qRed(below), 0);
    EXPECT_GT(qAlpha(below), 30);
    EXPECT_LT(qAlpha(below), 128);
    EXPECT_LT(qAlpha(above), qAlpha(below) / 2);
    EXPECT_EQ(qAlpha(full.pixel(20, 34)), 0);
    for (QPoint at : {QPoint(20, 20), QPoint(20, 28), QPoint(20, 29)}) {
        EXPECT_NEAR(qAlpha(half.pixel(at)), qAlpha(full.pixel(at)) / 2.0, 1.5)
            << at.x() << "," << at.y();
    }
}

TEST(AgentIcon, RendersAtTheDevicePixelRatio) {
    ResourcePrefixGuard guard;
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // One-pixel stripes survive only if the icon is drawn at 32 device pixels, not 16 blown up.
    QImage stripes(32, 32, QImage::Format_RGB32);
    for (int x = 0; x < 32; ++x) {
        for (int y = 0; y < 32; ++y)
            stripes.setPixel(x, y, x % 2 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
    }
    ASSERT_TRUE(stripes.save(dir.filePath(QStringLiteral("stripes.png"))));
    AgentIconStore::setResourcePrefix(dir.path() + QLatin1Char('/'));

    const AgentLook look{QStringLiteral("stripes"), Qt::blue};
    const QImage image = drawn([&](QPainter& p) { paintAgentIcon(p, kSquare, look); }, 40, 2);
    ASSERT_EQ(image.width(), 80);
    for (int x = 28; x < 52; ++x) {
        EXPECT_EQ(qGreen(image.pixel(x, 40)), x % 2 ? 0 : 255) << x;
    }
    // The rounded edge falls on device pixels too: solid inside, only shadow outside.
    EXPECT_EQ(qAlpha(image.pixel(24, 40)), 255);
    EXPECT_LT(qAlpha(image.pixel(23, 40)), 128);
}

// --- dropShadow ---

int alphaAt(const QImage& image, int x, int y) {
    return qAlpha(image.pixel(x, y));
}

TEST(DropShadow, BlursLikeAGaussianAndKeepsMass) {
    // Blur radius 18 is the island's own, and takes the half-resolution path.
    for (double blur : {2.0, 6.0, 12.0, 18.0}) {
        SCOPED_TRACE(blur);
        const double sigma = blur / 2;
        const int side = int(8 * sigma) + 9;  // odd, so there is a centre pixel
        const int margin = int(std::ceil(4 * sigma)) + 2;
        QImage source(side, side, QImage::Format_ARGB32);
        source.fill(Qt::white);
        const QImage shadow = dropShadow(source, blur, Qt::black, margin);
        ASSERT_EQ(shadow.size(), QSize(side + 2 * margin, side + 2 * margin));
        ASSERT_EQ(shadow.format(), QImage::Format_ARGB32_Premultiplied);

        const int n = shadow.width(), mid = n / 2;
        EXPECT_GE(alphaAt(shadow, mid, mid), 253);
        // Outside a straight edge a Gaussian leaves Q(d / σ) of the coverage at distance d.
        const int edge = margin;  // first pixel of the square
        const int probe = edge - 1 - int(sigma);
        const double d = edge - (probe + 0.5);
        EXPECT_NEAR(alphaAt(shadow, probe, mid) / 255.0, 0.5 * std::erfc(d / sigma / std::sqrt(2)),
                    0.04);
        EXPECT_LE(alphaAt(shadow, edge - int(std::ceil(3.5 * sigma)), mid), 2);

        double mass = 0;
        for (int y = 0; y < n; ++y) {
            for (int x = 0; x < n; ++x) {
                const int a = alphaAt(shadow, x, y);
                mass += a;
                // Half resolution samples odd sizes a little off-centre.
                EXPECT_NEAR(a, alphaAt(shadow, n - 1 - x, y), 2) << x << "," << y;
                EXPECT_NEAR(a, alphaAt(shadow, y, x), 2) << x << "," << y;
                EXPECT_EQ(qRed(shadow.pixel(x, y)), 0);
            }
        }
        EXPECT_NEAR(mass / 255.0 / (side * side), 1.0, 0.03);
    }
}

TEST(DropShadow, ColoursTheAlphaOfAnyFormat) {
    QImage source(4, 3, QImage::Format_RGB32);  // no alpha channel: fully covered
    source.fill(Qt::green);
    const QColor tint(255, 0, 0, 128);
    const QImage flat = dropShadow(source, 0, tint, 2);
    ASSERT_EQ(flat.size(), QSize(8, 7));
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 8; ++x) {
            const bool inside = x >= 2 && x < 6 && y >= 2 && y < 5;
            EXPECT_EQ(flat.pixel(x, y), inside ? qRgba(128, 0, 0, 128) : 0u) << x << "," << y;
        }
    }

    QImage translucent(2, 2, QImage::Format_ARGB32);
    translucent.fill(QColor(10, 200, 30, 64));
    EXPECT_EQ(dropShadow(translucent, 0, Qt::white, 0).pixel(0, 0), qRgba(64, 64, 64, 64));

    const QImage empty = dropShadow(QImage(), 4, Qt::black, 3);
    ASSERT_EQ(empty.size(), QSize(6, 6));
    EXPECT_EQ(empty.pixel(3, 3), 0u);
    EXPECT_TRUE(dropShadow(QImage(), 4, Qt::black, 0).isNull());
}

// --- symbols ---

struct Ink {
    int inside = 0;
    int outside = 0;
};

Ink inkOf(Symbol symbol, double pixelSize, int weight) {
    const double extent = symbolExtent(pixelSize);
    const QRectF box(8, 8, extent, extent);
    QImage image = canvas(int(extent) + 16, int(extent) + 16);
    {
        QPainter p(&image);
        paintSymbol(p, symbol, box, Qt::white, pixelSize, weight);
    }
    Ink ink;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int a = qAlpha(image.pixel(x, y));
            if (box.contains(QPointF(x + 0.5, y + 0.5)))
                ink.inside += a;
            else
                ink.outside += a;
        }
    }
    return ink;
}

TEST(Symbol, DrawsInsideItsBoxAndThickensWithWeight) {
    for (Symbol symbol : {Symbol::reopen, Symbol::saveToMemory}) {
        for (double pixelSize : {11.0, 13.0, 24.0}) {
            SCOPED_TRACE(testing::Message() << int(symbol) << " at " << pixelSize);
            const Ink normal = inkOf(symbol, pixelSize, QFont::Normal);
            const Ink bold = inkOf(symbol, pixelSize, QFont::Bold);
            EXPECT_EQ(normal.outside, 0);
            EXPECT_EQ(bold.outside, 0);
            const double area = symbolExtent(pixelSize) * symbolExtent(pixelSize) * 255;
            EXPECT_GT(normal.inside, 0.12 * area);
            EXPECT_GT(bold.inside, normal.inside * 1.2);
        }
    }
}

}  // namespace
}  // namespace wren
