// Throughput of the compressing and decompressing streams against calling libucl directly
// on the same blocks, over a generated corpus of source-like text and incompressible
// bytes. The last two lines are "compress_ratio <ours/direct>" and
// "decompress_ratio <ours/direct>" (throughput ratios: 1.0 means no cost for the streams).

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <ucl/ucl.h>

#include "compress/compressed_stream.h"
#include "compress/memory_stream.h"
#include "sync/media_archive.h"

namespace {

using namespace ferry;
using Bytes = std::vector<unsigned char>;

constexpr std::size_t CorpusSize = 64u << 20;
constexpr std::size_t Segment = 1u << 20;   // every fourth segment is random bytes
constexpr std::uint32_t Piece = 64u << 10;  // bytes per stream read or write
constexpr std::uint32_t B = ArchiveBlockSize;

Bytes makeCorpus() {
    static const char* const words[] = {"int",
                                        "return",
                                        "const",
                                        "std::string",
                                        "value",
                                        "count",
                                        "index",
                                        "stream",
                                        "if (",
                                        "for (",
                                        "while (",
                                        ") {\n",
                                        "}\n",
                                        ";\n",
                                        " = ",
                                        " + ",
                                        "->",
                                        "nullptr",
                                        "// keep the order stable\n",
                                        "static_cast<std::uint32_t>(",
                                        "    ",
                                        "        "};
    std::mt19937 random(2024);
    Bytes corpus;
    corpus.reserve(CorpusSize);
    while (corpus.size() < CorpusSize) {
        const bool noise = (corpus.size() / Segment) % 4 == 3;
        const std::size_t end = std::min(CorpusSize, corpus.size() + Segment);
        while (corpus.size() < end) {
            if (noise) {
                corpus.push_back(static_cast<unsigned char>(random()));
                continue;
            }
            std::string token = words[random() % std::size(words)];
            if (random() % 4 == 0) token += "name" + std::to_string(random() % 5000);
            corpus.insert(corpus.end(), token.begin(), token.end());
        }
        corpus.resize(end);
    }
    return corpus;
}

double seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Best of `runs`, alternating so that both sides meet the same machine state.
std::pair<double, double> bestOf(int runs, const std::function<void()>& ours,
                                 const std::function<void()>& direct) {
    double bestOurs = 1e30;
    double bestDirect = 1e30;
    for (int i = 0; i < runs; ++i) {
        bestOurs = std::min(bestOurs, seconds(ours));
        bestDirect = std::min(bestDirect, seconds(direct));
    }
    return {bestOurs, bestDirect};
}

void putLength(Bytes& out, std::uint32_t length) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(length >> (8 * i)));
}

Bytes compressDirect(const Bytes& corpus) {
    Bytes payload;
    payload.reserve(corpus.size() + corpus.size() / 8);
    Bytes block(B + B / 8 + 256);
    for (std::size_t at = 0; at < corpus.size(); at += B) {
        const auto length = static_cast<ucl_uint>(std::min<std::size_t>(B, corpus.size() - at));
        ucl_uint out = static_cast<ucl_uint>(block.size());
        if (ucl_nrv2e_99_compress(corpus.data() + at, length, block.data(), &out, nullptr,
                                  ArchiveCompressionLevel, nullptr, nullptr) != UCL_E_OK) {
            std::abort();
        }
        putLength(payload, static_cast<std::uint32_t>(out));
        payload.insert(payload.end(), block.begin(), block.begin() + out);
    }
    return payload;
}

Bytes compressOurs(const Bytes& corpus) {
    StreamPtr sink = newMemoryStream();
    StreamPtr writer = newPayloadWriter(*sink);
    for (std::size_t at = 0; at < corpus.size(); at += Piece) {
        const auto count =
            static_cast<std::uint32_t>(std::min<std::size_t>(Piece, corpus.size() - at));
        write(*writer, corpus.data() + at, count);
    }
    release(writer);
    const auto* bytes = reinterpret_cast<const unsigned char*>(sink->memory.get());
    return Bytes(bytes, bytes + sink->size);
}

void decompressDirect(const Bytes& payload, Bytes& out) {
    std::size_t in = 0;
    std::size_t at = 0;
    while (in < payload.size()) {
        std::uint32_t length = 0;
        std::memcpy(&length, payload.data() + in, 4);  // the bench runs on little-endian machines
        in += 4;
        ucl_uint decoded = static_cast<ucl_uint>(out.size() - at);
        if (ucl_nrv2e_decompress_safe_8(payload.data() + in, length, out.data() + at, &decoded,
                                        nullptr) != UCL_E_OK) {
            std::abort();
        }
        in += length;
        at += decoded;
    }
}

void decompressOurs(Stream& source, Bytes& out) {
    setPosition(source, 0);
    StreamPtr reader = newPayloadReader(source);
    for (std::size_t at = 0; at < out.size(); at += Piece) {
        const auto count =
            static_cast<std::uint32_t>(std::min<std::size_t>(Piece, out.size() - at));
        if (read(*reader, out.data() + at, count) != count) std::abort();
    }
}

double megabytesPerSecond(std::size_t bytes, double time) {
    return static_cast<double>(bytes) / 1e6 / time;
}

}  // namespace

int main() {
    if (ucl_init() != UCL_E_OK) return 1;
    const Bytes corpus = makeCorpus();
    std::printf("corpus %zu bytes (3/4 source-like text, 1/4 random), block %u, level %d\n",
                corpus.size(), B, ArchiveCompressionLevel);

    Bytes ours;
    Bytes direct;
    const auto [compressOursTime, compressDirectTime] = bestOf(
        2, [&] { ours = compressOurs(corpus); }, [&] { direct = compressDirect(corpus); });
    if (ours != direct) {
        std::printf("the streams' payload differs from the direct one\n");
        return 1;
    }
    std::printf("payload %zu bytes (%.1f%% of the corpus)\n", ours.size(),
                100.0 * static_cast<double>(ours.size()) / static_cast<double>(corpus.size()));

    StreamPtr source = newMemoryStream();
    write(*source, direct.data(), static_cast<std::uint32_t>(direct.size()));
    Bytes outOurs(corpus.size());
    Bytes outDirect(corpus.size());
    const auto [decompressOursTime, decompressDirectTime] = bestOf(
        7, [&] { decompressOurs(*source, outOurs); }, [&] { decompressDirect(direct, outDirect); });
    if (outOurs != corpus || outDirect != corpus) {
        std::printf("decoded bytes differ from the corpus\n");
        return 1;
    }

    const double compressRate = megabytesPerSecond(corpus.size(), compressOursTime);
    const double compressDirectRate = megabytesPerSecond(corpus.size(), compressDirectTime);
    const double decompressRate = megabytesPerSecond(corpus.size(), decompressOursTime);
    const double decompressDirectRate = megabytesPerSecond(corpus.size(), decompressDirectTime);
    std::printf("compress   streams %8.2f MB/s   direct %8.2f MB/s\n", compressRate,
                compressDirectRate);
    std::printf("decompress streams %8.2f MB/s   direct %8.2f MB/s\n", decompressRate,
                decompressDirectRate);
    std::printf("compress_ratio %.3f\n", compressRate / compressDirectRate);
    std::printf("decompress_ratio %.3f\n", decompressRate / decompressDirectRate);
    return 0;
}
