// Arbitrary settings-file bytes through the parser the store loads its file
// with. Beyond the sanitizers, what is accepted must be a file the store can
// use and keep: every key path has no empty part (so lookups find its values),
// and writing the keys back and reading that gives the same keys and values,
// written again byte for byte.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace {

using namespace kolu;
using registry_format::ParsedKey;

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "settings file: %s\n", what);
        std::abort();
    }
}

bool samePathsAndValues(const std::vector<ParsedKey>& a, const std::vector<ParsedKey>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].path != b[i].path || a[i].values.size() != b[i].values.size()) {
            return false;
        }
        for (std::size_t j = 0; j < a[i].values.size(); ++j) {
            const auto& x = a[i].values[j];
            const auto& y = b[i].values[j];
            if (x.name != y.name || x.type != y.type || x.bytes != y.bytes) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<ParsedKey> keys;
    if (!registry_format::parse(text, keys)) {
        return 0;
    }
    for (const ParsedKey& key : keys) {
        const std::u16string& path = key.path;
        require(path.empty() || (path.front() != u'\\' && path.back() != u'\\' &&
                                 path.find(u"\\\\") == std::u16string::npos),
                "a key path with an empty part");
    }
    const std::string written = registry_format::serialize(keys);
    std::vector<ParsedKey> reread;
    require(registry_format::parse(written, reread), "what was written reads back");
    require(samePathsAndValues(keys, reread), "the same keys and values after a write");
    require(registry_format::serialize(reread) == written, "a second write gives the same bytes");
    return 0;
}
