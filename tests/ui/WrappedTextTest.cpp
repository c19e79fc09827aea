#include "ViewFixture.h"

#include "ui/Typography.h"
#include "ui/WrappedText.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <vector>

namespace ZunoInstaller {

namespace {

const QString paragraph = QStringLiteral(
    "Laying a paragraph out again at another width breaks the same shaped text into lines again: "
    "T\u00FCrk\u00E7e metinler de \u00E7ok uzun s\u00F6zc\u00FCklerle sar\u0131l\u0131r, "
    "Unbreakableeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeee included.");

QImage drawn(const WrappedText& text, qreal width)
{
    QImage image(int(std::min<qreal>(width, 700)) + 40, 600, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.setPen(Qt::white);
    text.draw(painter, QPointF(20, 20), width);
    return image;
}

struct Measures {
    int lines;
    qreal height;
    QImage image;
};

TEST(WrappedText, keptLayoutMeasuresAndDrawsLikeAFreshOneAtEveryWidthAndShapesOnce)
{
    testApplication();
    const QFont font = systemFont(15);
    // Out of order and repeated, as layouts ask.
    const std::vector<qreal> widths{1e6, 200, 80, 587, 200, 33, 80, 1, 587, 1e6};

    const WrappedText kept(paragraph, font, 5);
    const qint64 before = WrappedText::shapedCharacters();
    std::vector<Measures> measures;
    for (const qreal width : widths)
        measures.push_back({kept.lineCount(width), kept.height(width), drawn(kept, width)});
    const qreal natural = kept.naturalWidth();
    const QMargins ink = kept.inkMargins();
    EXPECT_EQ(WrappedText::shapedCharacters() - before, paragraph.size());

    for (std::size_t i = 0; i < widths.size(); ++i) {
        SCOPED_TRACE(widths[i]);
        const WrappedText fresh(paragraph, font, 5);
        EXPECT_EQ(fresh.lineCount(widths[i]), measures[i].lines);
        EXPECT_EQ(fresh.height(widths[i]), measures[i].height);
        EXPECT_TRUE(drawn(fresh, widths[i]) == measures[i].image);
    }
    EXPECT_GT(measures[2].lines, measures[1].lines); // the widths really differ
    EXPECT_EQ(WrappedText(paragraph, font, 5).naturalWidth(), natural);
    EXPECT_EQ(WrappedText(paragraph, font, 5).inkMargins(), ink);
}

} // namespace

} // namespace ZunoInstaller
