#include "PlaylistPresetPane.h"

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
constexpr const char* kAddToPlaylist = "NP_ADD_TO_PLAYLIST";
constexpr const char* kScheduledDetails = "NP_PLAYLIST_NAME_ADD_SCHEDULED_DETAILS";
constexpr const char* kCustomName = "NP_PLAYLIST_NAME_CUSTOM";
constexpr const char* kNameType = "NP_PLAYLIST_NAME_TYPE";
constexpr const char* kCompilation = "NP_COMPILATION_FLAG";
// Name style tags: 1 the station's name, 2 the file's genre, 3 the custom name, other none.
constexpr int kNoName = 0;
constexpr int kStationName = 1;
constexpr int kGenreName = 2;
constexpr int kCustomNameStyle = 3;
} // namespace

QWidget* PlaylistPresetPane::buildView()
{
    auto* view = new QWidget;
    view->setObjectName(QStringLiteral("playlistPane"));
    addToPlaylistCheckbox = new QCheckBox(tr("Add finished files to a playlist"), view);
    auto* names = new QGroupBox(tr("Playlist name"), view);
    playlistNameStyleMatrix = new QButtonGroup(view);
    auto* grid = new QGridLayout(names);
    const std::pair<int, QString> styles[] = {
        {kNoName, tr("Orvanta")},
        {kStationName, tr("The station's name")},
        {kGenreName, tr("The song's genre")},
        {kCustomNameStyle, tr("This name:")},
    };
    int row = 0;
    for (const auto& [tag, title] : styles) {
        auto* button = new QRadioButton(title, names);
        playlistNameStyleMatrix->addButton(button, tag);
        grid->addWidget(button, row++, 0);
    }
    customPlaylistNameTextField = new QLineEdit(names);
    customPlaylistNameTextField->setAccessibleName(tr("Custom playlist name"));
    grid->addWidget(customPlaylistNameTextField, row - 1, 1);
    appendScheduleDetailsCheckbox =
        new QCheckBox(tr("Name the playlist of a scheduled recording after its schedule"), view);
    compilationCheckbox = new QCheckBox(tr("Mark the files as a compilation"), view);

    auto* layout = new QVBoxLayout(view);
    layout->addWidget(addToPlaylistCheckbox);
    layout->addWidget(names);
    layout->addWidget(appendScheduleDetailsCheckbox);
    layout->addWidget(compilationCheckbox);
    layout->addStretch();

    connect(addToPlaylistCheckbox, &QCheckBox::clicked, this, [this](bool checked) {
        setObject(checked, kAddToPlaylist);
        mainViewDidLoad();
    });
    connect(appendScheduleDetailsCheckbox, &QCheckBox::clicked, this,
            [this](bool checked) { setObject(checked, kScheduledDetails); });
    connect(customPlaylistNameTextField, &QLineEdit::textEdited, this,
            [this](const QString& text) { setObject(text, kCustomName); });
    connect(playlistNameStyleMatrix, &QButtonGroup::idClicked, this, [this](int tag) {
        setObject(tag, kNameType);
        mainViewDidLoad();
    });
    connect(compilationCheckbox, &QCheckBox::clicked, this,
            [this](bool checked) { setObject(checked, kCompilation); });
    // Named as the controls of the pane are known (tests and accessibility tools find them).
    nameControls({{addToPlaylistCheckbox, "addToPlaylistCheckbox"},
                  {appendScheduleDetailsCheckbox, "appendScheduleDetailsCheckbox"},
                  {customPlaylistNameTextField, "customPlaylistNameTextField"},
                  {playlistNameStyleMatrix, "playlistNameStyleMatrix"},
                  {compilationCheckbox, "compilationCheckbox"}});
    return view;
}

void PlaylistPresetPane::mainViewDidLoad()
{
    const QVariantMap preset = getPreset();
    const bool add = boolOf(preset.value(QLatin1String(kAddToPlaylist)));
    addToPlaylistCheckbox->setChecked(add);
    appendScheduleDetailsCheckbox->setChecked(
        boolOf(preset.value(QLatin1String(kScheduledDetails))));
    const QString custom = stringOf(preset.value(QLatin1String(kCustomName)));
    if (customPlaylistNameTextField->text() != custom)
        customPlaylistNameTextField->setText(custom);
    const int style = static_cast<int>(integerOf(preset.value(QLatin1String(kNameType))));
    QAbstractButton* button = playlistNameStyleMatrix->button(style);
    (button ? button : playlistNameStyleMatrix->button(kNoName))->setChecked(true);
    compilationCheckbox->setChecked(boolOf(preset.value(QLatin1String(kCompilation))));

    appendScheduleDetailsCheckbox->setEnabled(add);
    for (QAbstractButton* styleButton : playlistNameStyleMatrix->buttons())
        styleButton->setEnabled(add);
    compilationCheckbox->setEnabled(add);
    customPlaylistNameTextField->setEnabled(add && style == kCustomNameStyle);
}

} // namespace panes
