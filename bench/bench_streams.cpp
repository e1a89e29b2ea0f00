// Throughput of the compressing and decompressing streams against calling libucl directly
// on the same blocks, over a generated corpus of source-like text and incompressible
// bytes; and of both streams with one worker thread per usable core against one worker;
// and of the keyed digest a machine checks remembered archives with, against copying.
// The last two lines are "compress_ratio <ours/direct>" and
// "decompress_ratio <ours/direct>" (throughput ratios: 1.0 means no cost for the streams;
// both with one worker).

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <ucl/ucl.h>

#include "archive/media_archive.h"
#include "bench/source_text.h"
#include "compress/compressed_stream.h"
#include "compress/memory_stream.h"
#include "platform/cpu.h"
#include "support/keyed_digest.h"

namespace {

using namespace ferry;
using Bytes = std::vector<unsigned char>;

constexpr std::size_t CorpusSize = 64u << 20;
constexpr std::size_t Segment = 1u << 20;         // every fourth segment is random bytes
constexpr std::size_t SegmentBytes = 8 * 524288;  // the unit both sides are timed on
constexpr std::uint32_t Piece = 64u << 10;        // bytes per stream write, and per read
constexpr std::uint32_t WholePiece = 1u << 20;    // reads that take whole blocks
constexpr std::uint32_t B = ArchiveBlockSize;

Bytes makeCorpus() {
    std::mt19937 random(2024);
    Bytes corpus;
    corpus.reserve(CorpusSize);
    while (corpus.size() < CorpusSize) {
        const bool noise = (corpus.size() / Segment) % 4 == 3;
        const std::size_t size = std::min(Segment, CorpusSize - corpus.size());
        if (noise) {
            for (std::size_t i = 0; i < size; ++i)
                corpus.push_back(static_cast<unsigned char>(random()));
        } else {
            const std::string text = bench::sourceLikeText(random, size);
            corpus.insert(corpus.end(), text.begin(), text.end());
        }
    }
    return corpus;
}

double seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The machine is shared, so both sides run segment by segment, in turns, several times;
// each side is credited with its best time per segment.
struct Timing {
    double ours = 0;
    double direct = 0;
};

Timing bestPerSegment(std::size_t segments, int passes,
                      const std::function<void(std::size_t)>& ours,
                      const std::function<void(std::size_t)>& direct) {
    std::vector<double> bestOurs(segments, 1e30);
    std::vector<double> bestDirect(segments, 1e30);
    for (int pass = 0; pass < passes; ++pass) {
        for (std::size_t segment = 0; segment < segments; ++segment) {
            const bool oursFirst = (pass + segment) % 2 == 0;
            if (oursFirst)
                bestOurs[segment] = std::min(bestOurs[segment], seconds([&] { ours(segment); }));
            bestDirect[segment] = std::min(bestDirect[segment], seconds([&] { direct(segment); }));
            if (!oursFirst)
                bestOurs[segment] = std::min(bestOurs[segment], seconds([&] { ours(segment); }));
        }
    }
    Timing total;
    for (std::size_t segment = 0; segment < segments; ++segment) {
        total.ours += bestOurs[segment];
        total.direct += bestDirect[segment];
    }
    return total;
}

void putLength(Bytes& out, std::uint32_t length) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(length >> (8 * i)));
}

Bytes compressDirect(const unsigned char* data, std::size_t size) {
    Bytes payload;
    payload.reserve(size + size / 8 + 256);
    Bytes block(B + B / 8 + 256);
    for (std::size_t at = 0; at < size; at += B) {
        const auto length = static_cast<ucl_uint>(std::min<std::size_t>(B, size - at));
        ucl_uint out = static_cast<ucl_uint>(block.size());
        if (ucl_nrv2e_99_compress(data + at, length, block.data(), &out, nullptr,
                                  ArchiveCompressionLevel, nullptr, nullptr) != UCL_E_OK) {
            std::abort();
        }
        putLength(payload, static_cast<std::uint32_t>(out));
        payload.insert(payload.end(), block.begin(), block.begin() + out);
    }
    return payload;
}

Bytes compressOurs(const unsigned char* data, std::size_t size, unsigned workers) {
    StreamPtr sink = newMemoryStream();
    StreamPtr writer = newCompressingStream(ArchiveCompressionLevel, B, *sink, {}, workers);
    for (std::size_t at = 0; at < size; at += Piece) {
        write(*writer, data + at,
              static_cast<std::uint32_t>(std::min<std::size_t>(Piece, size - at)));
    }
    release(writer);
    const auto* bytes = reinterpret_cast<const unsigned char*>(sink->memory.get());
    return Bytes(bytes, bytes + sink->size);
}

void decompressDirect(const Bytes& payload, unsigned char* out, std::size_t size) {
    std::size_t in = 0;
    std::size_t at = 0;
    while (in < payload.size()) {
        std::uint32_t length = 0;
        for (int i = 3; i >= 0; --i) length = (length << 8) | payload[in + i];
        in += 4;
        ucl_uint decoded = static_cast<ucl_uint>(size - at);
        if (ucl_nrv2e_decompress_safe_8(payload.data() + in, length, out + at, &decoded, nullptr) !=
            UCL_E_OK) {
            std::abort();
        }
        in += length;
        at += decoded;
    }
}

void decompressOurs(Stream& source, unsigned char* out, std::size_t size, std::uint32_t piece,
                    unsigned workers) {
    setPosition(source, 0);
    StreamPtr reader = newDecompressingStream(B, source, {}, workers);
    for (std::size_t at = 0; at < size; at += piece) {
        const auto count = static_cast<std::uint32_t>(std::min<std::size_t>(piece, size - at));
        if (read(*reader, out + at, count) != count) std::abort();
    }
}

double megabytesPerSecond(std::size_t bytes, double time) {
    return static_cast<double>(bytes) / 1e6 / time;
}

}  // namespace

int main() {
    if (ucl_init() != UCL_E_OK) return 1;
    const Bytes corpus = makeCorpus();
    const std::size_t segments = corpus.size() / SegmentBytes;
    std::printf("corpus %zu bytes (3/4 source-like text, 1/4 random), block %u, level %d\n",
                corpus.size(), B, ArchiveCompressionLevel);

    std::vector<Bytes> payloads(segments);
    const Timing compress = bestPerSegment(
        segments, 2,
        [&](std::size_t s) {
            const Bytes ours = compressOurs(corpus.data() + s * SegmentBytes, SegmentBytes, 1);
            if (!payloads[s].empty() && ours != payloads[s]) std::abort();
            payloads[s] = ours;
        },
        [&](std::size_t s) {
            const Bytes direct = compressDirect(corpus.data() + s * SegmentBytes, SegmentBytes);
            if (!payloads[s].empty() && direct != payloads[s]) std::abort();
            payloads[s] = direct;
        });
    const unsigned workers = usableCores();
    const auto compressWith = [&](unsigned count) {
        return [&, count](std::size_t s) {
            if (compressOurs(corpus.data() + s * SegmentBytes, SegmentBytes, count) !=
                payloads[s]) {
                std::abort();
            }
        };
    };
    const Timing parallel = bestPerSegment(segments, 2, compressWith(workers), compressWith(1));
    std::size_t payloadBytes = 0;
    for (const Bytes& payload : payloads) payloadBytes += payload.size();
    std::printf("payload %zu bytes (%.1f%% of the corpus), same bytes both ways\n", payloadBytes,
                100.0 * static_cast<double>(payloadBytes) / static_cast<double>(corpus.size()));

    std::vector<StreamPtr> sources;
    for (const Bytes& payload : payloads) {
        sources.push_back(newMemoryStream());
        write(*sources.back(), payload.data(), static_cast<std::uint32_t>(payload.size()));
    }
    Bytes out(corpus.size());
    const auto decompressWith = [&](std::uint32_t piece) {
        return bestPerSegment(
            segments, 15,
            [&](std::size_t s) {
                decompressOurs(*sources[s], out.data() + s * SegmentBytes, SegmentBytes, piece, 1);
            },
            [&](std::size_t s) {
                decompressDirect(payloads[s], out.data() + s * SegmentBytes, SegmentBytes);
            });
    };
    const Timing wholeBlocks = decompressWith(WholePiece);
    const Timing decompress = decompressWith(Piece);
    const auto decompressBy = [&](unsigned count) {
        return [&, count](std::size_t s) {
            decompressOurs(*sources[s], out.data() + s * SegmentBytes, SegmentBytes, Piece, count);
        };
    };
    const Timing parallelRead =
        bestPerSegment(segments, 15, decompressBy(workers), decompressBy(1));
    if (out != corpus) {
        std::printf("decoded bytes differ from the corpus\n");
        return 1;
    }

    Bytes copied(SegmentBytes);
    const DigestKey key{};
    const Timing digest = bestPerSegment(
        segments, 15,
        [&](std::size_t s) {
            const auto* start =
                reinterpret_cast<const std::byte*>(corpus.data() + s * SegmentBytes);
            static_cast<void>(keyedDigestOf(key, {start, SegmentBytes}));
        },
        [&](std::size_t s) {
            std::copy_n(corpus.data() + s * SegmentBytes, SegmentBytes, copied.data());
        });

    const auto rate = [&](double time) { return megabytesPerSecond(corpus.size(), time); };
    std::printf("compress   streams %8.2f MB/s   direct %8.2f MB/s\n", rate(compress.ours),
                rate(compress.direct));
    std::printf("compress   %u workers %8.2f MB/s   1 worker %8.2f MB/s   (x%.2f)\n", workers,
                rate(parallel.ours), rate(parallel.direct), parallel.direct / parallel.ours);
    std::printf("decompress streams %8.2f MB/s   direct %8.2f MB/s   (%u KiB reads)\n",
                rate(decompress.ours), rate(decompress.direct), Piece >> 10);
    std::printf("decompress streams %8.2f MB/s   direct %8.2f MB/s   (%u KiB reads)\n",
                rate(wholeBlocks.ours), rate(wholeBlocks.direct), WholePiece >> 10);
    std::printf("decompress %u workers %8.2f MB/s   1 worker %8.2f MB/s   (x%.2f, %u KiB reads)\n",
                workers, rate(parallelRead.ours), rate(parallelRead.direct),
                parallelRead.direct / parallelRead.ours, Piece >> 10);
    std::printf("keyed digest %8.2f MB/s   copying %8.2f MB/s   (one thread)\n", rate(digest.ours),
                rate(digest.direct));
    std::printf("compress_ratio %.3f\n", compress.direct / compress.ours);
    std::printf("decompress_ratio %.3f\n", decompress.direct / decompress.ours);
    return 0;
}
