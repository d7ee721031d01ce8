#pragma once

// The cut editor: the audio a few seconds each side of a cut as its loudness (zoomable),
// the cut as recorded, the quiet gaps in it, and the place the user drags the cut to; play
// from that place; Apply writes both songs anew from the session journal.

#include "CutCorrection.h"

#include <QDialog>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QAudioOutput;
class QLabel;
class QMediaPlayer;
class QTemporaryDir;

namespace orvanta::ui {

/// The loudness of a stretch of audio, every hundredth of a second, with two marks: the
/// recorded cut and the one the user chose (dragged with the mouse, or the arrow keys).
class CutWaveform : public QWidget
{
    Q_OBJECT
public:
    explicit CutWaveform(QWidget* parent = nullptr);

    /// levelsDb per window of windowSeconds; cutWindow: where the recorded cut lies.
    void setLevels(std::vector<float> levelsDb, double windowSeconds, std::size_t cutWindow);
    /// How far the chosen cut lies from the recorded one (later when positive).
    double offsetSeconds() const;
    void setOffsetSeconds(double seconds);
    /// Seconds shown across the width (zoom): 2 to the whole stretch.
    void setVisibleSeconds(double seconds);
    double visibleSeconds() const { return m_visibleSeconds; }
    /// Stretches of at least a tenth of a second well below the rest: [first, last) windows.
    const std::vector<std::pair<std::size_t, std::size_t>>& gaps() const { return m_gaps; }

    QSize sizeHint() const override { return {640, 160}; }

signals:
    void offsetChanged(double seconds);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    double firstVisibleWindow() const;
    double windowsPerPixel() const;
    void chooseAtX(double x);

    std::vector<float> m_levels;
    std::vector<std::pair<std::size_t, std::size_t>> m_gaps;
    double m_windowSeconds = 0.01;
    std::size_t m_cutWindow = 0;
    std::size_t m_chosenWindow = 0;
    double m_visibleSeconds = 8;
};

class CutEditor : public QDialog
{
    Q_OBJECT
public:
    /// applied: told how far the cut moved, once both files are written anew.
    CutEditor(RecordedCut cut, std::function<void(double moved)> applied,
              QWidget* parent = nullptr);
    ~CutEditor() override;

    CutWaveform* waveform() const { return m_waveform; }
    /// Writes both songs anew; false (with an alert) when it could not.
    bool apply();
    void playFromChosenPoint();

private:
    void showOffset(double seconds);

    RecordedCut m_cut;
    std::function<void(double)> m_applied;
    std::uint64_t m_spanStart = 0;
    double m_bytesPerSecond = 16000;
    CutWaveform* m_waveform;
    QLabel* m_offset;
    std::unique_ptr<QTemporaryDir> m_playFolder;
    QMediaPlayer* m_player = nullptr;
    QAudioOutput* m_output = nullptr;
};

} // namespace orvanta::ui
