// The execution level of an installer's application manifest. The manifest's text comes from the
// stub alone; only the level attribute's value changes.
#include "tools/pack/InstallerResources.h"

#include <ctype.h>
#include <string.h>

#include <algorithm>

namespace {

const char* const kLevels[] = {"asInvoker", "highestAvailable", "requireAdministrator"};
const uint32_t kApplicationManifestId = 1;

bool IsApplicationManifest(const ResourceLeaf& leaf) {
    return !leaf.type.named && leaf.type.id == kRtManifest && !leaf.name.named &&
           leaf.name.id == kApplicationManifestId;
}

// Where `what` occurs in [from, to), or to.
size_t Find(const std::string& text, const char* what, size_t from, size_t to) {
    size_t at = text.find(what, from);
    return at == std::string::npos || at > to ? to : at;
}

bool ReplaceLevel(const std::string& text, const std::string& level, std::string* out,
                  std::string* error) {
    const char kElement[] = "<requestedExecutionLevel";
    size_t element = text.find(kElement);
    if (element == std::string::npos || text.find(kElement, element + 1) != std::string::npos) {
        *error = "the stub's manifest does not have exactly one requestedExecutionLevel";
        return false;
    }
    size_t end = Find(text, ">", element, text.size());
    size_t attribute = element + strlen(kElement);
    // The attribute named level, not uiAccess or anything else ending in "level".
    for (;; ++attribute) {
        attribute = Find(text, "level", attribute, end);
        if (attribute == end || isspace(uint8_t(text[attribute - 1]))) break;
    }
    size_t at = attribute + strlen("level");
    while (at < end && isspace(uint8_t(text[at])))
        ++at;
    if (at < end && text[at] == '=') ++at;
    while (at < end && isspace(uint8_t(text[at])))
        ++at;
    char quote = at < end ? text[at] : 0;
    size_t close = quote == '"' || quote == '\'' ? text.find(quote, at + 1) : std::string::npos;
    if (attribute >= end || close == std::string::npos || close > end) {
        *error = "the stub's manifest has no level in its requestedExecutionLevel";
        return false;
    }
    *out = text.substr(0, at + 1) + level + text.substr(close);
    return true;
}

} // namespace

bool IsExecutionLevel(const std::string& level) {
    return std::find(std::begin(kLevels), std::end(kLevels), level) != std::end(kLevels);
}

bool SetExecutionLevel(std::vector<ResourceLeaf>* leaves, const std::string& level,
                       ResourceStore* store, std::string* error) {
    bool found = false;
    for (ResourceLeaf& leaf : *leaves) {
        if (!IsApplicationManifest(leaf)) continue;
        std::string text;
        if (!ReplaceLevel(std::string(leaf.data, leaf.data + leaf.size), level, &text, error))
            return false;
        store->emplace_back(text.begin(), text.end());
        leaf.data = store->back().data();
        leaf.size = store->back().size();
        found = true;
    }
    if (!found)
        *error = "the stub has no application manifest (resource type 24, id 1); an installer "
                 "without one is elevated by Windows' installer detection";
    return found;
}
