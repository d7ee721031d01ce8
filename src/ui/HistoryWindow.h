#pragma once

// The history window: the recordings of the station shown in the main window, one row per
// file, with their status pictures, tags and where each file is. Entries of dropped files
// are grey; a file that is gone from the disc says so. Double-click plays a file in the
// user's player; the context menu shows it in its folder or copies its location; rows drag
// out as files to a file manager or player; the corner button and the Delete key remove the
// selected entries from the history (the files stay).
//
// Ownership: owns its history model; borrows the library controller (to save after edits)
// and the preferences (window geometry). Thread: main.

#include <QIdentityProxyModel>
#include <QWidget>

#include <memory>

class QTableView;
class QToolButton;

namespace orvanta {
class HistoryController;
class MyOLVController;
class Node;
class PrefsController;
} // namespace orvanta

namespace orvanta::ui {

/// The history as the window shows it: pictures, grey rows, missing files, dragging out.
class HistoryDisplayModel : public QIdentityProxyModel
{
    Q_OBJECT
public:
    explicit HistoryDisplayModel(HistoryController& history, QObject* parent = nullptr);
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

    /// The file of a row when it is on disc; empty otherwise.
    QString existingFileOfRow(int row) const;
    /// Whether the row names a file that is no longer there.
    bool fileIsGone(int row) const;

private:
    QString locationOfRow(int row) const;

    HistoryController& m_history;
};

class HistoryWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr const char* kGeometryKey = "Orvanta History Window";

    HistoryWindow(MyOLVController& library, PrefsController& prefs, QWidget* parent = nullptr);
    ~HistoryWindow() override;

    /// Shows the history of a stream (its list is created when missing), or none.
    void setNode(Node* node);
    /// Entries were added to the list shown.
    void needsDisplay();
    /// Removes the selected entries from the history.
    void clearSelected();

    HistoryController& history() const { return *m_history; }
    HistoryDisplayModel& display() const { return *m_display; }
    QTableView* table() const { return m_table; }
    QToolButton* clearButton() const { return m_clear; }

    void playRow(int row);
    void showRowInFolder(int row);
    void copyLocationOfRow(int row);
    /// Opens the cut editor on the cut at the start of the row's file, or says why not.
    void adjustCutOfRow(int row);
    /// The cut editor on the cut at the start of file (a recording of the station shown).
    void adjustCutOfFile(const QString& file);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showContextMenu(const QPoint& position);
    void updateTitle();

    MyOLVController& m_library;
    PrefsController& m_prefs;
    std::weak_ptr<Node> m_node; // the station shown
    std::unique_ptr<HistoryController> m_history;
    HistoryDisplayModel* m_display;
    QTableView* m_table;
    QToolButton* m_clear;
};

} // namespace orvanta::ui
