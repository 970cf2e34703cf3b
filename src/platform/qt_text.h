#pragma once

#include <QString>
#include <string_view>

namespace wren {

/// Text from the core, which is UTF-8 throughout, as Qt's text.
inline QString qt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace wren
