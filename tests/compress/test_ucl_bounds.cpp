// What the decompressing stream relies on in libucl. Probing with guard pages found that
// the "safe" NRV2E decoder reads a byte past its input (always for an empty input, and for
// damaged inputs such as 03 2A FF) before it reports the overrun; the stream's buffer
// therefore ends in DecoderReadSlack spare bytes. These inputs must stay inside them.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <ucl/ucl.h>

#include "compress/block_stream.h"
#include "compress/compressed_stream.h"
#include "tests/testkit/guarded_memory.h"
#include "tests/testkit/plain_ucl.h"
#include "tests/testkit/stream_bytes.h"

namespace ferry {
namespace {

using testkit::GuardedMemory;

// Decodes `input` placed DecoderReadSlack bytes before a page that faults, into output
// that ends at another such page.
int decodeAtTheEdge(const std::string& input, std::size_t room) {
    GuardedMemory inputMemory(input.size() + DecoderReadSlack);
    GuardedMemory outputMemory(room);
    unsigned char* at = inputMemory.end() - DecoderReadSlack - input.size();
    std::memcpy(at, input.data(), input.size());
    ucl_uint outLength = static_cast<ucl_uint>(room);
    return ucl_nrv2e_decompress_safe_8(at, static_cast<ucl_uint>(input.size()),
                                       outputMemory.end() - room, &outLength, nullptr);
}

TEST(LibraryBounds, OverreadingInputsStayInsideTheSlack) {
    const std::string text = testkit::sourceLikeText(3000);
    const std::string valid = testkit::plainCompress(text);
    EXPECT_EQ(decodeAtTheEdge("", 100), UCL_E_INPUT_OVERRUN);
    EXPECT_NE(decodeAtTheEdge("\x03\x2A\xFF", 100), UCL_E_OK);
    EXPECT_NE(decodeAtTheEdge(valid.substr(0, valid.size() - 1), text.size()), UCL_E_OK);
    EXPECT_EQ(decodeAtTheEdge(valid, text.size()), UCL_E_OK);
    EXPECT_EQ(decodeAtTheEdge(valid, text.size() - 1), UCL_E_OUTPUT_OVERRUN)
        << "never writes past the room it is given";
}

TEST(LibraryBounds, TheStreamReportsSuchBlocksAsDamage) {
    for (const std::string& body : {std::string("\x03\x2A\xFF"), std::string("\xFF")}) {
        StreamPtr source = testkit::memoryStreamWith(testkit::littleEndian(body.size(), 4) + body);
        StreamPtr reader = newDecompressingStream(1024, *source);
        char byte = 0;
        EXPECT_EQ(read(*reader, &byte, 1), StreamFailure);
    }
}

}  // namespace
}  // namespace ferry
