#include "PlaylistFiling.h"

#include "FileManagerExtensions.h"
#include "StringExtensions.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvanta {

namespace {

constexpr const char* kLibraryFolder = "Orvanta Library";
constexpr const char* kPlaylistsFolder = "Playlists";
constexpr const char* kUnknownArtist = "Unknown Artist";
constexpr const char* kUnknownAlbum = "Unknown Album";
constexpr const char* kDefaultPlaylist = "Orvanta";
// Room for " 999" and ".m3u" within the usual 255-byte name limit.
constexpr std::size_t kMaxNameBytes = 200;

class Fd
{
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

std::string errnoText(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

bool writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string trimmedSpaces(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The text of a tag, artist or album; a list of values is joined as players show them.
std::string tagText(const Dictionary& tags, const char* frame)
{
    const Value value = tags.get(frame);
    if (value.isString())
        return trimmedSpaces(value.toString());
    if (value.isArray()) {
        std::string joined;
        for (const Value& item : value.toArray())
            if (item.isString())
                joined += (joined.empty() ? "" : "/") + item.toString();
        return trimmedSpaces(joined);
    }
    return {};
}

/// Creates an empty file under a name nobody uses yet in folder and returns its path.
std::optional<std::string> reserveFreeName(const std::string& folder, const std::string& name,
                                           std::string& error)
{
    const std::filesystem::path file(name);
    std::string stem = file.stem().string();
    std::string extension = file.extension().string();
    if (stem.empty()) {
        stem = name;
        extension.clear();
    }
    for (int number = 1; number < 100000; ++number) {
        const std::string candidate =
            folder + "/" + (number == 1 ? name : stem + " " + std::to_string(number) + extension);
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            return candidate;
        }
        if (errno != EEXIST) {
            error = errnoText("Could not create " + candidate);
            return std::nullopt;
        }
    }
    error = "No free name for " + name + " in " + folder;
    return std::nullopt;
}

bool copyAndSync(const std::string& from, const std::string& to, std::string& error)
{
    Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) {
        error = errnoText("Could not read " + from);
        return false;
    }
    Fd out(::open(to.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
    if (out.get() < 0) {
        error = errnoText("Could not write " + to);
        return false;
    }
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(in.get(), buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errnoText("Could not read " + from);
            return false;
        }
        if (!writeAll(out.get(), buffer, static_cast<std::size_t>(n))) {
            error = errnoText("Could not write " + to);
            return false;
        }
    }
    struct stat info
    {};
    if (::fstat(in.get(), &info) == 0) {
        const struct timespec times[2] = {info.st_atim, info.st_mtim};
        ::futimens(out.get(), times);
    }
    if (::fsync(out.get()) != 0) {
        error = errnoText("Could not write " + to);
        return false;
    }
    return true;
}

std::optional<std::string> moveIntoLibrary(const std::string& source, const Dictionary& tags,
                                           const std::string& music, std::string& error)
{
    std::string artist = tagText(tags, "TPE1");
    if (artist.empty())
        artist = tagText(tags, "TPE2");
    const std::string folder = music + "/" + kLibraryFolder + "/" +
                               safePathComponent(artist, kUnknownArtist) + "/" +
                               safePathComponent(tagText(tags, "TALB"), kUnknownAlbum);
    if (!createDirectoriesAtPath(folder)) {
        error = errnoText("Could not create " + folder);
        return std::nullopt;
    }
    std::error_code same;
    if (std::filesystem::equivalent(std::filesystem::path(source).parent_path(), folder, same))
        return source; // filed already
    const auto target =
        reserveFreeName(folder, std::filesystem::path(source).filename().string(), error);
    if (!target)
        return std::nullopt;
    // The same file system: the rename replaces the empty reservation in one step.
    if (::rename(source.c_str(), target->c_str()) == 0)
        return target;
    if (errno != EXDEV) {
        error = errnoText("Could not move " + source);
        ::unlink(target->c_str());
        return std::nullopt;
    }
    // Another file system: the source goes only once the copy is complete on disc.
    if (!copyAndSync(source, *target, error)) {
        ::unlink(target->c_str());
        return std::nullopt;
    }
    ::unlink(source.c_str());
    return target;
}

bool addToPlaylist(const std::string& music, const std::string& playlistName,
                   const std::string& location, std::string& error)
{
    const std::string folder = music + "/" + kPlaylistsFolder;
    if (!createDirectoriesAtPath(folder)) {
        error = errnoText("Could not create " + folder);
        return false;
    }
    const std::string path =
        folder + "/" + safePathComponent(playlistName, kDefaultPlaylist) + ".m3u";
    Fd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    if (fd.get() < 0) {
        error = errnoText("Could not open the playlist " + path);
        return false;
    }
    // Other copies of the program may add to the same playlist.
    while (::flock(fd.get(), LOCK_EX) != 0) {
        if (errno != EINTR) {
            error = errnoText("Could not lock the playlist " + path);
            return false;
        }
    }
    std::string existing;
    char buffer[1 << 16];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(fd.get(), buffer, sizeof buffer, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = errnoText("Could not read the playlist " + path);
            return false;
        }
        if (n == 0)
            break;
        existing.append(buffer, static_cast<std::size_t>(n));
        at += n;
    }
    const std::string line = playlistLineForLocation(location);
    for (std::size_t start = 0; start <= existing.size();) {
        std::size_t end = existing.find('\n', start);
        if (end == std::string::npos)
            end = existing.size();
        std::string entry = existing.substr(start, end - start);
        if (!entry.empty() && entry.back() == '\r')
            entry.pop_back();
        if (entry == line)
            return true; // listed already
        start = end + 1;
    }
    std::string addition;
    if (existing.empty())
        addition = "#EXTM3U\n";
    else if (existing.back() != '\n')
        addition = "\n";
    addition += line + "\n";
    if (!writeAll(fd.get(), addition.data(), addition.size()) || ::fsync(fd.get()) != 0) {
        error = errnoText("Could not write the playlist " + path);
        return false;
    }
    return true;
}

} // namespace

std::string safePathComponent(const std::string& text, const std::string& fallback)
{
    std::string cleaned;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/')
            cleaned += '-';
        else if (byte < 32 || byte == 0x7F)
            cleaned += ' ';
        else
            cleaned += c;
    }
    cleaned = trimmedSpaces(cleaned);
    if (cleaned.size() > kMaxNameBytes) {
        // Cut on a character boundary of the UTF-8 text.
        std::size_t cut = kMaxNameBytes;
        while (cut > 0 && (static_cast<unsigned char>(cleaned[cut]) & 0xC0) == 0x80)
            --cut;
        cleaned = trimmedSpaces(cleaned.substr(0, cut));
    }
    if (cleaned.find_first_not_of('.') == std::string::npos)
        return fallback;
    return cleaned;
}

std::string playlistLineForLocation(const std::string& location)
{
    if (location.find_first_of("\r\n") == std::string::npos)
        return location;
    static const char* const kHex = "0123456789ABCDEF";
    std::string uri = "file://";
    for (const char c : location) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '/' || c == '_' || c == '.' || c == '-' || c == '~') {
            uri += c;
        } else {
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 0xF];
        }
    }
    return uri;
}

PlaylistFilingResult fileIntoPlaylist(const std::string& location, const std::string& playlistName,
                                      bool deleteSource, const Dictionary& id3Tags,
                                      const std::string& musicFolder)
{
    PlaylistFilingResult result;
    result.location = location;
    if (location.empty()) {
        result.error = "No file location given";
        return result;
    }
    std::error_code ignored;
    const std::string path = std::filesystem::absolute(location, ignored).string();
    struct stat info
    {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        result.error = "No such file: " + path;
        return result;
    }
    result.location = path;
    if (deleteSource) {
        auto moved = moveIntoLibrary(path, id3Tags, musicFolder, result.error);
        if (!moved)
            return result;
        result.moved = *moved != path;
        result.location = *moved;
    }
    result.listed = addToPlaylist(musicFolder, playlistName, result.location, result.error);
    return result;
}

} // namespace orvanta
