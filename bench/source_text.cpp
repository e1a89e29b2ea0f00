#include "bench/source_text.h"

#include <iterator>

namespace ferry::bench {

std::string sourceLikeText(std::mt19937& random, std::size_t size) {
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
    std::string text;
    text.reserve(size + 64);
    while (text.size() < size) {
        text += words[random() % std::size(words)];
        if (random() % 4 == 0) text += "name" + std::to_string(random() % 5000);
    }
    text.resize(size);
    return text;
}

}  // namespace ferry::bench
