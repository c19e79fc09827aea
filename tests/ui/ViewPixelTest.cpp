#include "ViewFixture.h"

#include "ui/DisclosureButton.h"
#include "ui/FocusRing.h"
#include "ui/HeaderRow.h"
#include "ui/LinkButton.h"
#include "ui/NoticeBox.h"
#include "ui/Palette.h"
#include "ui/TextBlock.h"
#include "ui/WrappedText.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QLabel>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace ZunoInstaller {

namespace {

const QRgb surface = qRgb(0x20, 0x24, 0x1E);
const QRgb defaultText = qRgb(0xEF, 0xF1, 0xEB);

QRgb fraction(float r, float g, float b)
{
    return QColor::fromRgbF(r, g, b).rgb();
}

// Fills and strokes the view paints itself may come out a step off where
// another platform rounds differently; a wrong colour is far more.
constexpr int tolerance = 2;

bool near(QRgb a, QRgb b, int within = tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= within && std::abs(qGreen(a) - qGreen(b)) <= within
        && std::abs(qBlue(a) - qBlue(b)) <= within;
}

// Every pixel of the rectangle, outside skipped, has the colour; the first that differs, if any.
std::optional<QPoint> firstOther(const QImage& image, const QRect& area, QRgb colour, const QRegion& skipped = {})
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (!near(image.pixel(x, y), colour) && !skipped.contains(QPoint(x, y)))
                return QPoint(x, y);
    return std::nullopt;
}

std::string where(const std::optional<QPoint>& p)
{
    return p ? std::to_string(p->x()) + "," + std::to_string(p->y()) : std::string("none");
}

} // namespace

class ViewPixels : public ViewTest {
protected:
    QImage render()
    {
        settle();
        return view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
};

TEST_F(ViewPixels, backgroundFillsTheWholeBodyOnEveryScreen)
{
    for (const auto screen : {InstallerScreen::ready, InstallerScreen::prerequisite, InstallerScreen::progress,
                              InstallerScreen::error, InstallerScreen::complete}) {
        showScreen(screen);
        const QImage image = render();
        SCOPED_TRACE(rawValue(screen).toStdString());
        ASSERT_EQ(image.size(), QSize(667, screen == InstallerScreen::complete ? 407 : 374));

        const int w = image.width();
        const int h = image.height();
        // The padding frame all round, one band per edge. A glyph may overhang
        // its text's box by the text's ink margins, and nothing else may.
        QRegion ink;
        for (const TextBlock* block : view->findChildren<TextBlock*>())
            if (block->isVisibleTo(view.get()))
                ink += placeOf(block);
        for (const QRect band : {QRect(0, 0, w, 30), QRect(0, h - 26, w, 26), QRect(0, 0, 32, h), QRect(w - 32, 0, 32, h)}) {
            // The primary button reaches into no padding; the header badge's outline stays inside.
            const auto other = firstOther(image, band, surface, ink);
            EXPECT_FALSE(other.has_value()) << where(other);
        }
        // The flexible gap above the footer is empty.
        const QRect content = QRect(view->content()->mapTo(view.get(), QPoint(0, 0)), view->content()->size());
        const QRect footer = QRect(view->footer()->mapTo(view.get(), QPoint(0, 0)), view->footer()->size());
        const QRect gap(0, content.bottom() + 1, w, footer.top() - content.bottom() - 1);
        EXPECT_GE(gap.height(), 23);
        const auto other = firstOther(image, gap, surface);
        EXPECT_FALSE(other.has_value()) << where(other);
    }
}

namespace {

// The ink of text drawn in one colour over the surface. However a platform's
// fonts rasterise and blend, every ink pixel lies on the way from the surface
// to the text colour, and the fullest ones come close to that colour: so a
// text in another colour shows as ink off that way or short of it.
struct Ink {
    int pixels = 0;       // pixels that differ from the surface
    double reach = 0;     // how far the fullest pixel goes towards the colour, 1 being all the way
    double offTheWay = 0; // the largest distance of a pixel from the way, in 8-bit steps
};

Ink inkOf(const QImage& image, const QRect& area, QRgb colour)
{
    const double way[3] = {double(qRed(colour) - qRed(surface)), double(qGreen(colour) - qGreen(surface)),
                           double(qBlue(colour) - qBlue(surface))};
    const double length2 = way[0] * way[0] + way[1] * way[1] + way[2] * way[2];
    Ink ink;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (near(p, surface))
                continue;
            ++ink.pixels;
            const double d[3] = {double(qRed(p) - qRed(surface)), double(qGreen(p) - qGreen(surface)),
                                 double(qBlue(p) - qBlue(surface))};
            const double along = (d[0] * way[0] + d[1] * way[1] + d[2] * way[2]) / length2;
            double off2 = 0;
            for (int c = 0; c < 3; ++c)
                off2 += (d[c] - along * way[c]) * (d[c] - along * way[c]);
            ink.reach = std::max(ink.reach, along);
            ink.offTheWay = std::max(ink.offTheWay, std::sqrt(off2));
        }
    return ink;
}

void expectInk(const QImage& image, const QRect& area, QRgb colour, int atLeast)
{
    const Ink ink = inkOf(image, area, colour);
    EXPECT_GT(ink.pixels, atLeast);
    EXPECT_GT(ink.reach, 0.85);
    EXPECT_LT(ink.reach, 1.03);
    EXPECT_LT(ink.offTheWay, 8.0);
}

} // namespace

TEST_F(ViewPixels, textsAreDrawnInTheirColours)
{
    const QRgb secondaryText = qRgb(0xB6, 0xBF, 0xAD);
    const QRgb accent = qRgb(0xC4, 0xDB, 0xA0);
    for (const auto screen : {InstallerScreen::ready, InstallerScreen::complete}) {
        showScreen(screen);
        const QImage image = render();
        SCOPED_TRACE(rawValue(screen).toStdString());
        EXPECT_EQ(placeOf(view->title()).top(), 30 + 31 + 21);
        {
            SCOPED_TRACE("title");
            expectInk(image, placeOf(view->title()), defaultText, 200);
        }
        {
            SCOPED_TRACE("brand");
            expectInk(image, placeOf(view->header()->brand()), defaultText, 50);
        }
        {
            SCOPED_TRACE("description");
            expectInk(image, placeOf(view->description()), secondaryText, 200);
        }
        {
            SCOPED_TRACE("link");
            expectInk(image, placeOf(view->header()->link()), secondaryText, 30);
        }
        {
            SCOPED_TRACE("badge glyph and outline");
            expectInk(image, QRect(32, 30, 31, 31), accent, 30);
        }
    }
}

TEST_F(ViewPixels, warningNoticeHasItsFillAndBorder)
{
    showScreen(InstallerScreen::prerequisite);
    const QImage image = render();
    const NoticeBox* notice = view->content()->notice();
    const QRect box(notice->mapTo(view.get(), QPoint(0, 0)), notice->size());
    EXPECT_EQ(box.width(), 667 - 64);

    const QRgb fill = fraction(0.2f, 0.18f, 0.13f);
    const QRgb border = fraction(0.35f, 0.29f, 0.19f);
    // Inside the left padding, clear of the glyph and the rounded corners.
    const auto other = firstOther(image, QRect(box.left() + 2, box.top() + 10, 10, box.height() - 20), fill);
    EXPECT_FALSE(other.has_value()) << where(other);
    // The straight runs of the border, away from the corners.
    for (const QPoint p : {QPoint(box.center().x(), box.top()), QPoint(box.center().x(), box.bottom()),
                           QPoint(box.left(), box.center().y()), QPoint(box.right(), box.center().y())})
        EXPECT_TRUE(near(image.pixel(p), border)) << p.x() << "," << p.y();
    // Just outside the box is the window again.
    EXPECT_TRUE(near(image.pixel(box.center().x(), box.top() - 1), surface));
    EXPECT_TRUE(near(image.pixel(box.center().x(), box.bottom() + 1), surface));
}

TEST_F(ViewPixels, plainNoticeUsesTheGreenLook)
{
    showScreen(InstallerScreen::ready);
    const QImage image = render();
    const NoticeBox* notice = view->content()->notice();
    const QRect box(notice->mapTo(view.get(), QPoint(0, 0)), notice->size());
    EXPECT_TRUE(near(image.pixel(box.left() + 5, box.center().y()), fraction(0.16f, 0.18f, 0.14f)));
    // The accent border at a quarter opacity over the fill.
    const QColor accent(0xC4, 0xDB, 0xA0);
    const QColor under = QColor::fromRgbF(0.16f, 0.18f, 0.14f);
    const QColor edge = QColor::fromRgb(image.pixel(box.center().x(), box.top()));
    EXPECT_NEAR(edge.red(), 0.25 * accent.red() + 0.75 * under.red(), tolerance);
    EXPECT_NEAR(edge.green(), 0.25 * accent.green() + 0.75 * under.green(), tolerance);
    EXPECT_NEAR(edge.blue(), 0.25 * accent.blue() + 0.75 * under.blue(), tolerance);
}

TEST_F(ViewPixels, keyboardFocusIsRingedInAccentAndAClickIsNot)
{
    constexpr QRgb accent = qRgb(0xC4, 0xDB, 0xA0);
    model->setDetail(QStringLiteral("Vexa Zuno 1.0.0 \u00B7 INSTALL_FAILED \u00B7 exit 3"));
    showScreen(InstallerScreen::error);
    view->content()->disclosure()->click();
    settle();
    // The ring's inner row or column of pixels, clear of the control, at the middle of each side.
    const auto ringed = [this](const QImage& image, const QWidget* control) {
        const QRect box(control->mapTo(view.get(), control->contentsRect().topLeft()), control->contentsRect().size());
        const int out = FocusRing::gap + 1;
        for (const QPoint p : {QPoint(box.center().x(), box.top() - out), QPoint(box.center().x(), box.bottom() + out),
                               QPoint(box.left() - out, box.center().y()), QPoint(box.right() + out, box.center().y())})
            if (!near(image.pixel(p), accent))
                return false;
        return true;
    };

    QWidget* detail = view->content()->detail();
    QWidget* previous = nullptr;
    for (QWidget* control : std::vector<QWidget*>{view->header()->link(), view->content()->disclosure(), detail,
                                                  secondary(), primary()}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), control);
        const QImage image = render();
        EXPECT_TRUE(ringed(image, control)) << control->metaObject()->className();
        if (previous != nullptr) {
            EXPECT_FALSE(ringed(image, previous)) << previous->metaObject()->className();
        }
        previous = control;
    }
    // A click into the details, to select, focuses them without a ring.
    QTest::mouseClick(detail, Qt::LeftButton);
    ASSERT_TRUE(detail->hasFocus());
    EXPECT_FALSE(ringed(render(), detail));
}

namespace {

// All of the block's ink, as it falls when drawn alone with no bounds at all,
// is in the rendered window.
void expectAllInk(const QImage& window, const QWidget& view, const TextBlock& block, const QColor& colour)
{
    constexpr int room = 20; // around the window, for ink that would fall outside it
    QImage alone(window.size().grownBy(QMargins(room, room, room, room)), QImage::Format_RGB32);
    alone.fill(surface);
    const QRect box = block.textBox().translated(block.mapTo(&view, QPoint(0, 0)));
    {
        QPainter painter(&alone);
        painter.setPen(colour);
        WrappedText(block.text(), block.font(), block.lineSpacing()).draw(painter, box.topLeft() + QPoint(room, room), box.width());
    }
    // Ink that shows alone but not in the window is lost: cut off by a box or
    // the window's edge. Faint edge pixels, which the two drawings may blend a
    // little differently, are not counted either way.
    constexpr int faint = 16;
    int ink = 0;
    int lost = 0;
    for (int y = 0; y < alone.height(); ++y)
        for (int x = 0; x < alone.width(); ++x) {
            if (near(alone.pixel(x, y), surface, faint))
                continue;
            ++ink;
            const QPoint at(x - room, y - room);
            lost += !window.rect().contains(at) || near(window.pixel(at), surface, faint / 2);
        }
    EXPECT_GT(ink, 100) << block.text().toStdString();
    EXPECT_EQ(lost, 0) << block.text().toStdString();
}

} // namespace

TEST_F(ViewPixels, noInkOfATitleDescriptionOrCaptionIsLost)
{
    // Marks above capitals, descenders, and glyphs that overhang a line's start or end.
    const QString marks = QStringLiteral("\u00D6\u0130\u00DC\u011E\u015E gjpqy");
    const QString lines = QStringLiteral("j") + marks + QStringLiteral(" T") + marks + QStringLiteral(" ") + marks +
                          QStringLiteral(" ") + marks + QStringLiteral(" ") + marks + QStringLiteral(" ") + marks +
                          QStringLiteral(" ") + marks + QStringLiteral(" ") + marks + QStringLiteral(" jy");
    QTemporaryDir bundle;
    ASSERT_TRUE(QDir().mkpath(bundle.filePath(QStringLiteral("Contents/Resources/en.lproj"))));
    QFile table(bundle.filePath(QStringLiteral("Contents/Resources/en.lproj/Localizable.strings")));
    ASSERT_TRUE(table.open(QIODevice::WriteOnly));
    for (const char* key : {"readyTitle", "progressTitle"})
        table.write("\"" + QByteArray(key) + "\" = \"" + (marks + QStringLiteral(" \u00D6nce")).toUtf8() + "\";\n");
    for (const char* key : {"readyDescription", "progressDescription"})
        table.write("\"" + QByteArray(key) + "\" = \"" + lines.toUtf8() + "\";\n");
    table.write("\"keepOpen\" = \"" + marks.toUtf8() + "\";\n");
    table.close();
    replaceInstallerCopy(InstallerCopy({QStringLiteral("en")}, Bundle(bundle.path())));

    for (const auto screen : {InstallerScreen::ready, InstallerScreen::progress}) {
        showScreen(screen);
        SCOPED_TRACE(rawValue(screen).toStdString());
        ASSERT_EQ(view->title()->text(), marks + QStringLiteral(" \u00D6nce"));
        ASSERT_GT(view->description()->lineCount(view->description()->width()), 1);
        const QImage image = render();
        expectAllInk(image, *view, *view->title(), Palette::defaultText());
        expectAllInk(image, *view, *view->description(), Palette::secondaryText());
        if (screen == InstallerScreen::progress) // the caption alone in the footer row
            expectAllInk(image, *view, *view->footer()->caption(), Palette::caption());
        // The ink reaches past the boxes; the boxes stay where they were.
        EXPECT_EQ(placeOf(view->title()).top() + view->title()->textBox().top(), 30 + 31 + 21);
    }
}

} // namespace ZunoInstaller
