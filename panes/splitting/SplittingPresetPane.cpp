#include "SplittingPresetPane.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QRadioButton>
#include <QVBoxLayout>

namespace panes {

namespace {
constexpr const char* kAlwaysManual = "NP_ALWAYSMANUAL";
constexpr const char* kRewindSecs = "NP_REWINDSECS";
constexpr const char* kEarlierOrLater = "SPLIT_EARLIER_OR_LATER";
constexpr const char* kSplitSearchSeconds = "NP_SPLIT_SEARCH_SECONDS";
// What a preset without the key searches; the widest search there is.
constexpr double kDefaultSearchSeconds = 8.0;
constexpr double kWidestSearchSeconds = 30.0;
constexpr const char* kManualSplitType = "NP_MANUALSPLITTYPE";
constexpr const char* kSplitSizeMB = "NP_SPLITSIZEMB";
constexpr const char* kSplitTimeMins = "NP_SPLITTIMEMINS";
constexpr const char* kHlsVariantKbps = "NP_HLS_VARIANT_KBPS";
constexpr qlonglong kHighestKbps = 10000;
// Style tags: 1 by size, 2 by time, anything else no manual split.
constexpr int kSplitBySize = 1;
constexpr int kSplitByTime = 2;
constexpr int kNoManualSplit = 0;
} // namespace

QWidget* SplittingPresetPane::buildView()
{
    auto* view = new QWidget;
    view->setObjectName(QStringLiteral("splittingPane"));

    dontAutoSplitCheckbox = new QCheckBox(tr("Don't split on title changes"), view);
    dontAutoSplitCheckbox->setToolTip(
        tr("The station is not asked for its titles; files are split by the rule below only"));
    splitAdjustmentTextField = new QLineEdit(view);
    splitAdjustmentTextField->setMaximumWidth(80);
    splitEarlierOrLaterPopUp = new QComboBox(view);
    splitEarlierOrLaterPopUp->addItem(tr("earlier"), 0);
    splitEarlierOrLaterPopUp->addItem(tr("later"), 1);
    auto* adjustment = new QHBoxLayout;
    adjustment->addWidget(new QLabel(tr("Split"), view));
    adjustment->addWidget(splitAdjustmentTextField);
    adjustment->addWidget(new QLabel(tr("seconds"), view));
    adjustment->addWidget(splitEarlierOrLaterPopUp);
    adjustment->addWidget(new QLabel(tr("than the title change"), view));
    adjustment->addStretch();

    splitSearchTextField = new QLineEdit(view);
    splitSearchTextField->setMaximumWidth(80);
    splitSearchTextField->setToolTip(
        tr("Stations often change their titles seconds before or after the song does: the "
           "cut goes into the quietest gap this far around the change, and each station's own "
           "timing is learned. 0 looks only right at the title change."));
    auto* search = new QHBoxLayout;
    search->addWidget(new QLabel(tr("Look for the gap between songs within"), view));
    search->addWidget(splitSearchTextField);
    search->addWidget(new QLabel(tr("seconds of the title change"), view));
    search->addStretch();

    auto* manual = new QGroupBox(tr("Also start a new file"), view);
    manualSplitStyleMatrix = new QButtonGroup(view);
    auto* bySize = new QRadioButton(tr("when the file reaches"), manual);
    auto* byTime = new QRadioButton(tr("when the file lasts"), manual);
    auto* never = new QRadioButton(tr("never"), manual);
    manualSplitStyleMatrix->addButton(bySize, kSplitBySize);
    manualSplitStyleMatrix->addButton(byTime, kSplitByTime);
    manualSplitStyleMatrix->addButton(never, kNoManualSplit);
    manualSplitSizeTextField = new QLineEdit(manual);
    manualSplitTimeTextField = new QLineEdit(manual);
    // Checked when editing ends (limitEdited), not by a validator: a validator would keep an
    // emptied field from ever ending its edit.
    for (QLineEdit* field : {manualSplitSizeTextField, manualSplitTimeTextField})
        field->setMaximumWidth(80);
    auto* grid = new QFormLayout(manual);
    auto row = [manual](QWidget* field, const QString& unit) {
        auto* line = new QHBoxLayout;
        line->addWidget(field);
        line->addWidget(new QLabel(unit, manual));
        line->addStretch();
        return line;
    };
    grid->addRow(bySize, row(manualSplitSizeTextField, tr("MB")));
    grid->addRow(byTime, row(manualSplitTimeTextField, tr("minutes")));
    grid->addRow(never);

    hlsVariantTextField = new QLineEdit(view);
    hlsVariantTextField->setMaximumWidth(80);
    hlsVariantTextField->setToolTip(
        tr("HLS stations offer their programme at several rates: the one nearest this rate is "
           "recorded. 0 records the best there is."));
    auto* variant = new QHBoxLayout;
    variant->addWidget(new QLabel(tr("Record HLS stations at the rate nearest"), view));
    variant->addWidget(hlsVariantTextField);
    variant->addWidget(new QLabel(tr("kbit/s (0: the best)"), view));
    variant->addStretch();

    auto* layout = new QVBoxLayout(view);
    layout->addWidget(dontAutoSplitCheckbox);
    layout->addLayout(adjustment);
    layout->addLayout(search);
    layout->addWidget(manual);
    layout->addLayout(variant);
    layout->addStretch();

    connect(dontAutoSplitCheckbox, &QCheckBox::clicked, this, [this](bool checked) {
        setObject(checked, kAlwaysManual);
        mainViewDidLoad();
    });
    connect(splitAdjustmentTextField, &QLineEdit::editingFinished, this,
            &SplittingPresetPane::adjustmentEdited);
    connect(splitSearchTextField, &QLineEdit::editingFinished, this,
            &SplittingPresetPane::searchEdited);
    connect(splitEarlierOrLaterPopUp, &QComboBox::activated, this, [this](int index) {
        setObject(splitEarlierOrLaterPopUp->itemData(index).toUInt(), kEarlierOrLater);
    });
    connect(manualSplitStyleMatrix, &QButtonGroup::idClicked, this,
            [this](int tag) { setObject(tag, kManualSplitType); });
    connect(manualSplitSizeTextField, &QLineEdit::editingFinished, this,
            [this] { limitEdited(manualSplitSizeTextField, kSplitSizeMB); });
    connect(manualSplitTimeTextField, &QLineEdit::editingFinished, this,
            [this] { limitEdited(manualSplitTimeTextField, kSplitTimeMins); });
    connect(hlsVariantTextField, &QLineEdit::editingFinished, this,
            &SplittingPresetPane::variantEdited);
    // Named as the controls of the pane are known (tests and accessibility tools find them).
    nameControls({{dontAutoSplitCheckbox, "dontAutoSplitCheckbox"},
                  {splitAdjustmentTextField, "splitAdjustmentTextField"},
                  {splitEarlierOrLaterPopUp, "splitEarlierOrLaterPopUp"},
                  {splitSearchTextField, "splitSearchTextField"},
                  {manualSplitStyleMatrix, "manualSplitStyleMatrix"},
                  {manualSplitSizeTextField, "manualSplitSizeTextField"},
                  {manualSplitTimeTextField, "manualSplitTimeTextField"},
                  {hlsVariantTextField, "hlsVariantTextField"}});
    return view;
}

void SplittingPresetPane::mainViewDidLoad()
{
    const QVariantMap preset = getPreset();
    const bool manualOnly = boolOf(preset.value(QLatin1String(kAlwaysManual)));
    dontAutoSplitCheckbox->setChecked(manualOnly);
    splitAdjustmentTextField->setText(
        QLocale().toString(realOf(preset.value(QLatin1String(kRewindSecs))), 'g', 6));
    const int direction = splitEarlierOrLaterPopUp->findData(
        static_cast<int>(integerOf(preset.value(QLatin1String(kEarlierOrLater)))));
    splitEarlierOrLaterPopUp->setCurrentIndex(direction);
    const int style = static_cast<int>(integerOf(preset.value(QLatin1String(kManualSplitType))));
    QAbstractButton* styleButton = manualSplitStyleMatrix->button(
        style == kSplitBySize || style == kSplitByTime ? style : kNoManualSplit);
    styleButton->setChecked(true);
    refillLimits();
    // The adjustment applies to splits on title changes only.
    splitAdjustmentTextField->setEnabled(!manualOnly);
    splitEarlierOrLaterPopUp->setEnabled(!manualOnly);
    splitSearchTextField->setText(QLocale().toString(searchSeconds(), 'g', 6));
    splitSearchTextField->setEnabled(!manualOnly);
}

double SplittingPresetPane::searchSeconds()
{
    const QVariant stored = getPreset().value(QLatin1String(kSplitSearchSeconds));
    return stored.isValid() ? realOf(stored) : kDefaultSearchSeconds;
}

void SplittingPresetPane::searchEdited()
{
    const QString text = splitSearchTextField->text().trimmed();
    bool ok = false;
    const double seconds = QLocale().toDouble(text, &ok);
    const double stored = searchSeconds();
    if (text.isEmpty() || !ok || seconds < 0.0 || seconds > kWidestSearchSeconds) {
        splitSearchTextField->setText(QLocale().toString(stored, 'g', 6));
        return;
    }
    if (seconds != stored)
        setObject(seconds, kSplitSearchSeconds);
    splitSearchTextField->setText(QLocale().toString(seconds, 'g', 6));
}

void SplittingPresetPane::refillLimits()
{
    const QVariantMap preset = getPreset();
    manualSplitSizeTextField->setText(
        QString::number(integerOf(preset.value(QLatin1String(kSplitSizeMB)))));
    manualSplitTimeTextField->setText(
        QString::number(integerOf(preset.value(QLatin1String(kSplitTimeMins)))));
    hlsVariantTextField->setText(
        QString::number(integerOf(preset.value(QLatin1String(kHlsVariantKbps)))));
}

void SplittingPresetPane::variantEdited()
{
    bool ok = false;
    const qlonglong kbps = hlsVariantTextField->text().trimmed().toLongLong(&ok);
    const qlonglong stored = integerOf(valueForKey(kHlsVariantKbps));
    if (!ok || kbps < 0 || kbps > kHighestKbps) {
        hlsVariantTextField->setText(QString::number(stored));
        return;
    }
    if (kbps != stored)
        setObject(kbps, kHlsVariantKbps);
    hlsVariantTextField->setText(QString::number(kbps));
}

void SplittingPresetPane::adjustmentEdited()
{
    const QString text = splitAdjustmentTextField->text().trimmed();
    bool ok = false;
    const double seconds = QLocale().toDouble(text, &ok);
    const double stored = realOf(valueForKey(kRewindSecs));
    // Empty or not a number of seconds: the stored value stays and shows again.
    if (text.isEmpty() || !ok || seconds < 0.0) {
        splitAdjustmentTextField->setText(QLocale().toString(stored, 'g', 6));
        return;
    }
    if (seconds != stored)
        setObject(seconds, kRewindSecs);
    splitAdjustmentTextField->setText(QLocale().toString(seconds, 'g', 6));
}

void SplittingPresetPane::limitEdited(QLineEdit* field, const char* key)
{
    bool ok = false;
    const qlonglong limit = field->text().trimmed().toLongLong(&ok);
    // At least 1: a limit of 0 would start a new file with every block received.
    if (!ok || limit < 1) {
        field->setText(QString::number(integerOf(valueForKey(key))));
        return;
    }
    if (limit != integerOf(valueForKey(key)))
        setObject(limit, key);
    field->setText(QString::number(limit));
}

} // namespace panes
