#pragma once

// The stream-title pane: how a station's title splits into artist, title and album, the
// text encoding of its titles, and the words to remove and the titles to ignore.

#include "PaneSupport.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace panes {

class StreamTitlePresetPane : public PaneBase
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID ORVANTA_PRESET_PANE_IID FILE "streamtitle.json")
    Q_INTERFACES(orvanta::PresetPane)
public:
    void mainViewDidLoad() override;

    QComboBox* patternPopUp = nullptr;
    QLineEdit* separatorTextField = nullptr;
    QComboBox* languageEncodingPopUp = nullptr;
    QCheckBox* cleanCheckbox = nullptr;
    QCheckBox* ignoreCheckbox = nullptr;
    QListWidget* cleanTable = nullptr;
    QListWidget* ignoreTable = nullptr;
    QPushButton* cleanAddButton = nullptr;
    QPushButton* cleanRemoveButton = nullptr;
    QPushButton* ignoreAddButton = nullptr;
    QPushButton* ignoreRemoveButton = nullptr;

protected:
    QWidget* buildView() override;

private:
    struct EditableList
    {
        const char* key;
        QListWidget* table;
        QPushButton* remove;
        QStringList* items;
    };
    QWidget* buildList(QWidget* parent, QListWidget*& table, QPushButton*& add,
                       QPushButton*& remove);
    void wireList(const EditableList& list, QPushButton* add);
    void storeList(const EditableList& list);
    void refreshTables();

    // The pane's own copies of the two lists, taken when the view is filled.
    QStringList m_cleanList;
    QStringList m_ignoreList;
    bool m_filling = false;
};

} // namespace panes
