#pragma once

// The presets window: the preset pop-up with the commands on the presets (save, save as,
// rename, delete), the pop-up of the option panes, the pane shown, and a footer with the
// save button, lit while the working copy has unsaved changes. The panes are plug-ins
// (PresetPaneLoader); they edit the working copy through PresetStoreObject. Name sheets and
// the name-taken alert are window-modal and never block the program.
//
// Ownership: owns the plug-in loader, the store object the panes talk to and its widgets;
// borrows the preset store. Thread: main.

#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolButton;
class QVBoxLayout;

namespace orvanta {
class PresetsController;
enum class PresetCommand;
struct NameSheet;
} // namespace orvanta

namespace orvanta::ui {

class PresetPaneLoader;
class PresetStoreObject;

class PresetsWindow : public QWidget
{
    Q_OBJECT
public:
    /// panesFolder empty: PresetPaneLoader::defaultFolder().
    explicit PresetsWindow(PresetsController& presets, const QString& panesFolder = {},
                           QWidget* parent = nullptr);
    ~PresetsWindow() override;

    /// Selects that preset and shows the window; while a name sheet is open, only brings
    /// the window forward (with a beep).
    void showWindowForPresetID(const std::string& identifier);
    /// Brings forward the open sheet or the window, or refreshes and shows it.
    void showWindow();
    /// Rebuilds the pop-up, shows the chosen pane, applies the dirty state.
    void refreshDisplay();

    // The commands, as the menu and the buttons run them.
    void savePreset();
    void saveAsPreset();
    void renamePreset();
    void deletePreset();

    QComboBox* presetsPopUp() const { return m_presetsPopUp; }
    QComboBox* panesPopUp() const { return m_panesPopUp; }
    QPushButton* saveButton() const { return m_saveButton; }
    QLabel* footerLabel() const { return m_footer; }
    QAction* commandAction(PresetCommand command) const;
    /// The name sheet open now, or nullptr; its text field and label.
    QDialog* nameSheet() const { return m_sheet; }
    QLineEdit* nameSheetField() const { return m_sheetField; }
    QLabel* nameSheetLabel() const { return m_sheetLabel; }
    /// The name-taken alert open now, or nullptr.
    QMessageBox* nameTakenAlert() const { return m_alert; }
    /// The view of the pane shown, or nullptr.
    QWidget* paneView() const { return m_paneView; }
    const PresetPaneLoader& panes() const { return *m_loader; }

private:
    void buildPanesPopUp();
    void selectAPreset(int index);
    void showSelectedPane();
    void applyDirty();
    void updateCommands();
    void openNameSheet(const NameSheet& sheet);
    void nameSheetEnded(const NameSheet& sheet, bool accepted, const QString& name);

    PresetsController& m_presets;
    std::unique_ptr<PresetPaneLoader> m_loader;
    std::unique_ptr<PresetStoreObject> m_store;
    QComboBox* m_presetsPopUp;
    QToolButton* m_commandsButton;
    QMenu* m_commandsMenu;
    QComboBox* m_panesPopUp;
    QWidget* m_paneArea;
    QVBoxLayout* m_paneLayout;
    QPointer<QWidget> m_paneView;
    QLabel* m_footer;
    QPushButton* m_saveButton;
    QAction* m_save;
    QAction* m_saveAs;
    QAction* m_rename;
    QAction* m_delete;
    QPointer<QDialog> m_sheet;
    QLineEdit* m_sheetField = nullptr;
    QLabel* m_sheetLabel = nullptr;
    QPointer<QMessageBox> m_alert;
    bool m_filling = false;
};

} // namespace orvanta::ui
