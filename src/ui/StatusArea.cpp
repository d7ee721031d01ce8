#include "StatusArea.h"

#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>

namespace orvanta::ui {

StatusArea::StatusArea(QWidget* parent)
    : QWidget(parent), m_status(new QLabel(this)), m_song(new QLabel(this)),
      m_busy(new QProgressBar(this))
{
    setObjectName(QStringLiteral("statusArea"));
    m_status->setObjectName(QStringLiteral("statusTextField"));
    m_song->setObjectName(QStringLiteral("songTextField"));
    m_busy->setObjectName(QStringLiteral("statusProgressIndicator"));
    m_status->setAccessibleName(tr("Status"));
    m_song->setAccessibleName(tr("Song"));
    m_song->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A running bar with no end: busy, for as long as it takes.
    m_busy->setRange(0, 0);
    m_busy->setTextVisible(false);
    m_busy->setFixedSize(48, 10);
    m_busy->setAccessibleName(tr("Busy"));
    m_busy->hide();
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.92);
    m_status->setFont(small);
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(8, 4, 8, 6);
    layout->setVerticalSpacing(1);
    layout->addWidget(m_busy, 0, 0, 2, 1, Qt::AlignVCenter);
    layout->addWidget(m_status, 0, 1);
    layout->addWidget(m_song, 1, 1);
    layout->setColumnStretch(1, 1);
}

void StatusArea::setStatusLines(const StatusLines& lines)
{
    m_status->setText(QString::fromStdString(lines.status));
    m_fullSong = QString::fromStdString(lines.song);
    // The labels are named for what they show; a screen reader reads what they say from
    // their descriptions.
    m_status->setAccessibleDescription(m_status->text());
    m_song->setAccessibleDescription(m_fullSong);
    // A long title or address is cut with an ellipsis; the whole text is the tool tip.
    m_song->setText(m_song->fontMetrics().elidedText(m_fullSong, Qt::ElideMiddle,
                                                     std::max(200, m_song->width())));
    m_song->setToolTip(m_fullSong);
    m_busy->setVisible(lines.spinning);
}

QString StatusArea::statusText() const
{
    return m_status->text();
}

QString StatusArea::songText() const
{
    return m_fullSong;
}

bool StatusArea::isBusy() const
{
    return !m_busy->isHidden();
}

} // namespace orvanta::ui
