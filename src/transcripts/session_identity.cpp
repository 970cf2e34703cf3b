#include <cctype>

#include "transcripts/transcript_readers.h"

namespace wren::SessionDiscovery {
namespace {

constexpr bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isUuidAt(std::string_view s, std::size_t at) {
    for (std::size_t i = 0; i < 36; ++i) {
        const char c = s[at + i];
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? c != '-' : !isHex(c)) return false;
    }
    return true;
}

}  // namespace

std::optional<std::string> uuid(std::string_view text) {
    if (text.size() < 36) return std::nullopt;
    for (std::size_t at = 0; at + 36 <= text.size(); ++at) {
        if (isUuidAt(text, at)) return std::string(text.substr(at, 36));
    }
    return std::nullopt;
}

std::string projectName(std::optional<std::string_view> path) {
    if (!path || path->empty()) return kEmDash;
    std::string_view p = *path;
    while (p.size() > 1 && p.back() == '/') p.remove_suffix(1);
    if (p == "/") return "/";
    const std::size_t slash = p.rfind('/');
    return std::string(slash == std::string_view::npos ? p : p.substr(slash + 1));
}

}  // namespace wren::SessionDiscovery
