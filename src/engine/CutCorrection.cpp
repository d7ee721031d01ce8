#include "CutCorrection.h"

#include "AdtsFrames.h"
#include "Localization.h"
#include "MyMP3Util.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvanta {

namespace {

using Bytes8 = std::vector<std::uint8_t>;

// How much of a file's audio finds it in the journal, and how far before the point its
// completion was noted the search reaches besides the file's own length.
constexpr std::size_t kProbe = 4096;
constexpr std::uint64_t kSearchSlack = std::uint64_t{4} << 20;

/// A recorded file: its leading ID3v2 tag, its audio and its trailing ID3v1 tag.
struct FileParts
{
    Bytes8 head;
    Bytes8 audio;
    Bytes8 tail;
};

std::optional<FileParts> readFileParts(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    Bytes8 all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    FileParts parts;
    std::size_t begin = 0;
    std::size_t end = all.size();
    if (all.size() >= 10 && std::memcmp(all.data(), "ID3", 3) == 0) {
        const std::size_t body = (std::size_t{all[6]} & 0x7f) << 21 |
                                 (std::size_t{all[7]} & 0x7f) << 14 |
                                 (std::size_t{all[8]} & 0x7f) << 7 | (std::size_t{all[9]} & 0x7f);
        begin = std::min(all.size(), 10 + body + ((all[5] & 0x10) ? 10 : 0));
    }
    if (end - begin >= 128 && std::memcmp(all.data() + end - 128, "TAG", 3) == 0)
        end -= 128;
    parts.head.assign(all.begin(), all.begin() + static_cast<long>(begin));
    parts.audio.assign(all.begin() + static_cast<long>(begin),
                       all.begin() + static_cast<long>(end));
    parts.tail.assign(all.begin() + static_cast<long>(end), all.end());
    return parts;
}

/// Where audio lies in the session, searched before the point hint. Steady audio (a tone,
/// silence) repeats byte for byte, so every place its start is found at is tried in full,
/// the nearest to hint first.
std::optional<std::uint64_t> locate(const JournalSession& session, const Bytes8& audio,
                                    std::uint64_t hint)
{
    if (audio.size() < kProbe)
        return std::nullopt;
    const std::uint64_t reach = audio.size() + kSearchSlack;
    const std::uint64_t from = hint > reach ? hint - reach : 0;
    const std::uint64_t to = std::min(session.audioBytes, hint + kSearchSlack);
    const Bytes8 window = session.audioAt(from, static_cast<std::size_t>(to - from));
    const std::boyer_moore_horspool_searcher searcher(audio.begin(), audio.begin() + kProbe);
    std::vector<std::size_t> starts;
    for (auto at = window.begin();;) {
        at = std::search(at, window.end(), searcher);
        if (at == window.end())
            break;
        starts.push_back(static_cast<std::size_t>(at - window.begin()));
        ++at;
    }
    for (auto start = starts.rbegin(); start != starts.rend(); ++start) {
        if (window.size() - *start >= audio.size() &&
            std::equal(audio.begin(), audio.end(), window.begin() + static_cast<long>(*start)))
            return from + *start;
    }
    return std::nullopt; // not one stretch of the journal
}

struct FrameBoundary
{
    std::uint64_t offset;
    double seconds; // from the span's start
};

/// The frame boundaries of span (from base on), with their times; the span's end last.
std::vector<FrameBoundary> frameBoundaries(AudioFormat format, const Bytes8& span,
                                           std::uint64_t base)
{
    std::vector<FrameBoundary> boundaries;
    std::size_t at = 0;
    double seconds = 0;
    while (at + 10 <= span.size()) {
        std::size_t length = 0;
        double duration = 0;
        if (format == AudioFormat::AAC) {
            if (const auto header = AdtsFrames::decodeHeader(span.data() + at);
                header && header->sampleRate > 0) {
                length = header->frameLength;
                duration = 1024.0 * header->rawDataBlocks / header->sampleRate;
            }
        } else {
            mp3frameheader_t header{};
            if (MyMP3Util::decodeFrameHeader(header, span.data() + at) && header.sampleRate > 0) {
                length = header.frameLength;
                const double samples =
                    header.layer == 1 ? 384
                                      : (header.layer == 3 && header.version != 1 ? 576 : 1152);
                duration = samples / header.sampleRate;
            }
        }
        if (length == 0 || at + length > span.size()) {
            // A broken frame: go on at the next one the stream's sync finds.
            const FrameRange next =
                findFirstFrameRun(format, span.data() + at + 1, span.size() - at - 1);
            if (!next.found())
                break;
            at += 1 + static_cast<std::size_t>(next.location);
            continue;
        }
        boundaries.push_back({base + at, seconds});
        at += length;
        seconds += duration;
    }
    boundaries.push_back({base + at, seconds});
    return boundaries;
}

std::string nameOf(const std::string& path)
{
    return std::filesystem::path(path).filename().string();
}

/// The new contents written beside path, complete on the disc; its name, or empty.
std::string writeBeside(const std::string& path, const std::vector<const Bytes8*>& parts,
                        std::uint64_t audioFrom, std::uint64_t audioTo,
                        const JournalSession& session, std::string& error)
{
    const std::filesystem::path target(path);
    const std::string temporary =
        (target.parent_path() / ("." + target.filename().string() + ".recut")).string();
    struct stat old
    {};
    ::stat(path.c_str(), &old);
    ::unlink(temporary.c_str());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                          old.st_mode & 0777 ? old.st_mode & 0777 : 0644);
    if (fd < 0) {
        error = Orvanta::tr("Cannot write beside \"%1\": %2", {path, std::strerror(errno)});
        return {};
    }
    const Bytes8 audio = session.audioAt(audioFrom, static_cast<std::size_t>(audioTo - audioFrom));
    bool written = audio.size() == audioTo - audioFrom;
    auto put = [&](const Bytes8& bytes) {
        written = written && writeWhole(fd, bytes.data(), bytes.size());
    };
    put(*parts[0]);
    put(audio);
    put(*parts[1]);
    if (written && ::fsync(fd) != 0)
        written = false;
    const int savedErrno = errno;
    if (::close(fd) != 0)
        written = false;
    if (!written) {
        ::unlink(temporary.c_str());
        error = Orvanta::tr("Cannot write the new \"%1\": %2",
                            {nameOf(path), audio.size() != audioTo - audioFrom
                                               ? Orvanta::tr("the journal is cut short")
                                               : std::string(std::strerror(savedErrno))});
        return {};
    }
    return temporary;
}

} // namespace

std::optional<RecordedCut> findRecordedCut(const std::string& sessionsFolder,
                                           const std::string& filePath, std::string& error)
{
    const auto file = readFileParts(filePath);
    if (!file) {
        error = Orvanta::tr("\"%1\" cannot be read.", {nameOf(filePath)});
        return std::nullopt;
    }
    for (const JournalSession& session : JournalSession::readAll(sessionsFolder)) {
        // The files the session finished, in order; a song cut short by a stop stays in the
        // incomplete folder without one, and is the session's last.
        std::vector<const JournalSession::Event*> finished;
        for (const JournalSession::Event& event : session.events)
            if (event.kind == "file" && !event.fields.empty())
                finished.push_back(&event);
        const auto named = std::find_if(finished.begin(), finished.end(), [&](const auto* event) {
            return event->fields[0] == filePath;
        });
        const std::uint64_t hint = named != finished.end() ? (*named)->offset : session.audioBytes;
        const auto start = locate(session, file->audio, hint);
        if (!start) {
            if (named == finished.end())
                continue;
            error = Orvanta::tr("The journal no longer holds the audio of \"%1\" as it is now.",
                                {nameOf(filePath)});
            return std::nullopt;
        }
        RecordedCut cut;
        cut.session = session;
        cut.filePath = filePath;
        cut.fileStart = *start;
        cut.fileEnd = *start + file->audio.size();
        const auto format = session.formatAt(cut.fileStart);
        if (!format || *format == AudioFormat::Ogg) {
            error = Orvanta::tr("Only MP3 and AAC cuts can be moved; Ogg files are cut where "
                                "the station starts each song.");
            return std::nullopt;
        }
        cut.format = *format;
        const JournalSession::Event* previousFile =
            named == finished.begin() || finished.empty() ? nullptr : *std::prev(named);
        if (!previousFile) {
            error = Orvanta::tr("\"%1\" is the first song of its recording: no cut lies "
                                "before it.",
                                {nameOf(filePath)});
            return std::nullopt;
        }
        cut.previousPath = previousFile->fields[0];
        const auto previous = readFileParts(cut.previousPath);
        const auto previousStart =
            previous ? locate(session, previous->audio, previousFile->offset) : std::nullopt;
        if (!previousStart) {
            error = Orvanta::tr("The song before, \"%1\", is no longer there as it was recorded.",
                                {nameOf(cut.previousPath)});
            return std::nullopt;
        }
        cut.previousStart = *previousStart;
        cut.previousEnd = *previousStart + previous->audio.size();
        if (cut.previousStart >= cut.fileStart || cut.previousEnd + kProbe < cut.fileStart) {
            error = Orvanta::tr("The song before \"%1\" was not kept, so there is no cut to move.",
                                {nameOf(filePath)});
            return std::nullopt;
        }
        for (const JournalSession::Event& mark : session.events) {
            const std::uint64_t distance = mark.offset > cut.fileStart
                                               ? mark.offset - cut.fileStart
                                               : cut.fileStart - mark.offset;
            if (mark.kind == "cut" && !mark.fields.empty() && distance <= kProbe)
                cut.fromTitleSeconds = std::strtod(mark.fields[0].c_str(), nullptr);
        }
        return cut;
    }
    error = Orvanta::tr("No journal holds the recording of \"%1\" (it is kept for a few days, "
                        "while the preferences allow).",
                        {nameOf(filePath)});
    return std::nullopt;
}

std::optional<double> moveRecordedCut(const RecordedCut& cut, double seconds, std::string& error)
{
    const Bytes8 span = cut.session.audioAt(
        cut.previousStart, static_cast<std::size_t>(cut.fileEnd - cut.previousStart));
    if (span.size() != cut.fileEnd - cut.previousStart) {
        error = Orvanta::tr("The journal is cut short.");
        return std::nullopt;
    }
    const auto boundaries = frameBoundaries(cut.format, span, cut.previousStart);
    const auto here = std::lower_bound(boundaries.begin(), boundaries.end(), cut.fileStart,
                                       [](const FrameBoundary& boundary, std::uint64_t offset) {
                                           return boundary.offset < offset;
                                       });
    if (here == boundaries.end() || boundaries.size() < 3) {
        error = Orvanta::tr("The audio around the cut holds no frames.");
        return std::nullopt;
    }
    const double target = here->seconds + seconds;
    // Each file keeps at least one frame.
    const auto first = boundaries.begin() + 1;
    const auto last = boundaries.end() - 2;
    auto nearest = first;
    for (auto candidate = first; candidate <= last; ++candidate) {
        if (std::fabs(candidate->seconds - target) < std::fabs(nearest->seconds - target))
            nearest = candidate;
    }
    const double moved = nearest->seconds - here->seconds;
    if (std::fabs(moved - seconds) > 0.1) {
        char earlier[32];
        char later[32];
        char asked[32];
        std::snprintf(earlier, sizeof earlier, "%.2f", here->seconds - first->seconds);
        std::snprintf(later, sizeof later, "%.2f", last->seconds - here->seconds);
        std::snprintf(asked, sizeof asked, "%+.2f", seconds);
        error = Orvanta::tr("The cut can move from %1 s earlier to %2 s later, not %3 s.",
                            {earlier, later, asked});
        return std::nullopt;
    }
    const std::uint64_t newCut = nearest->offset;
    // What the earlier song kept past the cut (a rewind), or short of it, it keeps again.
    const auto previousEnd = static_cast<std::uint64_t>(std::clamp<std::int64_t>(
        static_cast<std::int64_t>(newCut) + static_cast<std::int64_t>(cut.previousEnd) -
            static_cast<std::int64_t>(cut.fileStart),
        static_cast<std::int64_t>(first->offset), static_cast<std::int64_t>(cut.fileEnd)));

    const auto previous = readFileParts(cut.previousPath);
    const auto file = readFileParts(cut.filePath);
    if (!previous || !file) {
        error = Orvanta::tr("The two files cannot be read.");
        return std::nullopt;
    }
    const std::string newPrevious =
        writeBeside(cut.previousPath, {&previous->head, &previous->tail}, cut.previousStart,
                    previousEnd, cut.session, error);
    if (newPrevious.empty())
        return std::nullopt;
    const std::string newFile = writeBeside(cut.filePath, {&file->head, &file->tail}, newCut,
                                            cut.fileEnd, cut.session, error);
    if (newFile.empty()) {
        ::unlink(newPrevious.c_str());
        return std::nullopt;
    }
    // Both are complete: now each replaces its old one.
    if (::rename(newPrevious.c_str(), cut.previousPath.c_str()) != 0 ||
        ::rename(newFile.c_str(), cut.filePath.c_str()) != 0) {
        error = Orvanta::tr("Cannot replace the files: %1", {std::strerror(errno)});
        ::unlink(newPrevious.c_str());
        ::unlink(newFile.c_str());
        return std::nullopt;
    }
    return moved;
}

} // namespace orvanta
