#include "ToolbarCustomizeDialog.h"

#include "IconLibrary.h"
#include "ToolbarLayout.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvanta::ui {

ToolbarCustomizeDialog::ToolbarCustomizeDialog(const QStringList& shown, QWidget* parent)
    : QDialog(parent), m_list(new QListWidget(this))
{
    setObjectName(QStringLiteral("customizeToolbar"));
    setWindowTitle(tr("Customize Toolbar"));
    m_list->setAccessibleName(tr("Toolbar items"));
    auto* up = new QPushButton(tr("Move Up"), this);
    auto* down = new QPushButton(tr("Move Down"), this);
    auto* separator = new QPushButton(tr("Add Separator"), this);
    auto* defaults = new QPushButton(tr("Restore Defaults"), this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    auto* side = new QVBoxLayout;
    for (QPushButton* button : {up, down, separator, defaults})
        side->addWidget(button);
    side->addStretch();
    auto* row = new QHBoxLayout;
    row->addWidget(m_list, 1);
    row->addLayout(side);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);

    fill(shown);
    connect(m_list, &QListWidget::itemChanged, this, [this] {
        if (!m_filling)
            emit itemsChanged(chosenItems());
    });
    connect(up, &QPushButton::clicked, this, [this] { moveCurrent(-1); });
    connect(down, &QPushButton::clicked, this, [this] { moveCurrent(1); });
    connect(separator, &QPushButton::clicked, this, [this] {
        QStringList items = chosenItems();
        items.append(toolbar::kSeparator);
        fill(items);
        emit itemsChanged(chosenItems());
    });
    connect(defaults, &QPushButton::clicked, this, &ToolbarCustomizeDialog::restoreDefaults);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::accept);
    resize(360, 420);
}

void ToolbarCustomizeDialog::fill(const QStringList& shown)
{
    m_filling = true;
    m_list->clear();
    // The shown items first, in their order, then the rest of the allowed ones, unticked.
    auto add = [this](const QString& identifier, bool ticked) {
        const ToolbarItemInfo* info = ToolbarLayout::itemInfo(identifier);
        if (!info)
            return;
        auto* item =
            new QListWidgetItem(iconNamed(identifier), tr(qPrintable(info->label)), m_list);
        item->setData(Qt::UserRole, identifier);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
    };
    for (const QString& identifier : shown)
        add(identifier, true);
    for (const ToolbarItemInfo& info : ToolbarLayout::allowedItems()) {
        if (!info.repeatable && !shown.contains(info.identifier))
            add(info.identifier, false);
    }
    m_filling = false;
}

QStringList ToolbarCustomizeDialog::chosenItems() const
{
    QStringList items;
    for (int row = 0; row < m_list->count(); ++row) {
        const QListWidgetItem* item = m_list->item(row);
        if (item->checkState() == Qt::Checked)
            items.append(item->data(Qt::UserRole).toString());
    }
    return items;
}

void ToolbarCustomizeDialog::moveCurrent(int delta)
{
    const int row = m_list->currentRow();
    const int target = row + delta;
    if (row < 0 || target < 0 || target >= m_list->count())
        return;
    m_filling = true;
    QListWidgetItem* item = m_list->takeItem(row);
    m_list->insertItem(target, item);
    m_list->setCurrentRow(target);
    m_filling = false;
    emit itemsChanged(chosenItems());
}

void ToolbarCustomizeDialog::restoreDefaults()
{
    fill(ToolbarLayout::defaultItems());
    emit itemsChanged(chosenItems());
}

} // namespace orvanta::ui
