// The execution level of an installer's application manifest. The manifest's text comes from the
// stub alone; only the level attribute's value changes.
#include "tools/pack/InstallerResources.h"

#include <string.h>

#include <algorithm>

namespace {

const char* const kLevels[] = {"asInvoker", "highestAvailable", "requireAdministrator"};
const uint32_t kApplicationManifestId = 1;

bool IsXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Where the value of the level attribute of the one requestedExecutionLevel element lies,
// found as an XML reader finds it: comments, CDATA sections, processing instructions and other
// attributes' quoted values are stepped over whole, so that no text inside them is taken for
// the element or the attribute. False for anything not well-formed enough to tell.
bool FindLevel(const std::string& text, size_t* valueStart, size_t* valueEnd, std::string* error) {
    const std::string kElement = "requestedExecutionLevel";
    int elements = 0, levels = 0;
    auto skipPast = [&](size_t from, const char* end) {
        size_t at = text.find(end, from);
        return at == std::string::npos ? at : at + strlen(end);
    };
    for (size_t at = text.find('<'); at != std::string::npos; at = text.find('<', at)) {
        size_t next;
        if (text.compare(at, 4, "<!--") == 0) {
            next = skipPast(at + 4, "-->");
        } else if (text.compare(at, 9, "<![CDATA[") == 0) {
            next = skipPast(at + 9, "]]>");
        } else if (text.compare(at, 2, "<?") == 0) {
            next = skipPast(at + 2, "?>");
        } else if (text.compare(at, 2, "<!") == 0) {
            // A document type could declare entities; a manifest has none.
            *error = "the stub's manifest has a document type declaration";
            return false;
        } else if (text.compare(at, 2, "</") == 0) {
            next = skipPast(at + 2, ">");
        } else {
            // A start tag: its name, then name="value" pairs, then > or />.
            size_t name = at + 1, end = name;
            while (end < text.size() && !IsXmlSpace(text[end]) && text[end] != '/' &&
                   text[end] != '>')
                ++end;
            // Searches stay within the tag's own bytes, so a long hostile text costs linear time.
            size_t local = end;
            while (local > name && text[local - 1] != ':')
                --local;
            bool ours = text.compare(local, end - local, kElement) == 0;
            elements += ours;
            next = std::string::npos;
            for (size_t pos = end; end > name && pos < text.size();) {
                size_t spaced = pos;
                while (pos < text.size() && IsXmlSpace(text[pos]))
                    ++pos;
                if (text.compare(pos, 1, ">") == 0 || text.compare(pos, 2, "/>") == 0) {
                    next = text.find('>', pos) + 1;
                    break;
                }
                size_t attr = pos;
                while (pos < text.size() && !IsXmlSpace(text[pos]) &&
                       strchr("=/<>\"'", text[pos]) == nullptr)
                    ++pos;
                size_t attrEnd = pos;
                while (pos < text.size() && IsXmlSpace(text[pos]))
                    ++pos;
                if (attr == attrEnd || spaced == attr || text.compare(pos, 1, "=") != 0) break;
                ++pos;
                while (pos < text.size() && IsXmlSpace(text[pos]))
                    ++pos;
                char quote = pos < text.size() ? text[pos] : 0;
                size_t close =
                    quote == '"' || quote == '\'' ? text.find(quote, pos + 1) : std::string::npos;
                // No < inside a value.
                if (close == std::string::npos ||
                    std::find(text.begin() + pos, text.begin() + close, '<') !=
                        text.begin() + close)
                    break;
                if (ours && text.compare(attr, attrEnd - attr, "level") == 0) {
                    ++levels;
                    *valueStart = pos + 1;
                    *valueEnd = close;
                }
                pos = close + 1;
            }
        }
        if (next == std::string::npos) {
            *error = "the stub's manifest is not well-formed XML";
            return false;
        }
        at = next;
    }
    if (elements != 1 || levels != 1) {
        *error = elements != 1
                     ? "the stub's manifest does not have exactly one requestedExecutionLevel"
                     : "the stub's manifest has no single level in its requestedExecutionLevel";
        return false;
    }
    return true;
}

// The manifest with level in place of its own, read back to be sure the reader sees it.
bool ReplaceLevel(const std::string& text, const std::string& level, std::string* out,
                  std::string* error) {
    size_t start, end;
    if (!FindLevel(text, &start, &end, error)) return false;
    *out = text.substr(0, start) + level + text.substr(end);
    if (!FindLevel(*out, &start, &end, error) || out->compare(start, end - start, level) != 0) {
        *error = "internal fault: the manifest's new level does not read back";
        return false;
    }
    return true;
}

} // namespace

bool IsExecutionLevel(const std::string& level) {
    return std::find(std::begin(kLevels), std::end(kLevels), level) != std::end(kLevels);
}

bool IsApplicationManifest(const ResourceLeaf& leaf) {
    return !leaf.type.named && leaf.type.id == kRtManifest && !leaf.name.named &&
           leaf.name.id == kApplicationManifestId;
}

bool ReadExecutionLevel(const ResourceLeaf& manifest, std::string* level, std::string* error) {
    std::string text(manifest.data, manifest.data + manifest.size);
    size_t start, end;
    if (!FindLevel(text, &start, &end, error)) return false;
    *level = text.substr(start, end - start);
    return true;
}

bool SetExecutionLevel(std::vector<ResourceLeaf>* leaves, const std::string& level,
                       ResourceStore* store, std::string* error) {
    bool found = false;
    for (ResourceLeaf& leaf : *leaves) {
        if (!IsApplicationManifest(leaf)) continue;
        found = true;
        if (level.empty()) {
            // The stub's own level stays: a branded installer given a new payload keeps it.
            std::string own;
            if (!ReadExecutionLevel(leaf, &own, error)) return false;
            if (!IsExecutionLevel(own)) {
                *error = "the stub's manifest asks for the unknown level '" + own +
                         "': give --elevation";
                return false;
            }
            continue;
        }
        std::string text;
        if (!ReplaceLevel(std::string(leaf.data, leaf.data + leaf.size), level, &text, error))
            return false;
        store->emplace_back(text.begin(), text.end());
        leaf.data = store->back().data();
        leaf.size = store->back().size();
    }
    if (!found)
        *error = "the stub has no application manifest (resource type 24, id 1); an installer "
                 "without one is elevated by Windows' installer detection";
    return found;
}
