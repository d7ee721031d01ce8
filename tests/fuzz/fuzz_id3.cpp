// ID3v2.3 and ID3v1 tags built from arbitrary tag values: the sizes the header states are
// the sizes written.

#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "ID3v2Helper.h"
#include "MyID3Util.h"
#include "Value.h"

namespace {

const char* const kKeys[] = {"TIT2", "TPE1", "TALB", "TCON", "TRCK", "TYER", "COMM", "TCMP",
                             "POPM", "APIC", "TPE2", "TPOS", "WXXX", "XXXX", ""};

orvanta::Value valueFrom(orvanta::fuzz::FuzzInput& input)
{
    switch (input.byte() % 6) {
    case 0:
        return orvanta::Value(std::string(input.until('\0')));
    case 1:
        return orvanta::Value(static_cast<long long>(input.below(1 << 16)) - 1000);
    case 2:
        return orvanta::Value(input.byte() & 1 ? true : false);
    case 3: {
        const std::string_view bytes = input.take(input.below(4096));
        return orvanta::Value(orvanta::Bytes(bytes.begin(), bytes.end()));
    }
    case 4:
        return orvanta::Value(orvanta::Date{static_cast<double>(input.below(1 << 16)) * 86400});
    default:
        return orvanta::Value(orvanta::Array{orvanta::Value(std::string(input.until('\0')))});
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    orvanta::fuzz::FuzzInput input(data, size);
    orvanta::Dictionary tags;
    while (!input.empty()) {
        const char* key = kKeys[input.byte() % (sizeof kKeys / sizeof kKeys[0])];
        tags.set(key, valueFrom(input));
    }
    const orvanta::Bytes tag = orvanta::ID3v2Helper::createTagForDictionary(tags);
    if (!tag.empty()) {
        FUZZ_CHECK(tag.size() >= orvanta::ID3v2Helper::kHeaderSize);
        FUZZ_CHECK(tag[0] == 'I' && tag[1] == 'D' && tag[2] == '3');
        const std::size_t stated = (std::size_t(tag[6] & 0x7f) << 21) |
                                   (std::size_t(tag[7] & 0x7f) << 14) |
                                   (std::size_t(tag[8] & 0x7f) << 7) | std::size_t(tag[9] & 0x7f);
        FUZZ_CHECK(stated + orvanta::ID3v2Helper::kHeaderSize == tag.size());
    }
    const orvanta::Bytes v1 = orvanta::createID3v1TagFromDictionary(tags);
    FUZZ_CHECK(v1.empty() || v1.size() == orvanta::MyID3Util::kTagSize);
    return 0;
}
