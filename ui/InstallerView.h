#pragma once

#include <QWidget>

namespace ZunoInstaller {

class FocusRing;
class Footer;
class HeaderRow;
class InstallerModel;
class ScreenContent;
class TextBlock;

// The whole content of the installer window, bound to the model: after every
// change it shows the current screen's title, description, content and footer,
// looking each text up again. Children are kept and updated in place, so
// keyboard focus and the open technical details survive every change.
class InstallerView : public QWidget {
    Q_OBJECT
public:
    explicit InstallerView(InstallerModel* model, QWidget* parent = nullptr);

    bool detailsOpen() const { return m_detailsOpen; }

    HeaderRow* header() const { return m_header; }
    TextBlock* title() const { return m_title; }
    TextBlock* description() const { return m_description; }
    ScreenContent* content() const { return m_content; }
    Footer* footer() const { return m_footer; }
    FocusRing* focusRing() const { return m_focusRing; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();
    void activateDefault();

    InstallerModel* m_model;
    bool m_detailsOpen = false;
    HeaderRow* m_header;
    TextBlock* m_title;
    TextBlock* m_description;
    ScreenContent* m_content;
    Footer* m_footer;
    FocusRing* m_focusRing;
};

} // namespace ZunoInstaller
