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

namespace ZunoInstaller {

namespace {

const QRgb surface = qRgb(0x20, 0x24, 0x1E);
const QRgb defaultText = qRgb(0xEF, 0xF1, 0xEB);

QRgb fraction(float r, float g, float b)
{
    return QColor::fromRgbF(r, g, b).rgb();
}

// Every pixel of the rectangle, outside skipped, has the colour; the first that differs, if any.
std::optional<QPoint> firstOther(const QImage& image, const QRect& area, QRgb colour, const QRegion& skipped = {})
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixel(x, y) != colour && !skipped.contains(QPoint(x, y)))
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

int countExact(const QImage& image, const QRect& area, QRgb colour)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += image.pixel(x, y) == colour;
    return count;
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
        // Solid interior pixels of the strokes carry the exact colour.
        EXPECT_GT(countExact(image, placeOf(view->title()), defaultText), 50);
        EXPECT_GT(countExact(image, placeOf(view->header()->brand()), defaultText), 10);
        EXPECT_GT(countExact(image, placeOf(view->description()), secondaryText), 20);
        EXPECT_GT(countExact(image, placeOf(view->header()->link()), secondaryText), 5);
        EXPECT_GT(countExact(image, QRect(32, 30, 31, 31), accent), 5); // the badge glyph
        EXPECT_EQ(countExact(image, placeOf(view->title()), secondaryText), 0);
        EXPECT_EQ(countExact(image, placeOf(view->description()), defaultText), 0);
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
        EXPECT_EQ(image.pixel(p), border) << p.x() << "," << p.y();
    // Just outside the box is the window again.
    EXPECT_EQ(image.pixel(box.center().x(), box.top() - 1), surface);
    EXPECT_EQ(image.pixel(box.center().x(), box.bottom() + 1), surface);
}

TEST_F(ViewPixels, plainNoticeUsesTheGreenLook)
{
    showScreen(InstallerScreen::ready);
    const QImage image = render();
    const NoticeBox* notice = view->content()->notice();
    const QRect box(notice->mapTo(view.get(), QPoint(0, 0)), notice->size());
    EXPECT_EQ(image.pixel(box.left() + 5, box.center().y()), fraction(0.16f, 0.18f, 0.14f));
    // The accent border at a quarter opacity over the fill.
    const QColor accent(0xC4, 0xDB, 0xA0);
    const QColor under = QColor::fromRgbF(0.16f, 0.18f, 0.14f);
    const QColor edge = QColor::fromRgb(image.pixel(box.center().x(), box.top()));
    EXPECT_NEAR(edge.red(), 0.25 * accent.red() + 0.75 * under.red(), 1.5);
    EXPECT_NEAR(edge.green(), 0.25 * accent.green() + 0.75 * under.green(), 1.5);
    EXPECT_NEAR(edge.blue(), 0.25 * accent.blue() + 0.75 * under.blue(), 1.5);
}

TEST_F(ViewPixels, keyboardFocusIsRingedInAccentAndAClickIsNot)
{
    const QRgb accent = qRgb(0xC4, 0xDB, 0xA0);
    model->setDetail(QStringLiteral("Vexa Zuno 1.0.0 \u00B7 INSTALL_FAILED \u00B7 exit 3"));
    showScreen(InstallerScreen::error);
    view->content()->disclosure()->click();
    settle();
    // The ring's inner row or column of pixels, clear of the control, at the middle of each side.
    const auto ringed = [this, accent](const QImage& image, const QWidget* control) {
        const QRect box(control->mapTo(view.get(), control->contentsRect().topLeft()), control->contentsRect().size());
        const int out = FocusRing::gap + 1;
        for (const QPoint p : {QPoint(box.center().x(), box.top() - out), QPoint(box.center().x(), box.bottom() + out),
                               QPoint(box.left() - out, box.center().y()), QPoint(box.right() + out, box.center().y())})
            if (image.pixel(p) != accent)
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
// is in the rendered window, pixel for pixel.
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
    int ink = 0;
    int lost = 0;
    for (int y = 0; y < alone.height(); ++y)
        for (int x = 0; x < alone.width(); ++x) {
            if (alone.pixel(x, y) == surface)
                continue;
            ++ink;
            const QPoint at(x - room, y - room);
            lost += !window.rect().contains(at) || window.pixel(at) != alone.pixel(x, y);
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
