#include "StationDrops.h"

#include "StringExtensions.h"

#include <cstring>

#include <QMimeData>
#include <QStringList>
#include <QUrl>

namespace orvanta {

namespace {

// Firefox and Chromium put the link's title on the line after its address.
std::optional<std::string> titleOfLink(const QMimeData& data)
{
    for (const char* type : {"text/x-moz-url", "_NETSCAPE_URL"}) {
        if (!data.hasFormat(QString::fromLatin1(type)))
            continue;
        const QByteArray bytes = data.data(QString::fromLatin1(type));
        // text/x-moz-url is UTF-16.
        const QString text =
            std::strcmp(type, "text/x-moz-url") == 0
                ? QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.data()),
                                     bytes.size() / 2)
                : QString::fromUtf8(bytes);
        const QStringList lines = text.split(QLatin1Char('\n'));
        if (lines.size() > 1 && !lines.at(1).trimmed().isEmpty())
            return lines.at(1).trimmed().toStdString();
    }
    return std::nullopt;
}

} // namespace

MyOLVController::DropInput dropInputFromMimeData(const QMimeData& data)
{
    MyOLVController::DropInput input;
    if (data.hasFormat(kStationListDragType)) {
        input.internal = true;
        return input;
    }
    std::optional<std::string> webAddress;
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile())
            input.fileNames.push_back(url.toLocalFile().toStdString());
        else if (!webAddress && !url.isEmpty())
            webAddress = url.toString().toStdString();
    }
    if (webAddress) {
        input.url = webAddress;
        input.urlTitle = titleOfLink(data);
    }
    // A file manager also offers the files' paths as text: the files are what was dropped.
    if (!input.fileNames.empty() && !webAddress)
        return input;
    if (data.hasText()) {
        const std::string text = stringByTrimmingWhitespaceAndNewline(data.text().toStdString());
        // Several links come as several lines: the first is the station.
        const auto lineEnd = text.find_first_of("\r\n");
        input.text = lineEnd == std::string::npos ? text : text.substr(0, lineEnd);
    } else if (webAddress) {
        input.text = webAddress;
    }
    return input;
}

bool dropNeedsPlaylistFetch(const MyOLVController::DropInput& input)
{
    if (input.internal || !input.text)
        return false;
    if (input.url && startsWithIgnoringCase(*input.url, MyOLVController::kRedirectorPrefix))
        return false;
    return endsWithIgnoringCase(*input.text, ".pls");
}

} // namespace orvanta
