#include "core/sessions/uri_syntax.h"

#include <cstddef>

#include "core/transcripts/ascii.h"

namespace wren {
namespace {

bool isUnreserved(char c) {
    return isAsciiLetter(c) || isAsciiDigit(c) || c == '-' || c == '.' || c == '_' || c == '~';
}

bool isSubDelim(char c) {
    return std::string_view("!$&'()*+,;=").find(c) != std::string_view::npos;
}

// Every character is unreserved, a sub-delim, one of `extra`, or part of a "%XX" escape.
bool isRun(std::string_view text, std::string_view extra) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size() || !isAsciiHexDigit(text[i + 1]) ||
                !isAsciiHexDigit(text[i + 2]))
                return false;
            i += 2;
            continue;
        }
        if (!isUnreserved(c) && !isSubDelim(c) && extra.find(c) == std::string_view::npos) {
            return false;
        }
    }
    return true;
}

bool isScheme(std::string_view text) {
    if (text.empty() || !isAsciiLetter(text.front())) return false;
    for (const char c : text) {
        if (!isAsciiLetter(c) && !isAsciiDigit(c) && c != '+' && c != '-' && c != '.') return false;
    }
    return true;
}

bool isDecOctet(std::string_view text) {
    if (text.empty() || text.size() > 3) return false;
    for (const char c : text) {
        if (!isAsciiDigit(c)) return false;
    }
    if (text.size() > 1 && text.front() == '0') return false;
    int value = 0;
    for (const char c : text) value = value * 10 + (c - '0');
    return value <= 255;
}

bool isIPv4(std::string_view text) {
    for (int part = 0; part < 4; ++part) {
        const std::size_t dot = text.find('.');
        const bool last = part == 3;
        if (last != (dot == std::string_view::npos)) return false;
        if (!isDecOctet(text.substr(0, dot))) return false;
        if (!last) text.remove_prefix(dot + 1);
    }
    return true;
}

// Counts the 16-bit pieces of a colon-separated list; an IPv4 tail counts as two. -1 if invalid.
int pieces(std::string_view text, bool mayEndInIPv4) {
    if (text.empty()) return 0;
    int count = 0;
    while (true) {
        const std::size_t colon = text.find(':');
        const std::string_view piece = text.substr(0, colon);
        if (colon == std::string_view::npos) {
            if (mayEndInIPv4 && piece.find('.') != std::string_view::npos) {
                return isIPv4(piece) ? count + 2 : -1;
            }
        }
        if (piece.empty() || piece.size() > 4) return -1;
        for (const char c : piece) {
            if (!isAsciiHexDigit(c)) return -1;
        }
        ++count;
        if (colon == std::string_view::npos) return count;
        text.remove_prefix(colon + 1);
    }
}

bool isIPv6(std::string_view text) {
    const std::size_t gap = text.find("::");
    if (gap == std::string_view::npos) return pieces(text, true) == 8;
    const std::string_view head = text.substr(0, gap);
    const std::string_view tail = text.substr(gap + 2);
    if (tail.find("::") != std::string_view::npos) return false;
    const int before = pieces(head, false);
    const int after = pieces(tail, true);
    return before >= 0 && after >= 0 && before + after <= 7;
}

bool isIPvFuture(std::string_view text) {
    if (text.size() < 4 || (text.front() != 'v' && text.front() != 'V')) return false;
    const std::size_t dot = text.find('.');
    if (dot == std::string_view::npos || dot < 2) return false;
    for (std::size_t i = 1; i < dot; ++i) {
        if (!isAsciiHexDigit(text[i])) return false;
    }
    const std::string_view rest = text.substr(dot + 1);
    if (rest.empty()) return false;
    for (const char c : rest) {
        if (!isUnreserved(c) && !isSubDelim(c) && c != ':') return false;
    }
    return true;
}

bool isPort(std::string_view text) {
    for (const char c : text) {
        if (!isAsciiDigit(c)) return false;
    }
    return true;
}

bool isAuthority(std::string_view text) {
    const std::size_t at = text.find('@');
    if (at != std::string_view::npos) {
        if (!isRun(text.substr(0, at), ":")) return false;
        text.remove_prefix(at + 1);
    }
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos) return false;
        const std::string_view literal = text.substr(1, close - 1);
        if (!isIPv6(literal) && !isIPvFuture(literal)) return false;
        const std::string_view rest = text.substr(close + 1);
        return rest.empty() || (rest.front() == ':' && isPort(rest.substr(1)));
    }
    const std::size_t colon = text.find(':');
    if (colon != std::string_view::npos && !isPort(text.substr(colon + 1))) return false;
    // A reg-name also covers every IPv4 address.
    return isRun(text.substr(0, colon), "");
}

}  // namespace

bool isAbsoluteUri(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || !isScheme(text.substr(0, colon))) return false;
    std::string_view rest = text.substr(colon + 1);

    const std::size_t question = rest.find('?');
    if (question != std::string_view::npos) {
        if (!isRun(rest.substr(question + 1), ":@/?")) return false;
        rest = rest.substr(0, question);
    }
    if (rest.substr(0, 2) == "//") {
        rest.remove_prefix(2);
        const std::size_t slash = rest.find('/');
        if (!isAuthority(rest.substr(0, slash))) return false;
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
    }
    // path-abempty, path-absolute, path-rootless and path-empty are all pchars and slashes here:
    // the "//" case was taken above, so a leading slash never starts an empty segment pair.
    return isRun(rest, ":@/");
}

}  // namespace wren
