#include "platform/Bundle.h"
#include "ui/Palette.h"

#include <QColorSpace>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

using namespace ZunoInstaller;

namespace {

struct Icon {
    QString path;
    QList<QImage> images;
};

// The icon file Info.plist names, with every image in it. On macOS through
// iconutil, which also checks that each of the ten iconset entries (16 to 512
// points, at 1x and 2x) is there at its size; elsewhere through Qt's reader.
Icon bundleIcon()
{
    const Bundle bundle(qEnvironmentVariable("ZUNO_TEST_BUNDLE"));
    Icon icon;
    const std::optional<QString> name = bundle.infoString(QStringLiteral("CFBundleIconFile"));
    EXPECT_EQ(name, QStringLiteral("ZunoInstaller.icns"));
    icon.path = QDir(bundle.resourcePath()).filePath(name.value_or(QString()));
#ifdef Q_OS_MACOS
    QTemporaryDir scratch;
    const QString iconset = scratch.filePath(QStringLiteral("ZunoInstaller.iconset"));
    EXPECT_EQ(QProcess::execute(QStringLiteral("iconutil"), {QStringLiteral("--convert"), QStringLiteral("iconset"),
                                                             QStringLiteral("--output"), iconset, icon.path}),
              0);
    for (const int points : {16, 32, 128, 256, 512}) {
        for (const int scale : {1, 2}) {
            const QString entry = QStringLiteral("icon_%1x%1%2.png").arg(points).arg(scale == 2 ? QStringLiteral("@2x") : QString());
            const QImage image(QDir(iconset).filePath(entry));
            EXPECT_EQ(image.size(), QSize(points * scale, points * scale)) << entry.toStdString();
            icon.images << image;
        }
    }
#else
    QImageReader reader(icon.path);
    QImage image;
    while (reader.read(&image)) {
        icon.images << image;
        if (!reader.jumpToNextImage())
            break;
    }
#endif
    return icon;
}

} // namespace

TEST(BundleIcon, CarriesEverySizeFrom16To1024Pixels)
{
    const Icon icon = bundleIcon();
    std::set<int> widths;
    for (const QImage& image : icon.images) {
        EXPECT_EQ(image.width(), image.height());
        widths.insert(image.width());
    }
#ifdef Q_OS_MACOS
    const std::set<int> expected{16, 32, 64, 128, 256, 512, 1024};
#else
    // Pillow, which assembles the file here, has no 16-pixel type.
    const std::set<int> expected{32, 64, 128, 256, 512, 1024};
#endif
    EXPECT_EQ(widths, expected) << icon.path.toStdString();
}

TEST(BundleIcon, IsTheBadgeInTheWindowsColours)
{
    const Icon icon = bundleIcon();
    ASSERT_FALSE(icon.images.isEmpty());
    QImage largest = icon.images.front();
    for (const QImage& image : icon.images)
        if (image.width() > largest.width())
            largest = image;
    // Seen as the screen shows it: a colour profile that a round trip through
    // the platform's tools may attach is applied, not read past.
    if (largest.colorSpace().isValid() && largest.colorSpace() != QColorSpace(QColorSpace::SRgb))
        largest.convertToColorSpace(QColorSpace(QColorSpace::SRgb));
    // Points of the 1024 grid: outside the rounded body, on the body beside the
    // glyph, and on the left arrow's shaft. Compression and conversion may move
    // a colour by a step or two; a wrong colour is far more.
    const auto at = [&](int x, int y) { return largest.pixelColor(x * largest.width() / 1024, y * largest.width() / 1024); };
    const auto near = [](const QColor& seen, const QColor& expected) {
        return seen.alpha() == 255 && std::abs(seen.red() - expected.red()) <= 3
            && std::abs(seen.green() - expected.green()) <= 3 && std::abs(seen.blue() - expected.blue()) <= 3;
    };
    EXPECT_LE(at(20, 20).alpha(), 3);
    EXPECT_TRUE(near(at(250, 600), Palette::surface())) << at(250, 600).name(QColor::HexArgb).toStdString();
    EXPECT_TRUE(near(at(428, 600), Palette::accent())) << at(428, 600).name(QColor::HexArgb).toStdString();
}

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
