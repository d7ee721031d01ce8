#include "MainToolbar.h"

#include "IconLibrary.h"
#include "PrefsController.h"
#include "ToolbarCustomizeDialog.h"
#include "ToolbarLayout.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QProgressBar>
#include <QSizePolicy>
#include <QSlider>
#include <QToolButton>
#include <QWidgetAction>

namespace orvanta::ui {

namespace {

QStringList stringsOf(const Value& value)
{
    QStringList strings;
    if (!value.isArray())
        return strings;
    for (const Value& item : value.toArray()) {
        if (item.isString())
            strings.append(QString::fromStdString(item.toString()));
    }
    return strings;
}

} // namespace

MainToolbar::MainToolbar(PrefsController& prefs, QWidget* parent)
    : QToolBar(tr("Toolbar"), parent), m_prefs(prefs), m_controlView(new QWidget(this)),
      m_tunerView(new QWidget(this)), m_record(controlButton(QStringLiteral("record"))),
      m_skip(controlButton(QStringLiteral("skipTrack"))),
      m_listen(controlButton(QStringLiteral("listen"))),
      m_showMusic(controlButton(QStringLiteral("showMusic"))),
      m_volume(new QSlider(Qt::Horizontal, m_controlView)), m_tuner(new QToolButton(m_tunerView)),
      m_tunerProgress(new QProgressBar(m_tunerView))
{
    setObjectName(QString(toolbar::kIdentifier));
    setMovable(false);
    setIconSize(QSize(24, 24));

    m_volume->setObjectName(QStringLiteral("volume"));
    m_volume->setAccessibleName(tr("Volume"));
    m_volume->setToolTip(tr("Volume of the built-in player"));
    m_volume->setRange(0, 100);
    m_volume->setValue(50);
    m_volume->setFixedWidth(90);
    connect(m_volume, &QSlider::valueChanged, this,
            [this](int value) { emit volumeChanged(static_cast<float>(value) / 100.0f); });
    auto* controls = new QHBoxLayout(m_controlView);
    controls->setContentsMargins(0, 0, 6, 0);
    controls->setSpacing(2);
    for (QToolButton* button : {m_record, m_skip, m_listen, m_showMusic})
        controls->addWidget(button);
    controls->addSpacing(6);
    controls->addWidget(m_volume);

    m_tuner->setObjectName(QStringLiteral("tuner"));
    m_tuner->setIcon(iconNamed(toolbar::kTunerView));
    m_tuner->setText(tr("Tuner..."));
    m_tuner->setToolTip(tr("Tuner..."));
    m_tuner->setAccessibleName(tr("Tuner"));
    m_tuner->setPopupMode(QToolButton::InstantPopup);
    m_tunerProgress->setObjectName(QStringLiteral("tunerProgressBar"));
    m_tunerProgress->setRange(0, 0);
    m_tunerProgress->setTextVisible(false);
    m_tunerProgress->setFixedSize(40, 8);
    m_tunerProgress->setAccessibleName(tr("Importing"));
    m_tunerProgress->hide(); // hidden while stopped
    auto* tuner = new QHBoxLayout(m_tunerView);
    tuner->setContentsMargins(0, 0, 0, 0);
    tuner->addWidget(m_tuner);
    tuner->addWidget(m_tunerProgress);

    m_controlAction = new QWidgetAction(this);
    m_controlAction->setDefaultWidget(m_controlView);
    m_tunerAction = new QWidgetAction(this);
    m_tunerAction->setDefaultWidget(m_tunerView);

    m_showsLabels = m_prefs.boolForKey(kShowLabelsKey);
    m_items = ToolbarLayout::sanitized(stringsOf(m_prefs.getPrefsForKey(kConfigurationKey)));
    applyState({});
    rebuild();
}

QToolButton* MainToolbar::controlButton(const QString& name)
{
    auto* button = new QToolButton(m_controlView);
    button->setObjectName(name + QStringLiteral("Button"));
    button->setAutoRaise(true);
    button->setIconSize(QSize(24, 24));
    return button;
}

void MainToolbar::setItemAction(const QString& identifier, QAction* action)
{
    m_actions.insert(identifier, action);
    rebuild();
}

void MainToolbar::setControlActions(QAction* record, QAction* skip, QAction* listen,
                                    QAction* showMusic)
{
    m_record->setDefaultAction(record);
    m_skip->setDefaultAction(skip);
    m_listen->setDefaultAction(listen);
    m_showMusic->setDefaultAction(showMusic);
    applyState(m_state);
}

void MainToolbar::setTunerMenu(QMenu* menu)
{
    m_tuner->setMenu(menu);
}

void MainToolbar::applyState(const ToolbarState& state)
{
    m_state = state;
    auto set = [](QToolButton* button, bool enabled, const QString& image, const QString& text) {
        if (QAction* action = button->defaultAction()) {
            action->setEnabled(enabled);
            action->setIcon(iconNamed(image));
            action->setText(text);
            action->setToolTip(text);
        } else {
            button->setEnabled(enabled);
            button->setIcon(iconNamed(image));
            button->setToolTip(text);
        }
        button->setAccessibleName(text);
    };
    set(m_record, state.enabled,
        state.recording ? QStringLiteral("button-stop") : QStringLiteral("button-record"),
        state.recording ? tr("Stop") : tr("Record"));
    set(m_skip, state.enabled && state.skipEnabled, QStringLiteral("button-skip"),
        tr("Skip Track"));
    set(m_listen, state.enabled,
        state.listening ? QStringLiteral("button-listen-off") : QStringLiteral("button-listen"),
        state.listening ? tr("Stop Listening") : tr("Listen"));
    set(m_showMusic, state.enabled && state.showMusicEnabled, QStringLiteral("button-showmusic"),
        tr("Show Music"));
}

void MainToolbar::setImportInProgress(bool running)
{
    m_tunerProgress->setVisible(running);
    m_tuner->setEnabled(!running);
}

bool MainToolbar::importIndicatorRunning() const
{
    return !m_tunerProgress->isHidden();
}

void MainToolbar::setShownItems(const QStringList& items)
{
    m_items = ToolbarLayout::sanitized(items);
    Array stored;
    for (const QString& identifier : m_items)
        stored.append(Value(identifier.toStdString()));
    m_prefs.setPrefs(Value(stored), kConfigurationKey);
    rebuild();
}

void MainToolbar::setShowsLabels(bool shows)
{
    m_showsLabels = shows;
    m_prefs.setPrefs(Value(shows), kShowLabelsKey);
    rebuild();
}

void MainToolbar::rebuild()
{
    clear();
    // Separators and spaces are made anew each time; the two views stay, in actions of
    // their own that are only taken out and put back.
    qDeleteAll(m_spacing);
    m_spacing.clear();
    setToolButtonStyle(m_showsLabels ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
    for (QToolButton* button : {m_record, m_skip, m_listen, m_showMusic, m_tuner})
        button->setToolButtonStyle(toolButtonStyle());
    for (const QString& identifier : m_items) {
        if (identifier == toolbar::kSeparator) {
            m_spacing.push_back(addSeparator());
        } else if (identifier == toolbar::kFlexibleSpace) {
            auto* space = new QWidgetAction(this);
            auto* widget = new QWidget;
            widget->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
            space->setDefaultWidget(widget);
            addAction(space);
            m_spacing.push_back(space);
        } else if (identifier == toolbar::kControlView) {
            addAction(m_controlAction);
        } else if (identifier == toolbar::kTunerView) {
            addAction(m_tunerAction);
        } else if (QAction* action = m_actions.value(identifier)) {
            addAction(action);
            if (QWidget* button = widgetForAction(action))
                button->setObjectName(identifier);
        }
    }
}

void MainToolbar::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    QAction* labels = menu.addAction(tr("Show Labels"));
    labels->setCheckable(true);
    labels->setChecked(m_showsLabels);
    connect(labels, &QAction::toggled, this, &MainToolbar::setShowsLabels);
    menu.addAction(tr("Customize Toolbar..."), this, &MainToolbar::customize);
    menu.exec(event->globalPos());
}

void MainToolbar::customize()
{
    ToolbarCustomizeDialog dialog(m_items, this);
    connect(&dialog, &ToolbarCustomizeDialog::itemsChanged, this, &MainToolbar::setShownItems);
    dialog.exec();
}

} // namespace orvanta::ui
