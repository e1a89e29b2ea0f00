#include "platform/withheld_tree.h"

namespace ferry {

namespace {

// Folder identities made here carry a device number no mounted file system has.
constexpr std::uint64_t WithheldDevice = ~std::uint64_t{0};

}  // namespace

std::string WithheldTree::keyOf(std::string_view path) {
    const bool absolute = !path.empty() && path.front() == '/';
    std::string key = absolute ? "/" : "";
    std::size_t at = 0;
    while (at < path.size()) {
        std::size_t end = path.find('/', at);
        if (end == std::string_view::npos) end = path.size();
        const std::string_view part = path.substr(at, end - at);
        if (!part.empty() && part != ".") {
            if (!key.empty() && key.back() != '/') key += '/';
            key += part;
        }
        at = end + 1;
    }
    return key.empty() ? "." : key;
}

std::string WithheldTree::parentOf(const std::string& key) {
    const std::size_t slash = key.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return key.substr(0, slash);
}

std::string WithheldTree::childOf(const std::string& folderKey, std::string_view name) {
    if (folderKey == ".") return std::string(name);
    std::string key = folderKey;
    if (key.back() != '/') key += '/';
    key += name;
    return key;
}

const WithheldNode* WithheldTree::find(const std::string& key) const {
    const auto found = nodes_.find(key);
    return found == nodes_.end() ? nullptr : &found->second;
}

void WithheldTree::setGone(const std::string& key) {
    nodes_[key] = WithheldNode{};
}

void WithheldTree::setFile(const std::string& key, std::shared_ptr<WithheldFile> file) {
    nodes_[key] = WithheldNode{WithheldKind::File, std::move(file), {}};
}

void WithheldTree::setFolder(const std::string& key) {
    nodes_[key] = WithheldNode{WithheldKind::Folder, nullptr, {WithheldDevice, ++foldersMade_}};
}

std::vector<std::pair<std::string, WithheldKind>> WithheldTree::entriesIn(
    const std::string& folderKey) const {
    const std::string prefix = childOf(folderKey, "");
    std::vector<std::pair<std::string, WithheldKind>> entries;
    // Keys inside the folder sort together; those deeper down are passed over.
    for (auto it = nodes_.lower_bound(prefix);
         it != nodes_.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
        const std::string_view name = std::string_view(it->first).substr(prefix.size());
        if (name.find('/') != std::string_view::npos || it->second.kind == WithheldKind::Gone)
            continue;
        entries.emplace_back(std::string(name), it->second.kind);
    }
    return entries;
}

}  // namespace ferry
