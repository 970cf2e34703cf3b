#pragma once

#include <simdjson.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace wren::fuzz {

/// A broken promise is a finding: report it and abort so libFuzzer keeps the input.
inline void require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "broken promise: %s\n", what);
    std::abort();
}

/// The input as one JSON document (the parser copies it into padded memory); nothing when it
/// is not valid JSON. The element lives as long as `parser`.
inline bool parseJson(simdjson::dom::parser& parser, std::string_view bytes,
                      simdjson::dom::element& root) {
    return parser.parse(bytes.data(), bytes.size()).get(root) == simdjson::SUCCESS;
}

}  // namespace wren::fuzz
