#pragma once

#include <QWidget>

namespace ZunoInstaller {

class ActionButton;
class InstallerModel;
class TextBlock;

// The bottom row: a muted caption or a secondary action at the leading edge,
// the primary action at the trailing edge, as the current screen asks.
class Footer : public QWidget {
    Q_OBJECT
public:
    explicit Footer(InstallerModel* model, QWidget* parent = nullptr);

    void refresh();

    // Room past the row for its caption's ink; the view lays the footer out
    // by its row, and the row keeps to it inside these margins.
    QMargins inkMargins() const;

    TextBlock* caption() const { return m_caption; }
    ActionButton* secondary() const { return m_secondary; }
    ActionButton* primary() const { return m_primary; }

private:
    void performPrimary();
    void performSecondary();

    InstallerModel* m_model;
    TextBlock* m_caption;
    ActionButton* m_secondary;
    ActionButton* m_primary;
};

} // namespace ZunoInstaller
