#include "TaggingPresetPane.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace panes {

namespace {
constexpr const char* kNumberRecordings = "NP_NUMBER_RECORDINGS";
constexpr const char* kTrackNumber = "NUMBER_RECORDINGS_TRACK";
constexpr const char* kStreamIfNoAlbum = "NP_STREAM_IF_NO_ALBUM";
constexpr const char* kGenreType = "NP_GENRE_TYPE";
constexpr const char* kGenreCustom = "NP_GENRE_CUSTOM";
// Genre tags: 0 the station's genre, 1 the station's genre after the program's name,
// 2 the custom genre.
constexpr int kStationGenre = 0;
constexpr int kPrefixedGenre = 1;
constexpr int kCustomGenre = 2;
} // namespace

QWidget* TaggingPresetPane::buildView()
{
    auto* view = new QWidget;
    view->setObjectName(QStringLiteral("taggingPane"));
    addFileSequenceNumberCheckbox = new QCheckBox(tr("Number the files in recording order"), view);
    addTrackNumberCheckbox = new QCheckBox(tr("Write the number as the track number"), view);
    noAlbumUseStreamNameCheckbox =
        new QCheckBox(tr("Use the station's name as album when a song has none"), view);
    auto* genres = new QGroupBox(tr("Genre"), view);
    genreMatrix = new QButtonGroup(view);
    auto* grid = new QGridLayout(genres);
    const std::pair<int, QString> choices[] = {
        {kStationGenre, tr("The station's genre")},
        {kPrefixedGenre, tr("\"Orvanta - \" and the station's genre")},
        {kCustomGenre, tr("This genre:")},
    };
    int row = 0;
    for (const auto& [tag, title] : choices) {
        auto* button = new QRadioButton(title, genres);
        genreMatrix->addButton(button, tag);
        grid->addWidget(button, row++, 0);
    }
    customGenreTextField = new QLineEdit(genres);
    customGenreTextField->setAccessibleName(tr("Custom genre"));
    grid->addWidget(customGenreTextField, row - 1, 1);

    auto* layout = new QVBoxLayout(view);
    layout->addWidget(addFileSequenceNumberCheckbox);
    layout->addWidget(addTrackNumberCheckbox);
    layout->addWidget(noAlbumUseStreamNameCheckbox);
    layout->addWidget(genres);
    layout->addStretch();

    connect(addFileSequenceNumberCheckbox, &QCheckBox::clicked, this,
            [this](bool checked) { setObject(checked, kNumberRecordings); });
    connect(addTrackNumberCheckbox, &QCheckBox::clicked, this,
            [this](bool checked) { setObject(checked, kTrackNumber); });
    connect(noAlbumUseStreamNameCheckbox, &QCheckBox::clicked, this,
            [this](bool checked) { setObject(checked, kStreamIfNoAlbum); });
    connect(genreMatrix, &QButtonGroup::idClicked, this, [this](int tag) {
        setObject(tag, kGenreType);
        mainViewDidLoad();
    });
    connect(customGenreTextField, &QLineEdit::textEdited, this,
            [this](const QString& text) { setObject(text, kGenreCustom); });
    // Named as the controls of the pane are known (tests and accessibility tools find them).
    nameControls({{addFileSequenceNumberCheckbox, "addFileSequenceNumberCheckbox"},
                  {addTrackNumberCheckbox, "addTrackNumberCheckbox"},
                  {noAlbumUseStreamNameCheckbox, "noAlbumUseStreamNameCheckbox"},
                  {genreMatrix, "genreMatrix"},
                  {customGenreTextField, "customGenreTextField"}});
    return view;
}

void TaggingPresetPane::mainViewDidLoad()
{
    const QVariantMap preset = getPreset();
    addFileSequenceNumberCheckbox->setChecked(
        boolOf(preset.value(QLatin1String(kNumberRecordings))));
    addTrackNumberCheckbox->setChecked(boolOf(preset.value(QLatin1String(kTrackNumber))));
    noAlbumUseStreamNameCheckbox->setChecked(boolOf(preset.value(QLatin1String(kStreamIfNoAlbum))));
    const int genre = static_cast<int>(integerOf(preset.value(QLatin1String(kGenreType))));
    QAbstractButton* button = genreMatrix->button(genre);
    (button ? button : genreMatrix->button(kStationGenre))->setChecked(true);
    const QString custom = stringOf(preset.value(QLatin1String(kGenreCustom)));
    if (customGenreTextField->text() != custom)
        customGenreTextField->setText(custom);
    customGenreTextField->setEnabled(genreMatrix->checkedId() == kCustomGenre);
}

} // namespace panes
