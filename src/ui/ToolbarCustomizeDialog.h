#pragma once

// The toolbar's customisation: the allowed items with a tick for those shown, moved up
// and down to order them, and the default set back with one button. Every change applies
// at once (and is saved by the toolbar), as the desktop does it.
//
// Thread: main.

#include <QDialog>
#include <QStringList>

class QListWidget;

namespace orvanta::ui {

class ToolbarCustomizeDialog : public QDialog
{
    Q_OBJECT
public:
    ToolbarCustomizeDialog(const QStringList& shown, QWidget* parent = nullptr);

    /// The items ticked, in the list's order.
    QStringList chosenItems() const;
    QListWidget* list() const { return m_list; }
    void moveCurrent(int delta);
    void restoreDefaults();

signals:
    void itemsChanged(const QStringList& items);

private:
    void fill(const QStringList& shown);

    QListWidget* m_list;
    bool m_filling = false;
};

} // namespace orvanta::ui
