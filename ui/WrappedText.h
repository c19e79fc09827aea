#pragma once

#include <QFont>
#include <QMargins>
#include <QPointF>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class QPainter;
class QTextLayout;

namespace ZunoInstaller {

// One paragraph laid out at a width: wrapped at word boundaries (inside a word
// only when a word alone is wider), each line as high as the font's line
// height, lineSpacing extra between consecutive lines and none after the last.
//
// The text is shaped once, on first use, and kept: asking again, or at
// another width, only breaks the shaped text into lines again, and the line
// count at each width asked is remembered.
class WrappedText {
public:
    WrappedText(QString text = {}, QFont font = {}, qreal lineSpacing = 0);
    ~WrappedText();
    WrappedText(WrappedText&&) noexcept;
    WrappedText& operator=(WrappedText&&) noexcept;

    int lineCount(qreal width) const;
    qreal height(qreal width) const;
    qreal naturalWidth() const; // the width of the widest line when nothing wraps
    // How far the ink may reach past the lines' box on each side at any width:
    // above the first line (marks over capitals), below the last (descenders),
    // and past either end of a line, whichever glyph starts or ends it.
    QMargins inkMargins() const;
    void draw(QPainter& painter, QPointF topLeft, qreal width) const;

    // Characters that every WrappedText so far has handed to Qt to shape:
    // the work of laying texts out, counted instead of timed.
    static qint64 shapedCharacters();

private:
    // The shaped text broken into lines at width, stacked from y = 0.
    const QTextLayout& layout(qreal width) const;

    QString m_text;
    QFont m_font;
    qreal m_lineSpacing;

    mutable std::unique_ptr<QTextLayout> m_layout;
    mutable std::optional<qreal> m_layoutWidth;
    mutable std::vector<std::pair<qreal, int>> m_lineCounts;
    mutable std::optional<qreal> m_naturalWidth;
    mutable std::optional<QMargins> m_ink;
};

} // namespace ZunoInstaller
