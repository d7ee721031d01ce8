// Stream titles from metadata blocks, split by the nine patterns with arbitrary
// separators, clean and ignore lists, or a pattern of the user's own.

#include "FuzzInput.h"
#include "StreamTitle.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    orvanta::fuzz::FuzzInput input(data, size);
    const int pattern = input.byte() % 10; // 9: a pattern of the user's own
    const int encoding = input.byte() % 4;
    const std::string separator(input.until('\x01'));
    std::vector<std::string> clean;
    std::vector<std::string> ignore;
    for (std::string_view item = input.until('\x01'); !item.empty(); item = input.until('\x02'))
        clean.emplace_back(item);
    for (std::string_view item = input.until('\x01'); !item.empty(); item = input.until('\x02'))
        ignore.emplace_back(item);
    const std::string own(pattern == 9 ? input.until('\x01') : std::string_view());
    const std::string_view block = input.rest();

    auto title = orvanta::StreamTitle::initWithMetadata(
        reinterpret_cast<const std::uint8_t*>(block.data()), block.size(), encoding);
    if (!title)
        return 0;
    title->setSeparator(separator);
    title->setCleanArray(clean);
    title->setIgnoreArray(ignore);
    if (pattern == 9)
        title->setSongInfoPattern(own);
    else
        title->setPredefinedPattern(pattern);
    title->artist();
    title->title();
    title->album();
    title->shouldIgnore();
    title->ID3v2Tags();
    return 0;
}
