#include "CutEditor.h"

#include "LoudnessSpan.h"

#include <QAudioOutput>
#include <QDialogButtonBox>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMediaPlayer>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace orvanta::ui {

namespace {

// How much of each side of the cut the editor shows, and plays from the chosen point.
constexpr double kSideSeconds = 6;
constexpr double kPlaySeconds = 10;
constexpr float kFloorDb = -60;

QString fileName(const std::string& path)
{
    return QString::fromStdString(std::filesystem::path(path).filename().string());
}

} // namespace

// ---- the waveform -------------------------------------------------------------------------

CutWaveform::CutWaveform(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("cutWaveform"));
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(tr("The audio around the cut"));
    setMinimumHeight(120);
}

void CutWaveform::setLevels(std::vector<float> levelsDb, double windowSeconds,
                            std::size_t cutWindow)
{
    m_levels = std::move(levelsDb);
    m_windowSeconds = windowSeconds;
    m_cutWindow = std::min(cutWindow, m_levels.empty() ? 0 : m_levels.size() - 1);
    m_chosenWindow = m_cutWindow;
    // The gaps: a tenth of a second or more within 6 dB of the quietest part, and quiet.
    m_gaps.clear();
    if (!m_levels.empty()) {
        const float quietest = *std::min_element(m_levels.begin(), m_levels.end());
        const float threshold = std::min(quietest + 6.0F, -40.0F);
        const auto minimum = static_cast<std::size_t>(0.1 / windowSeconds);
        std::size_t start = 0;
        for (std::size_t i = 0; i <= m_levels.size(); ++i) {
            const bool quiet = i < m_levels.size() && m_levels[i] <= threshold;
            if (quiet)
                continue;
            if (i - start >= minimum && i > start)
                m_gaps.emplace_back(start, i);
            start = i + 1;
        }
    }
    update();
}

double CutWaveform::offsetSeconds() const
{
    return (static_cast<double>(m_chosenWindow) - static_cast<double>(m_cutWindow)) *
           m_windowSeconds;
}

void CutWaveform::setOffsetSeconds(double seconds)
{
    if (m_levels.empty())
        return;
    const double window = static_cast<double>(m_cutWindow) + seconds / m_windowSeconds;
    const auto chosen = static_cast<std::size_t>(
        std::clamp(std::lround(window), 0L, static_cast<long>(m_levels.size()) - 1));
    if (chosen == m_chosenWindow)
        return;
    m_chosenWindow = chosen;
    update();
    emit offsetChanged(offsetSeconds());
}

void CutWaveform::setVisibleSeconds(double seconds)
{
    const double whole = std::max(2.0, static_cast<double>(m_levels.size()) * m_windowSeconds);
    m_visibleSeconds = std::clamp(seconds, 2.0, whole);
    update();
}

double CutWaveform::windowsPerPixel() const
{
    return m_visibleSeconds / m_windowSeconds / std::max(1, width());
}

double CutWaveform::firstVisibleWindow() const
{
    // The recorded cut stays in the middle; the ends of the stretch stop the view.
    const double shown = m_visibleSeconds / m_windowSeconds;
    const double first = static_cast<double>(m_cutWindow) - shown / 2;
    return std::clamp(first, 0.0, std::max(0.0, static_cast<double>(m_levels.size()) - shown));
}

void CutWaveform::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPalette& colours = palette();
    painter.fillRect(rect(), colours.base());
    if (m_levels.empty())
        return;
    const double first = firstVisibleWindow();
    const double perPixel = windowsPerPixel();
    auto xOf = [&](double window) { return (window - first) / perPixel; };
    QColor gap = colours.highlight().color();
    gap.setAlpha(50);
    for (const auto& [from, to] : m_gaps)
        painter.fillRect(QRectF(xOf(static_cast<double>(from)), 0,
                                (static_cast<double>(to - from)) / perPixel, height()),
                         gap);
    const double middle = height() / 2.0;
    painter.setPen(colours.text().color());
    for (int x = 0; x < width(); ++x) {
        const auto from = static_cast<std::size_t>(std::max(0.0, first + x * perPixel));
        const auto to =
            std::min(m_levels.size(), static_cast<std::size_t>(first + (x + 1) * perPixel) + 1);
        if (from >= m_levels.size())
            break;
        const float level = *std::max_element(m_levels.begin() + static_cast<long>(from),
                                              m_levels.begin() + static_cast<long>(to));
        const double size = std::clamp((level - kFloorDb) / -kFloorDb, 0.0F, 1.0F) * middle;
        painter.drawLine(QPointF(x, middle - size), QPointF(x, middle + size));
    }
    painter.setPen(QPen(colours.mid().color(), 1, Qt::DashLine));
    painter.drawLine(QPointF(xOf(static_cast<double>(m_cutWindow)), 0),
                     QPointF(xOf(static_cast<double>(m_cutWindow)), height()));
    painter.setPen(QPen(colours.highlight().color(), 2));
    painter.drawLine(QPointF(xOf(static_cast<double>(m_chosenWindow)), 0),
                     QPointF(xOf(static_cast<double>(m_chosenWindow)), height()));
}

void CutWaveform::chooseAtX(double x)
{
    const double window = firstVisibleWindow() + x * windowsPerPixel();
    setOffsetSeconds((window - static_cast<double>(m_cutWindow)) * m_windowSeconds);
}

void CutWaveform::mousePressEvent(QMouseEvent* event)
{
    chooseAtX(event->position().x());
}

void CutWaveform::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() & Qt::LeftButton)
        chooseAtX(event->position().x());
}

void CutWaveform::keyPressEvent(QKeyEvent* event)
{
    const double step = event->modifiers() & Qt::ShiftModifier ? 0.5 : 0.05;
    if (event->key() == Qt::Key_Left)
        setOffsetSeconds(offsetSeconds() - step);
    else if (event->key() == Qt::Key_Right)
        setOffsetSeconds(offsetSeconds() + step);
    else
        QWidget::keyPressEvent(event);
}

void CutWaveform::wheelEvent(QWheelEvent* event)
{
    setVisibleSeconds(m_visibleSeconds * (event->angleDelta().y() > 0 ? 0.8 : 1.25));
}

// ---- the editor ---------------------------------------------------------------------------

CutEditor::CutEditor(RecordedCut cut, std::function<void(double moved)> applied, QWidget* parent)
    : QDialog(parent), m_cut(std::move(cut)), m_applied(std::move(applied)),
      m_waveform(new CutWaveform(this)), m_offset(new QLabel(this))
{
    setObjectName(QStringLiteral("cutEditor"));
    setWindowTitle(tr("Adjust Cut"));
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(
        tr("The cut between “%1” and “%2”. Drag it (or use the arrow keys) to where the songs "
           "should part; the shaded stretches are quiet.")
            .arg(fileName(m_cut.previousPath), fileName(m_cut.filePath)),
        this);
    heading->setWordWrap(true);
    layout->addWidget(heading);
    layout->addWidget(m_waveform, 1);
    auto* row = new QHBoxLayout;
    m_offset->setObjectName(QStringLiteral("cutOffset"));
    row->addWidget(m_offset, 1);
    auto* zoomIn = new QPushButton(tr("Zoom In"), this);
    auto* zoomOut = new QPushButton(tr("Zoom Out"), this);
    auto* play = new QPushButton(tr("Play from Here"), this);
    play->setObjectName(QStringLiteral("playFromHere"));
    for (QPushButton* button : {zoomIn, zoomOut, play}) {
        button->setAutoDefault(false);
        row->addWidget(button);
    }
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Apply | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Apply)->setObjectName(QStringLiteral("applyCut"));
    layout->addWidget(buttons);
    connect(zoomIn, &QPushButton::clicked, this,
            [this] { m_waveform->setVisibleSeconds(m_waveform->visibleSeconds() * 0.5); });
    connect(zoomOut, &QPushButton::clicked, this,
            [this] { m_waveform->setVisibleSeconds(m_waveform->visibleSeconds() * 2); });
    connect(play, &QPushButton::clicked, this, &CutEditor::playFromChosenPoint);
    connect(buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
            [this] { apply(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_waveform, &CutWaveform::offsetChanged, this, &CutEditor::showOffset);

    // The stretch shown: a few seconds each side of the cut, within the two songs.
    const std::vector<std::uint8_t> probe = m_cut.session.audioAt(m_cut.fileStart, 64 * 1024);
    if (const double rate = bytesPerSecondOfFrames(m_cut.format, probe.data(), probe.size());
        rate > 0)
        m_bytesPerSecond = rate;
    const auto side = static_cast<std::uint64_t>(kSideSeconds * m_bytesPerSecond);
    m_spanStart =
        std::max(m_cut.previousStart, m_cut.fileStart > side ? m_cut.fileStart - side : 0);
    const std::uint64_t spanEnd = std::min(m_cut.fileEnd, m_cut.fileStart + side);
    const std::vector<std::uint8_t> span =
        m_cut.session.audioAt(m_spanStart, spanEnd - m_spanStart);
    if (auto levels = decodeLoudness(m_cut.format, span.data(), span.size())) {
        // The decoded stretch starts at its first frame run; offsets count from there.
        const std::size_t cutWindow =
            levels->windowAtByte(static_cast<std::size_t>(m_cut.fileStart - m_spanStart));
        m_waveform->setLevels(std::move(levels->levelsDb), LoudnessSpan::kWindowSeconds, cutWindow);
    }
    m_waveform->setVisibleSeconds(2 * kSideSeconds);
    showOffset(0);
    resize(720, 320);
}

CutEditor::~CutEditor() = default;

void CutEditor::showOffset(double seconds)
{
    m_offset->setText(
        std::fabs(seconds) < 0.005
            ? tr("The cut as recorded")
            : (seconds > 0 ? tr("Move the cut %1 s later") : tr("Move the cut %1 s earlier"))
                  .arg(QLocale().toString(std::fabs(seconds), 'f', 2)));
}

bool CutEditor::apply()
{
    std::string error;
    const auto moved = moveRecordedCut(m_cut, m_waveform->offsetSeconds(), error);
    if (!moved) {
        auto* box = new QMessageBox(QMessageBox::Warning, tr("Cannot Move the Cut"),
                                    QString::fromStdString(error), QMessageBox::Ok, this);
        box->setObjectName(QStringLiteral("cutEditorAlert"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return false;
    }
    if (m_applied)
        m_applied(*moved);
    accept();
    return true;
}

void CutEditor::playFromChosenPoint()
{
    const double from =
        static_cast<double>(m_cut.fileStart) + m_waveform->offsetSeconds() * m_bytesPerSecond;
    const auto start = static_cast<std::uint64_t>(std::clamp(
        from, static_cast<double>(m_cut.previousStart), static_cast<double>(m_cut.fileEnd)));
    const std::vector<std::uint8_t> audio =
        m_cut.session.audioAt(start, static_cast<std::size_t>(kPlaySeconds * m_bytesPerSecond));
    m_playFolder = std::make_unique<QTemporaryDir>();
    const QString path =
        m_playFolder->filePath(m_cut.format == AudioFormat::AAC ? QStringLiteral("preview.aac")
                                                                : QStringLiteral("preview.mp3"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char*>(audio.data()),
                   static_cast<qint64>(audio.size())) != static_cast<qint64>(audio.size()))
        return;
    file.close();
    if (!m_player) {
        m_player = new QMediaPlayer(this);
        m_output = new QAudioOutput(this);
        m_player->setAudioOutput(m_output);
    }
    m_player->setSource(QUrl::fromLocalFile(path));
    m_player->play();
}

} // namespace orvanta::ui
