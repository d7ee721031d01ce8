#include "PresetsWindow.h"

#include "QtStrings.h"

#include "PresetPane.h"
#include "PresetPaneLoader.h"
#include "PresetStoreObject.h"
#include "PresetsController.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

namespace orvanta::ui {

PresetsWindow::PresetsWindow(PresetsController& presets, const QString& panesFolder,
                             QWidget* parent)
    : QWidget(parent, Qt::Window), m_presets(presets),
      m_loader(std::make_unique<PresetPaneLoader>()),
      m_store(std::make_unique<PresetStoreObject>(presets)), m_presetsPopUp(new QComboBox(this)),
      m_commandsButton(new QToolButton(this)), m_commandsMenu(new QMenu(this)),
      m_panesPopUp(new QComboBox(this)), m_paneArea(new QWidget(this)),
      m_paneLayout(new QVBoxLayout(m_paneArea)), m_footer(new QLabel(this)),
      m_saveButton(new QPushButton(tr("Save"), this))
{
    setWindowTitle(tr("Presets"));
    setObjectName(QStringLiteral("presetsWindow"));
    m_loader->loadFolder(panesFolder.isEmpty() ? PresetPaneLoader::defaultFolder() : panesFolder);

    m_save = m_commandsMenu->addAction(tr("Save"), this, &PresetsWindow::savePreset);
    m_saveAs = m_commandsMenu->addAction(tr("Save As..."), this, &PresetsWindow::saveAsPreset);
    m_rename = m_commandsMenu->addAction(tr("Rename..."), this, &PresetsWindow::renamePreset);
    m_commandsMenu->addSeparator();
    m_delete = m_commandsMenu->addAction(tr("Delete"), this, &PresetsWindow::deletePreset);
    m_save->setShortcut(QKeySequence::Save);
    m_saveAs->setShortcut(QKeySequence::SaveAs);
    addActions({m_save, m_saveAs, m_rename, m_delete});
    connect(m_commandsMenu, &QMenu::aboutToShow, this, &PresetsWindow::updateCommands);
    m_commandsButton->setText(tr("Preset"));
    m_commandsButton->setAccessibleName(tr("Preset commands"));
    m_commandsButton->setMenu(m_commandsMenu);
    m_commandsButton->setPopupMode(QToolButton::InstantPopup);

    auto* header = new QHBoxLayout;
    auto* presetLabel = new QLabel(tr("&Preset:"), this);
    presetLabel->setBuddy(m_presetsPopUp);
    auto* paneLabel = new QLabel(tr("&Options:"), this);
    paneLabel->setBuddy(m_panesPopUp);
    m_presetsPopUp->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_presetsPopUp->setMinimumContentsLength(16);
    header->addWidget(presetLabel);
    header->addWidget(m_presetsPopUp, 1);
    header->addWidget(m_commandsButton);
    header->addSpacing(12);
    header->addWidget(paneLabel);
    header->addWidget(m_panesPopUp);

    m_paneLayout->setContentsMargins(0, 0, 0, 0);
    m_footer->setWordWrap(true);
    m_footer->setObjectName(QStringLiteral("presetsFooter"));
    auto* footer = new QHBoxLayout;
    footer->addWidget(m_footer, 1);
    footer->addWidget(m_saveButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(m_paneArea, 1);
    layout->addLayout(footer);

    connect(m_presetsPopUp, &QComboBox::activated, this, &PresetsWindow::selectAPreset);
    connect(m_panesPopUp, &QComboBox::activated, this, [this] { refreshDisplay(); });
    connect(m_saveButton, &QPushButton::clicked, this, &PresetsWindow::savePreset);
    connect(m_store.get(), &PresetStoreObject::dirtyChanged, this, &PresetsWindow::applyDirty);

    buildPanesPopUp();
    refreshDisplay();
}

PresetsWindow::~PresetsWindow()
{
    // The panes' widgets go while their plug-ins' code is still loaded (it stays loaded).
    delete m_paneView;
}

void PresetsWindow::buildPanesPopUp()
{
    // The shipped panes' names, for the translators; another plug-in's shows as it is.
    static const char* const kShippedPaneNames[] = {
        QT_TRANSLATE_NOOP("orvanta::ui::PresetsWindow", "Playlist"),
        QT_TRANSLATE_NOOP("orvanta::ui::PresetsWindow", "Splitting"),
        QT_TRANSLATE_NOOP("orvanta::ui::PresetsWindow", "Stream Title"),
        QT_TRANSLATE_NOOP("orvanta::ui::PresetsWindow", "Tagging"),
    };
    Q_UNUSED(kShippedPaneNames);
    m_panesPopUp->clear();
    for (const QString& name : m_loader->names())
        m_panesPopUp->addItem(tr(name.toUtf8().constData()), name);
}

QAction* PresetsWindow::commandAction(PresetCommand command) const
{
    switch (command) {
    case PresetCommand::Save:
        return m_save;
    case PresetCommand::SaveAs:
        return m_saveAs;
    case PresetCommand::Rename:
        return m_rename;
    case PresetCommand::Delete:
        return m_delete;
    case PresetCommand::Other:
        break;
    }
    return nullptr;
}

void PresetsWindow::showWindowForPresetID(const std::string& identifier)
{
    if (m_sheet || m_alert || m_presets.isBusySheet()) {
        raise();
        activateWindow();
        QApplication::beep();
        return;
    }
    m_presets.selectPresetWithID(identifier);
    refreshDisplay();
    show();
    raise();
    activateWindow();
}

void PresetsWindow::showWindow()
{
    if (isVisible()) {
        QWidget* front = m_alert   ? static_cast<QWidget*>(m_alert.data())
                         : m_sheet ? static_cast<QWidget*>(m_sheet.data())
                                   : this;
        front->raise();
        front->activateWindow();
        return;
    }
    refreshDisplay();
    show();
    raise();
    activateWindow();
}

void PresetsWindow::refreshDisplay()
{
    {
        const QSignalBlocker blocker(m_presetsPopUp);
        m_presetsPopUp->clear();
        const PresetsPopUp popUp = m_presets.presetsPopUp();
        for (const PresetMenuEntry& entry : popUp.entries) {
            if (entry.separator)
                m_presetsPopUp->insertSeparator(m_presetsPopUp->count());
            else
                m_presetsPopUp->addItem(qs(entry.title), qs(entry.identifier));
        }
        m_presetsPopUp->setCurrentIndex(static_cast<int>(popUp.selectedIndex));
    }
    showSelectedPane();
    applyDirty();
}

void PresetsWindow::showSelectedPane()
{
    PresetPane* pane = m_loader->pane(m_panesPopUp->currentData().toString());
    QWidget* view = pane ? pane->loadMainView() : nullptr;
    if (pane)
        pane->willSelect();
    if (m_paneView && m_paneView != view) {
        m_paneLayout->removeWidget(m_paneView);
        m_paneView->hide();
    }
    if (view) {
        view = pane->mainView();
        if (view != m_paneView) {
            // Centred between the header and the footer.
            view->setParent(m_paneArea);
            m_paneLayout->addWidget(view, 0, Qt::AlignHCenter | Qt::AlignTop);
        }
        view->show();
    }
    m_paneView = view;
    if (pane)
        pane->didSelect();
    adjustSize();
}

void PresetsWindow::applyDirty()
{
    const bool dirty = m_presets.isDirty();
    m_saveButton->setEnabled(dirty);
    m_saveButton->setDefault(dirty);
    m_footer->setText(qs(m_presets.footerText()));
    updateCommands();
}

void PresetsWindow::updateCommands()
{
    for (PresetCommand command :
         {PresetCommand::Save, PresetCommand::SaveAs, PresetCommand::Rename, PresetCommand::Delete})
        commandAction(command)->setEnabled(m_presets.validateMenuItem(command));
}

void PresetsWindow::selectAPreset(int index)
{
    const std::string identifier = m_presetsPopUp->itemData(index).toString().toStdString();
    if (identifier.empty())
        return;
    if (m_presets.selectAPreset(identifier))
        refreshDisplay();
}

void PresetsWindow::savePreset()
{
    if (m_sheet || m_alert)
        return;
    // An edit still in a text field is taken before saving.
    if (QWidget* focused = QApplication::focusWidget(); focused && isAncestorOf(focused))
        focused->clearFocus();
    if (const std::optional<NameSheet> sheet = m_presets.savePreset())
        openNameSheet(*sheet);
    else
        refreshDisplay();
}

void PresetsWindow::saveAsPreset()
{
    if (m_sheet || m_alert)
        return;
    openNameSheet(m_presets.saveAsPreset());
}

void PresetsWindow::renamePreset()
{
    if (m_sheet || m_alert)
        return;
    if (const std::optional<NameSheet> sheet = m_presets.renamePreset())
        openNameSheet(*sheet);
}

void PresetsWindow::deletePreset()
{
    if (m_sheet || m_alert)
        return;
    if (m_presets.deletePreset())
        refreshDisplay();
}

void PresetsWindow::openNameSheet(const NameSheet& sheet)
{
    auto* dialog = new QDialog(this);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(windowTitle());
    m_sheetLabel = new QLabel(qs(sheet.label), dialog);
    m_sheetField = new QLineEdit(qs(sheet.name), dialog);
    m_sheetField->selectAll();
    m_sheetLabel->setBuddy(m_sheetField);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(m_sheetLabel);
    layout->addWidget(m_sheetField);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    QLineEdit* field = m_sheetField;
    connect(dialog, &QDialog::finished, this, [this, sheet, field](int result) {
        nameSheetEnded(sheet, result == QDialog::Accepted, field->text());
    });
    m_sheet = dialog;
    dialog->open();
}

void PresetsWindow::nameSheetEnded(const NameSheet& sheet, bool accepted, const QString& name)
{
    m_sheet = nullptr;
    m_sheetField = nullptr;
    m_sheetLabel = nullptr;
    const NameSheetOutcome outcome =
        m_presets.closeNameInputPanel(sheet, accepted, name.toStdString());
    if (outcome.nameTaken) {
        // Nothing was stored; after the alert the same command asks again.
        auto* alert = new QMessageBox(QMessageBox::Warning, windowTitle(), qs(outcome.alertTitle),
                                      QMessageBox::Ok, this);
        alert->setInformativeText(qs(outcome.alertMessage));
        alert->setWindowModality(Qt::WindowModal);
        alert->setAttribute(Qt::WA_DeleteOnClose);
        const NameSheetAction action = sheet.action;
        connect(alert, &QMessageBox::finished, this, [this, action] {
            m_alert = nullptr;
            if (action == NameSheetAction::SaveAs)
                openNameSheet(m_presets.saveAsPreset());
            else if (const std::optional<NameSheet> again = m_presets.renamePreset())
                openNameSheet(*again);
        });
        m_alert = alert;
        alert->open();
        return;
    }
    refreshDisplay();
}

} // namespace orvanta::ui
