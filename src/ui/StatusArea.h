#pragma once

// The two-line status display under the station list: the status line, the song line and a
// busy indicator that runs while the shown station connects or records.
//
// Thread: main.

#include "FrontEnd.h"

#include <QWidget>

class QLabel;
class QProgressBar;

namespace orvanta::ui {

class StatusArea : public QWidget
{
public:
    explicit StatusArea(QWidget* parent = nullptr);

    void setStatusLines(const StatusLines& lines);
    QString statusText() const;
    QString songText() const;
    bool isBusy() const;

private:
    QLabel* m_status;
    QLabel* m_song;
    QProgressBar* m_busy;
    QString m_fullSong;
};

} // namespace orvanta::ui
