#include "resources/icon/WindowIcon.h"

#include <QDir>
#include <QIconEngine>
#include <QImageReader>
#include <QPixmap>

#include <memory>

namespace ZunoInstaller {

namespace {

QIcon decodeIcon()
{
    QIcon icon;
    const QDir sizes(QStringLiteral(":/zuno-icon"));
    for (const QString& name : sizes.entryList(QDir::Files)) {
        // Named as PNG, without detection: detection loads every image format
        // plugin first, which costs start-up ten times what the four PNGs do.
        QImageReader reader(sizes.filePath(name), "png");
        reader.setAutoDetectImageFormat(false);
        const QImage image = reader.read();
        if (!image.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

// Decodes the PNGs when a window system first asks for the icon, not at
// start-up: some never ask (the offscreen platform), and the others ask when
// they create the window, where the icon is needed in any case.
class DecodeOnUse : public QIconEngine {
public:
    DecodeOnUse() = default;
    DecodeOnUse(const DecodeOnUse& other)
        : QIconEngine(other)
        , m_icon(other.m_icon)
    {
    }

    QIconEngine* clone() const override { return new DecodeOnUse(*this); }
    QString key() const override { return QStringLiteral("ZunoInstaller.DecodeOnUse"); }
    bool isNull() override { return false; } // the four sizes are compiled in

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        return icon().pixmap(size, scale, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return icon().availableSizes(mode, state);
    }

private:
    const QIcon& icon()
    {
        if (!m_icon)
            m_icon = std::make_shared<QIcon>(decodeIcon());
        return *m_icon;
    }

    std::shared_ptr<QIcon> m_icon;
};

} // namespace

QIcon windowIcon()
{
    return QIcon(new DecodeOnUse);
}

} // namespace ZunoInstaller
