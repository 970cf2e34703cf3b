#include "core/transcripts/ascii.h"
#include "core/transcripts/transcript_readers.h"

namespace wren::SessionDiscovery {
namespace {

constexpr std::size_t kUuidLength = 36;

}  // namespace

bool isUuid(std::string_view text) {
    if (text.size() != kUuidLength) return false;
    for (std::size_t i = 0; i < kUuidLength; ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? text[i] != '-' : !isAsciiHexDigit(text[i])) return false;
    }
    return true;
}

std::optional<std::string> uuid(std::string_view text) {
    if (text.size() < kUuidLength) return std::nullopt;
    for (std::size_t at = 0; at + kUuidLength <= text.size(); ++at) {
        if (isUuid(text.substr(at, kUuidLength))) return std::string(text.substr(at, kUuidLength));
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
