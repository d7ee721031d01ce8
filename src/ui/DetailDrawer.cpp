#include "DetailDrawer.h"

#include "QtStrings.h"

#include "TimerController.h"

#include "MyOLVController.h"
#include "Node.h"
#include "NodePropertyKeys.h"
#include "PresetsController.h"
#include "ScheduleEntry.h"
#include "SplitOffsetLearner.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace orvanta::ui {

namespace {

std::string trimmedOf(const QString& text, const QString& blanks)
{
    int first = 0;
    int last = static_cast<int>(text.size()) - 1;
    while (first <= last && blanks.contains(text.at(first)))
        ++first;
    while (last >= first && blanks.contains(text.at(last)))
        --last;
    return text.mid(first, last - first + 1).toStdString();
}

Array urlsOf(const Node& node)
{
    const auto urls = node.propertyForKey(np::NP_URLS);
    return urls && urls->isArray() ? urls->toArray() : Array();
}

} // namespace

// ---- EditURLView ------------------------------------------------------------------------

EditURLView::EditURLView(MyOLVController& library, QWidget* parent)
    : QWidget(parent), m_library(library), m_previous(new QToolButton(this)),
      m_next(new QToolButton(this)), m_label(new QLabel(this)), m_url(new QLineEdit(this)),
      m_user(new QLineEdit(this)), m_password(new QLineEdit(this))
{
    setObjectName(QStringLiteral("editURLView"));
    m_previous->setArrowType(Qt::UpArrow);
    m_next->setArrowType(Qt::DownArrow);
    m_previous->setAccessibleName(tr("Previous address"));
    m_next->setAccessibleName(tr("Next address"));
    m_label->setObjectName(QStringLiteral("urlStepperLabel"));
    m_url->setObjectName(QStringLiteral("urlTextField"));
    m_url->setAccessibleName(tr("Address"));
    m_url->setPlaceholderText(QStringLiteral("http://"));
    m_user->setObjectName(QStringLiteral("usernameTextField"));
    m_user->setAccessibleName(tr("User name"));
    m_password->setObjectName(QStringLiteral("passwordTextField"));
    m_password->setAccessibleName(tr("Password"));
    m_password->setEchoMode(QLineEdit::Password);

    auto* stepper = new QHBoxLayout;
    stepper->addWidget(m_previous);
    stepper->addWidget(m_next);
    stepper->addWidget(m_label, 1);
    auto* form = new QFormLayout(this);
    form->addRow(tr("Address:"), stepper);
    form->addRow(QString(), m_url);
    form->addRow(tr("User name:"), m_user);
    form->addRow(tr("Password:"), m_password);

    connect(m_previous, &QToolButton::clicked, this, [this] { step(-1); });
    connect(m_next, &QToolButton::clicked, this, [this] { step(1); });
    connect(m_url, &QLineEdit::editingFinished, this, &EditURLView::urlEdited);
    connect(m_user, &QLineEdit::editingFinished, this, &EditURLView::userEdited);
    connect(m_password, &QLineEdit::editingFinished, this, &EditURLView::passwordEdited);
    setEnabled(false);
}

void EditURLView::setNode(Node* node)
{
    m_node = node;
    refresh();
}

QString EditURLView::stepperLabel() const
{
    return m_label->text();
}

void EditURLView::refresh()
{
    setEnabled(m_node != nullptr);
    if (!m_node) {
        m_label->clear();
        m_url->clear();
        m_user->clear();
        m_password->clear();
        return;
    }
    const Array urls = urlsOf(*m_node);
    const int count = static_cast<int>(urls.size());
    // The stored index may be stale (addresses removed elsewhere): it is kept in the list.
    const auto stored = m_node->propertyForKey(np::NP_SELECTEDURLINDEX);
    m_index = static_cast<int>(stored ? stored->toInteger() : 0);
    m_index = count == 0 ? 0 : std::clamp(m_index, 0, count - 1);
    m_label->setText(tr("%1 of %2").arg(count == 0 ? 0 : m_index + 1).arg(count));
    m_url->setText(count == 0 ? QString()
                              : qs(urls.at(static_cast<std::size_t>(m_index)).toString()));
    m_previous->setEnabled(m_index > 0);
    m_next->setEnabled(m_index + 1 < count);
    m_user->setText(qs(m_node->propertyForKey(np::NP_USERNAME).value_or(Value()).toString()));
    m_password->setText(qs(m_node->propertyForKey(np::NP_PASSWORD).value_or(Value()).toString()));
}

void EditURLView::step(int delta)
{
    if (!m_node)
        return;
    const int count = static_cast<int>(urlsOf(*m_node).size());
    if (count <= 1)
        return;
    const int index = std::clamp(m_index + delta, 0, count - 1);
    if (index == m_index)
        return;
    m_node->setProperty(Value(static_cast<std::int64_t>(index)), np::NP_SELECTEDURLINDEX);
    m_library.libraryDidChange();
    refresh();
}

void EditURLView::urlEdited()
{
    if (!m_node)
        return;
    const std::string url = trimmedOf(m_url->text(), QStringLiteral(" \t\r\n"));
    Array urls = urlsOf(*m_node);
    if (urls.empty()) {
        if (url.empty())
            return;
        m_node->setProperty(Value(Array{Value(url)}), np::NP_URLS);
    } else {
        const auto at = static_cast<std::size_t>(m_index);
        if (urls.at(at).toString() == url)
            return;
        urls.at(at) = Value(url);
    }
    m_library.libraryDidChange();
    refresh();
}

void EditURLView::userEdited()
{
    if (!m_node)
        return;
    m_node->setProperty(Value(trimmedOf(m_user->text(), QStringLiteral(" \t"))), np::NP_USERNAME);
    m_library.libraryDidChange();
}

void EditURLView::passwordEdited()
{
    if (!m_node)
        return;
    m_node->setProperty(Value(trimmedOf(m_password->text(), QStringLiteral(" \t"))),
                        np::NP_PASSWORD);
    m_library.libraryDidChange();
}

// ---- RecordingStyleView -----------------------------------------------------------------

RecordingStyleView::RecordingStyleView(MyOLVController& library, PresetsController& presets,
                                       QWidget* parent)
    : QWidget(parent), m_library(library), m_presets(presets), m_popUp(new QComboBox(this)),
      m_open(new QPushButton(tr("Open Preset..."), this)), m_offset(new QLabel(this)),
      m_forgetOffset(new QPushButton(tr("Forget"), this))
{
    setObjectName(QStringLiteral("recordingStyleView"));
    m_popUp->setObjectName(QStringLiteral("recordingStylePopUpButton"));
    m_popUp->setAccessibleName(tr("Recording style"));
    m_offset->setObjectName(QStringLiteral("splitOffsetLabel"));
    m_offset->setWordWrap(true);
    m_forgetOffset->setObjectName(QStringLiteral("forgetSplitOffsetButton"));
    m_forgetOffset->setToolTip(
        tr("Forget when this station's titles change: its next songs are searched around the "
           "title change again"));
    auto* layout = new QFormLayout(this);
    layout->addRow(tr("Recording style:"), m_popUp);
    layout->addRow(QString(), m_open);
    layout->addRow(tr("Cut timing:"), m_offset);
    layout->addRow(QString(), m_forgetOffset);
    connect(m_forgetOffset, &QPushButton::clicked, this, &RecordingStyleView::forgetOffset);
    connect(m_popUp, qOverload<int>(&QComboBox::activated), this,
            &RecordingStyleView::presetChosen);
    connect(m_open, &QPushButton::clicked, this,
            [this] { emit openPresetRequested(m_popUp->currentData().toString()); });
    setEnabled(false);
}

void RecordingStyleView::setNode(Node* node)
{
    m_node = node;
    refresh();
}

void RecordingStyleView::refresh()
{
    setEnabled(m_node != nullptr);
    m_filling = true;
    m_popUp->clear();
    if (m_node) {
        auto presetID = m_node->propertyForKey(np::NP_PRESET_ID);
        // A station without a preset records in the standard style: say so in the station.
        if (!presetID || !presetID->isString() || presetID->toString().empty()) {
            m_node->setProperty(Value(std::string(presetkeys::kStandardPresetID)),
                                np::NP_PRESET_ID);
            presetID = m_node->propertyForKey(np::NP_PRESET_ID);
            m_library.libraryDidChange();
        }
        for (const PresetMenuEntry& entry : m_presets.getPresetsMenu()) {
            if (entry.separator)
                m_popUp->insertSeparator(m_popUp->count());
            else
                m_popUp->addItem(qs(entry.title), qs(entry.identifier));
        }
        m_popUp->setCurrentIndex(m_popUp->findData(qs(presetID->toString())));
    }
    m_filling = false;
    std::vector<double> offsets;
    if (m_node)
        if (const auto stored = m_node->propertyForKey(np::NP_SPLIT_OFFSETS);
            stored && stored->isArray())
            for (const Value& offset : stored->toArray())
                if (offset.isNumber())
                    offsets.push_back(offset.toReal());
    m_offset->setText(m_node ? qs(SplitOffsetLearner(8, offsets).describe()) : QString());
    m_forgetOffset->setEnabled(!offsets.empty());
}

void RecordingStyleView::forgetOffset()
{
    if (!m_node)
        return;
    m_node->removePropertyForKey(np::NP_SPLIT_OFFSETS);
    m_library.libraryDidChange();
    refresh();
}

void RecordingStyleView::presetChosen(int index)
{
    if (!m_node || m_filling || index < 0)
        return;
    const std::string identifier = m_popUp->itemData(index).toString().toStdString();
    if (identifier.empty())
        return;
    m_node->setProperty(Value(identifier), np::NP_PRESET_ID);
    m_library.libraryDidChange();
}

// ---- DetailDrawer -----------------------------------------------------------------------

DetailDrawer::DetailDrawer(MyOLVController& library, PresetsController& presets, QWidget* parent)
    : QWidget(parent), m_stack(new QStackedWidget(this)), m_title(new QLabel(this)),
      m_editURL(new EditURLView(library, this)),
      m_style(new RecordingStyleView(library, presets, this)),
      m_schedule(new TimerController(library, this))
{
    setObjectName(QStringLiteral("detailDrawer"));
    m_stack->addWidget(m_schedule);
    m_stack->addWidget(m_style);
    m_stack->addWidget(m_editURL);
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);
    m_title->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addWidget(m_stack, 1);
    setMinimumWidth(260);
    hide();
}

void DetailDrawer::toggle(View view)
{
    if (!m_node)
        return; // only a stream has details
    if (isOpen() && m_view == view) {
        close();
        return;
    }
    m_view = view;
    switch (view) {
    case View::Schedule:
        m_stack->setCurrentWidget(m_schedule);
        break;
    case View::RecordingStyle:
        m_stack->setCurrentWidget(m_style);
        break;
    case View::EditURL:
        m_stack->setCurrentWidget(m_editURL);
        break;
    }
    refresh();
    show();
}

void DetailDrawer::close()
{
    hide();
}

void DetailDrawer::setNode(Node* node)
{
    m_node = node && node->nodeType() == Node::kStream ? node : nullptr;
    if (!m_node)
        close();
    refresh();
}

void DetailDrawer::refresh()
{
    m_title->setText(m_node ? qs(m_node->name()) : QString());
    // Only the view shown reads the station: the others are refreshed when shown.
    m_editURL->setNode(m_view == View::EditURL ? m_node : nullptr);
    m_style->setNode(m_view == View::RecordingStyle ? m_node : nullptr);
    m_schedule->setNode(m_view == View::Schedule ? m_node : nullptr);
}

} // namespace orvanta::ui
