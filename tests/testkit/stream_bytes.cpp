#include "tests/testkit/stream_bytes.h"

#include <random>

#include "compress/memory_stream.h"

namespace ferry::testkit {

StreamPtr memoryStreamWith(std::string_view bytes) {
    StreamPtr stream = newMemoryStream();
    writeText(*stream, bytes);
    setPosition(*stream, 0);
    return stream;
}

std::string memoryBytes(const Stream& stream) {
    if (!stream.memory) return {};
    return std::string(reinterpret_cast<const char*>(stream.memory.get()), stream.size);
}

std::string readToEnd(Stream& stream, std::uint32_t piece) {
    std::string all;
    std::string buffer(piece, '\0');
    for (;;) {
        const std::uint32_t got = read(stream, buffer.data(), piece);
        if (got > piece) return all;
        all.append(buffer, 0, got);
        if (got < piece) return all;
    }
}

std::uint32_t writeText(Stream& stream, std::string_view bytes) {
    return write(stream, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

std::string sourceLikeText(std::size_t count) {
    static constexpr const char* words[] = {
        "int ", "return ", "value", " = ",   "count", "(",      ");\n",   "    ",
        "if ",  "{\n",     "}\n",   "index", "+ 1",   "stream", "const ", "// note\n"};
    std::mt19937 random(7);
    std::string text;
    while (text.size() < count) {
        text += words[random() % std::size(words)];
        if (random() % 5 == 0) text += std::to_string(random() % 1000);
    }
    text.resize(count);
    return text;
}

std::string randomBytes(std::size_t count, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::string bytes(count, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    return bytes;
}

}  // namespace ferry::testkit
