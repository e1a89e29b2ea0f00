// Checks the library behaviour the decompressing stream is built on: libucl's safe NRV2E
// decoder reads at most DecoderReadSlack bytes past its input and never writes past the
// output length it is given. Input and output each end at a page that may not be touched.

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <ucl/ucl.h>

#include "compress/block_stream.h"
#include "tests/testkit/guarded_memory.h"

namespace {

constexpr std::size_t MaxInput = 1 << 16;
constexpr std::size_t OutputRoom = 1 << 16;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ferry::testkit::GuardedMemory inputMemory(MaxInput + ferry::DecoderReadSlack);
    static const ferry::testkit::GuardedMemory outputMemory(OutputRoom);
    std::uint8_t* const inputEnd = inputMemory.end();
    std::uint8_t* const outputEnd = outputMemory.end();
    if (size < 2 || size - 2 > MaxInput) return 0;
    // The first two bytes choose how much room the output gets.
    const std::size_t room = (std::size_t{data[0]} << 8 | data[1]) % OutputRoom;
    data += 2;
    size -= 2;
    std::uint8_t* input = inputEnd - ferry::DecoderReadSlack - size;
    std::memcpy(input, data, size);
    ucl_uint outLength = static_cast<ucl_uint>(room);
    const int result = ucl_nrv2e_decompress_safe_8(input, static_cast<ucl_uint>(size),
                                                   outputEnd - room, &outLength, nullptr);
    if (outLength > room) std::abort();
    // The system libucl carries no coverage of its own (the build uses it when its source
    // was not fetched): let each outcome, and each further doubling of the output, count as
    // new ground, so the fuzzer keeps inputs that get further.
    static volatile int outcome = 0;
    switch (result) {
        case UCL_E_OK: outcome = 1; break;
        case UCL_E_INPUT_OVERRUN: outcome = 2; break;
        case UCL_E_OUTPUT_OVERRUN: outcome = 3; break;
        case UCL_E_LOOKBEHIND_OVERRUN: outcome = 4; break;
        case UCL_E_INPUT_NOT_CONSUMED: outcome = 5; break;
        default: outcome = 6; break;
    }
    for (ucl_uint reached = outLength; reached > 0; reached /= 2) outcome = outcome + 1;
    return 0;
}
