// An Ogg station's bytes, cut into pieces wherever the network happens to cut them, through
// the chained-stream splitter: every file it makes is a sequence of intact pages numbered
// from 0 that opens with a first-of-stream page, and its buffer stays bounded. The first
// byte picks the piece sizes; the comment reader and writer get the bytes as a packet too.

#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "OggChainSplitter.h"
#include "OggComments.h"
#include "OggPages.h"

#include <vector>

namespace {

using namespace orvanta;

void checkFile(const Bytes& file)
{
    std::size_t position = 0;
    std::uint32_t sequence = 0;
    while (position < file.size()) {
        OggPage page;
        FUZZ_CHECK(OggPages::pageAt(file.data() + position, file.size() - position, page) ==
                   OggPages::Check::Page);
        FUZZ_CHECK(page.sequence == sequence);
        FUZZ_CHECK(page.firstOfStream() == (sequence == 0));
        ++sequence;
        position += page.length;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    orvanta::fuzz::FuzzInput input(data, size);
    const std::size_t piece = 1 + input.byte() * 37;
    const std::string_view rest = input.rest();
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(rest.data());

    std::vector<Bytes> files;
    OggChainSplitter splitter(
        [&files](const OggStreamInfo& info, const std::optional<VorbisComments>&) {
            FUZZ_CHECK(info.channels > 0);
            files.emplace_back();
            return Dictionary{{"TPE1", Value("Fuzz")}, {"TIT2", Value(std::string(300, 'x'))}};
        },
        [&files](const std::uint8_t* chunk, std::size_t length) {
            FUZZ_CHECK(!files.empty());
            files.back().insert(files.back().end(), chunk, chunk + length);
        });
    for (std::size_t at = 0; at < rest.size(); at += piece) {
        splitter.feed(bytes + at, std::min(piece, rest.size() - at));
        if (at % (piece * 7) == 0)
            splitter.requestNewFile();
    }
    for (const Bytes& file : files)
        checkFile(file);

    const Bytes packet(bytes, bytes + rest.size());
    for (const OggCodec codec : {OggCodec::Vorbis, OggCodec::Opus}) {
        const auto comments = OggComments::parse(codec, packet);
        if (!comments)
            continue;
        const auto again = OggComments::parse(codec, OggComments::build(codec, *comments));
        FUZZ_CHECK(again.has_value());
        FUZZ_CHECK(again->vendor == comments->vendor);
        FUZZ_CHECK(again->fields == comments->fields);
    }
    OggComments::identify(packet);
    return 0;
}
