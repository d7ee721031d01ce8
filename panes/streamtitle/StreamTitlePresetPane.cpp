#include "StreamTitlePresetPane.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace panes {

namespace {
constexpr const char* kPattern = "NP_STREAMTITLE_PATTERN";
constexpr const char* kSeparator = "NP_STREAMTITLE_SEPARATOR";
constexpr const char* kEncoding = "NP_LANGUAGE_ENCODING";
constexpr const char* kClean = "NP_STREAMTITLE_CLEAN";
constexpr const char* kCleanList = "NP_STREAMTITLE_CLEAN_LIST";
constexpr const char* kIgnore = "NP_STREAMTITLE_IGNORE";
constexpr const char* kIgnoreList = "NP_STREAMTITLE_IGNORE_LIST";
// ISO 8859-1: what a title in an encoding this machine does not offer is read as.
constexpr qlonglong kLatin1Encoding = 5;
constexpr int kListFontPoints = 11;
} // namespace

QWidget* StreamTitlePresetPane::buildView()
{
    auto* view = new QWidget;
    view->setObjectName(QStringLiteral("streamTitlePane"));

    // Index = pattern number: which parts of the title come in which order.
    patternPopUp = new QComboBox(view);
    patternPopUp->addItems({tr("Title"), tr("Title - Artist"), tr("Artist - Title"),
                            tr("Title - Artist - Album"), tr("Title - Album - Artist"),
                            tr("Artist - Album - Title"), tr("Artist - Title - Album"),
                            tr("Album - Title - Artist"), tr("Album - Artist - Title")});
    separatorTextField = new QLineEdit(view);
    separatorTextField->setMaximumWidth(60);
    languageEncodingPopUp = new QComboBox(view);
    // The encodings the recordings can decode, as the store offers them.
    if (QObject* store = presetStore()) {
        for (const QVariant& item : store->property("textEncodings").toList()) {
            const QVariantMap encoding = item.toMap();
            languageEncodingPopUp->addItem(encoding.value(QStringLiteral("name")).toString(),
                                           encoding.value(QStringLiteral("number")));
        }
    }
    auto* form = new QFormLayout;
    form->addRow(tr("Title pattern:"), patternPopUp);
    form->addRow(tr("Separator:"), separatorTextField);
    form->addRow(tr("Text encoding:"), languageEncodingPopUp);

    cleanCheckbox = new QCheckBox(tr("Remove these words from titles"), view);
    ignoreCheckbox = new QCheckBox(tr("Ignore these titles"), view);
    QWidget* cleanBox = buildList(view, cleanTable, cleanAddButton, cleanRemoveButton);
    QWidget* ignoreBox = buildList(view, ignoreTable, ignoreAddButton, ignoreRemoveButton);
    cleanTable->setAccessibleName(tr("Words to remove"));
    ignoreTable->setAccessibleName(tr("Titles to ignore"));
    auto* lists = new QHBoxLayout;
    auto* cleanColumn = new QVBoxLayout;
    cleanColumn->addWidget(cleanCheckbox);
    cleanColumn->addWidget(cleanBox);
    auto* ignoreColumn = new QVBoxLayout;
    ignoreColumn->addWidget(ignoreCheckbox);
    ignoreColumn->addWidget(ignoreBox);
    lists->addLayout(cleanColumn);
    lists->addLayout(ignoreColumn);

    auto* layout = new QVBoxLayout(view);
    layout->addLayout(form);
    layout->addLayout(lists);

    connect(patternPopUp, &QComboBox::activated, this,
            [this](int index) { setObject(static_cast<uint>(index), kPattern); });
    connect(separatorTextField, &QLineEdit::textEdited, this,
            [this](const QString& text) { setObject(text, kSeparator); });
    connect(languageEncodingPopUp, &QComboBox::activated, this, [this](int index) {
        setObject(languageEncodingPopUp->itemData(index).toLongLong(), kEncoding);
    });
    connect(cleanCheckbox, &QCheckBox::clicked, this,
            [this](bool checked) { setObject(checked, kClean); });
    connect(ignoreCheckbox, &QCheckBox::clicked, this,
            [this](bool checked) { setObject(checked, kIgnore); });
    wireList({kCleanList, cleanTable, cleanRemoveButton, &m_cleanList}, cleanAddButton);
    wireList({kIgnoreList, ignoreTable, ignoreRemoveButton, &m_ignoreList}, ignoreAddButton);
    // Named as the controls of the pane are known (tests and accessibility tools find them).
    nameControls({{patternPopUp, "patternPopUp"},
                  {separatorTextField, "separatorTextField"},
                  {languageEncodingPopUp, "languageEncodingPopUp"},
                  {cleanCheckbox, "cleanCheckbox"},
                  {ignoreCheckbox, "ignoreCheckbox"},
                  {cleanTable, "cleanTable"},
                  {ignoreTable, "ignoreTable"},
                  {cleanAddButton, "cleanAddButton"},
                  {cleanRemoveButton, "cleanRemoveButton"},
                  {ignoreAddButton, "ignoreAddButton"},
                  {ignoreRemoveButton, "ignoreRemoveButton"}});
    return view;
}

QWidget* StreamTitlePresetPane::buildList(QWidget* parent, QListWidget*& table, QPushButton*& add,
                                          QPushButton*& remove)
{
    auto* box = new QWidget(parent);
    table = new QListWidget(box);
    QFont font = table->font();
    font.setPointSize(kListFontPoints);
    table->setFont(font);
    add = new QPushButton(QStringLiteral("+"), box);
    add->setAccessibleName(tr("Add"));
    remove = new QPushButton(QStringLiteral("\u2212"), box);
    remove->setAccessibleName(tr("Remove"));
    for (QPushButton* button : {add, remove})
        button->setFixedWidth(button->sizeHint().height());
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(table);
    layout->addLayout(buttons);
    return box;
}

void StreamTitlePresetPane::wireList(const EditableList& list, QPushButton* add)
{
    connect(add, &QPushButton::clicked, this, [this, list] {
        list.items->append(tr("<< Edit me >>"));
        storeList(list);
    });
    connect(list.remove, &QPushButton::clicked, this, [this, list] {
        const int row = list.table->currentRow();
        if (row < 0 || row >= list.items->size() || list.table->selectedItems().isEmpty())
            return;
        list.items->removeAt(row);
        storeList(list);
    });
    connect(list.table, &QListWidget::itemChanged, this, [this, list](QListWidgetItem* item) {
        const int row = list.table->row(item);
        if (m_filling || row < 0 || row >= list.items->size() || (*list.items)[row] == item->text())
            return;
        (*list.items)[row] = item->text();
        storeList(list);
    });
    connect(list.table, &QListWidget::itemSelectionChanged, this,
            &StreamTitlePresetPane::refreshTables);
}

void StreamTitlePresetPane::storeList(const EditableList& list)
{
    setObject(*list.items, list.key);
    refreshTables();
}

void StreamTitlePresetPane::refreshTables()
{
    const EditableList lists[] = {{kCleanList, cleanTable, cleanRemoveButton, &m_cleanList},
                                  {kIgnoreList, ignoreTable, ignoreRemoveButton, &m_ignoreList}};
    for (const EditableList& list : lists) {
        if (!m_filling) {
            QStringList shown;
            for (int row = 0; row < list.table->count(); ++row)
                shown.append(list.table->item(row)->text());
            if (shown != *list.items) {
                m_filling = true;
                const int current = list.table->currentRow();
                list.table->clear();
                for (const QString& text : *list.items) {
                    auto* item = new QListWidgetItem(text, list.table);
                    item->setFlags(item->flags() | Qt::ItemIsEditable);
                }
                if (current >= 0 && current < list.table->count())
                    list.table->setCurrentRow(current);
                m_filling = false;
            }
        }
        list.remove->setEnabled(!list.items->isEmpty() && !list.table->selectedItems().isEmpty());
    }
}

void StreamTitlePresetPane::mainViewDidLoad()
{
    const QVariantMap preset = getPreset();
    patternPopUp->setCurrentIndex(
        static_cast<int>(integerOf(preset.value(QLatin1String(kPattern)))));
    const QString separator = stringOf(preset.value(QLatin1String(kSeparator)));
    if (separatorTextField->text() != separator)
        separatorTextField->setText(separator);

    // An encoding this machine does not offer reads as ISO 8859-1; that is no edit.
    int encoding =
        languageEncodingPopUp->findData(integerOf(preset.value(QLatin1String(kEncoding))));
    if (encoding < 0)
        encoding = std::max(0, languageEncodingPopUp->findData(kLatin1Encoding));
    languageEncodingPopUp->setCurrentIndex(encoding);
    if (encoding < languageEncodingPopUp->count())
        writeQuietly(languageEncodingPopUp->itemData(encoding).toLongLong(), kEncoding);

    cleanCheckbox->setChecked(boolOf(preset.value(QLatin1String(kClean))));
    ignoreCheckbox->setChecked(boolOf(preset.value(QLatin1String(kIgnore))));
    m_cleanList = stringListOf(preset.value(QLatin1String(kCleanList)));
    m_ignoreList = stringListOf(preset.value(QLatin1String(kIgnoreList)));
    refreshTables();
}

} // namespace panes
