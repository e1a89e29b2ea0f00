// Arbitrary bytes as the compressed payload of a decompressing stream, driven by reads and
// seeks that the input chooses. Beyond what the sanitizers catch, it checks that no read
// delivers more than was asked and that positions agree with what was delivered.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "compress/compressed_stream.h"
#include "compress/memory_stream.h"

namespace {

void require(bool holds) {
    if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ferry;
    FuzzedDataProvider input(data, size);
    static constexpr std::uint32_t BlockSizes[] = {16, 256, 4096, 524288};
    const std::uint32_t blockSize = input.PickValueInArray(BlockSizes);
    const std::vector<std::uint8_t> payload = input.ConsumeBytes<std::uint8_t>(
        input.ConsumeIntegralInRange<std::size_t>(0, input.remaining_bytes()));

    StreamPtr source = newMemoryStream();
    write(*source, payload.data(), static_cast<std::uint32_t>(payload.size()));
    setPosition(*source, 0);
    StreamPtr stream = newDecompressingStream(blockSize, *source);
    require(stream != nullptr);

    std::vector<std::uint8_t> target(2 * blockSize + 1);
    for (int step = 0; step < 32 && input.remaining_bytes() > 0; ++step) {
        const int action = input.ConsumeIntegralInRange(0, 3);
        if (action == 0) {
            const auto count = input.ConsumeIntegralInRange<std::uint32_t>(
                0, static_cast<std::uint32_t>(target.size()));
            const std::uint32_t before = position(*stream);
            const std::uint32_t got = read(*stream, target.data(), count);
            if (got != StreamFailure) {
                require(got <= count);
                require(position(*stream) == before + got);
            }
        } else {
            const auto origin = static_cast<SeekOrigin>(action - 1);
            const auto offset = input.ConsumeIntegralInRange<std::int32_t>(-3 * 524288, 3 * 524288);
            const std::uint32_t reached = seek(*stream, offset, origin);
            if (reached != StreamFailure) require(position(*stream) == reached);
        }
    }
    return 0;
}
