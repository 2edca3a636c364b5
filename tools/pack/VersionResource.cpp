// The version information Explorer shows in a file's properties: a tree of nodes, each a header
// (length, value length, type), a UTF-16 key, a value and its children, every part starting on
// a 4-byte boundary of the resource.
#include "tools/pack/InstallerResources.h"

#include "tools/pe/ByteReader.h"
#include "tools/pack/PackFolder.h"

#include <string.h>

#include <algorithm>
#include <functional>

namespace {

const char* const kNames[] = {
    "ProductName",    "CompanyName",  "FileVersion",      "ProductVersion", "FileDescription",
    "LegalCopyright", "InternalName", "OriginalFilename", "Comments",       "LegalTrademarks"};

// French (France), Unicode: the installer's own language, and values are stored as UTF-16.
const uint32_t kLanguage = 0x040C;
const uint32_t kCodePage = 1200;
const char16_t kStringTableKey[] = u"040C04B0";

enum : uint32_t {
    kFixedSignature = 0xFEEF04BD,
    kFixedStructVersion = 0x00010000,
    kFixedFlagsMask = 0x3F,
    kFileOsWindowsNt = 0x00040004,
    kFileTypeApplication = 1,
    kFixedInfoSize = 52,
    kBinaryNode = 0,
    kTextNode = 1,
};

std::u16string Utf16(const std::string& utf8) {
    std::u16string text;
    uint32_t code = 0;
    for (size_t at = 0; at < utf8.size() && NextCodePoint(utf8, &at, &code);) {
        if (code < 0x10000) {
            text.push_back(char16_t(code));
        } else {
            text.push_back(char16_t(0xD800 + ((code - 0x10000) >> 10)));
            text.push_back(char16_t(0xDC00 + (code & 0x3FF)));
        }
    }
    return text;
}

bool IsUtf8(const std::string& text) {
    uint32_t code;
    for (size_t at = 0; at < text.size();)
        if (!NextCodePoint(text, &at, &code)) return false;
    return true;
}

// The four 16-bit parts of a version that begins with 1 to 4 dotted numbers ("1.2.3" or
// "2.0 beta"); false for any other.
bool VersionNumbers(const std::string& text, uint32_t* high, uint32_t* low) {
    uint32_t parts[4] = {0, 0, 0, 0};
    size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        size_t start = at;
        uint32_t value = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && value <= 0xFFFF)
            value = value * 10 + uint32_t(text[at++] - '0');
        if (at == start || value > 0xFFFF) return false;
        parts[part] = value;
        if (part == 3 || at == text.size() || text[at] != '.') break;
        ++at;
    }
    if (at != text.size() && text[at] != ' ') return false;
    *high = parts[0] << 16 | parts[1];
    *low = parts[2] << 16 | parts[3];
    return true;
}

bool IsVersionName(const std::string& name) {
    return name == "FileVersion" || name == "ProductVersion";
}

class NodeWriter {
  public:
    explicit NodeWriter(std::vector<uint8_t>* out) : out_(*out) {}

    // A node; valueLength counts UTF-16 units for text nodes, bytes for binary ones.
    void Node(const std::u16string& key, uint32_t type, const std::vector<uint8_t>& value,
              uint32_t valueLength, const std::function<void()>& children = nullptr) {
        Align();
        size_t start = out_.size();
        out_.resize(start + 6, 0);
        PutU16(&out_[start + 2], valueLength);
        PutU16(&out_[start + 4], type);
        Text(key);
        Align();
        out_.insert(out_.end(), value.begin(), value.end());
        if (children) children();
        overflow_ |= out_.size() - start > 0xFFFF;
        PutU16(&out_[start], uint32_t(out_.size() - start));
    }
    // Whether a node grew past what its 16-bit length holds.
    bool Overflowed() const { return overflow_; }

    void Text(const std::u16string& text) {
        for (char16_t c : text) {
            out_.push_back(uint8_t(c));
            out_.push_back(uint8_t(c >> 8));
        }
        out_.push_back(0);
        out_.push_back(0);
    }

  private:
    void Align() { out_.resize((out_.size() + 3) & ~size_t(3), 0); }
    std::vector<uint8_t>& out_;
    bool overflow_ = false;
};

std::vector<uint8_t> Dwords(std::initializer_list<uint32_t> values) {
    std::vector<uint8_t> bytes(values.size() * 4);
    size_t at = 0;
    for (uint32_t v : values) {
        PutU32(&bytes[at], v);
        at += 4;
    }
    return bytes;
}

std::string Utf8(const std::u16string& text, bool* sound) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t code = text[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (code >= 0xD800 && code < 0xE000) {
            *sound = false;
            return out;
        }
        if (code < 0x80) {
            out += char(code);
        } else if (code < 0x800) {
            out += char(0xC0 | code >> 6);
            out += char(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += char(0xE0 | code >> 12);
            out += char(0x80 | (code >> 6 & 0x3F));
            out += char(0x80 | (code & 0x3F));
        } else {
            out += char(0xF0 | code >> 18);
            out += char(0x80 | (code >> 12 & 0x3F));
            out += char(0x80 | (code >> 6 & 0x3F));
            out += char(0x80 | (code & 0x3F));
        }
    }
    return out;
}

// One node of a version resource read back: its key, where its value starts and where its
// children lie. Every length is checked against the node that holds it.
struct Node {
    std::u16string key;
    size_t value = 0, children = 0, end = 0;
};

size_t Aligned(size_t at) {
    return (at + 3) & ~size_t(3);
}

// The NUL-terminated UTF-16 text at at, within end; false when it has no end.
bool ReadText(ByteReader& r, size_t at, size_t end, std::u16string* text, size_t* after) {
    text->clear();
    for (; at + 2 <= end; at += 2) {
        char16_t unit = char16_t(r.U16(at));
        if (unit == 0) {
            *after = at + 2;
            return r.Ok();
        }
        text->push_back(unit);
    }
    return false;
}

bool ReadNode(ByteReader& r, size_t at, size_t limit, Node* node) {
    size_t length = r.U16(at);
    uint32_t valueLength = r.U16(at + 2), type = r.U16(at + 4);
    size_t keyEnd;
    if (!r.Ok() || length < 6 || length > limit - at ||
        !ReadText(r, at + 6, at + length, &node->key, &keyEnd))
        return false;
    node->end = at + length;
    node->value = std::min(Aligned(keyEnd), node->end);
    size_t valueBytes = type == kTextNode ? 2 * size_t(valueLength) : valueLength;
    node->children = std::min(Aligned(node->value + valueBytes), node->end);
    return true;
}

// Calls visit for each child of parent; false when one does not read.
template <typename Visit> bool Children(ByteReader& r, const Node& parent, Visit visit) {
    for (size_t at = parent.children; at < parent.end; at = Aligned(at)) {
        Node child;
        if (!ReadNode(r, at, parent.end, &child) || !visit(child)) return false;
        at = child.end;
    }
    return true;
}

// What a version resource already holds: its fixed block, when it has one, and the strings of
// its first string table, in order.
struct ExistingVersion {
    std::vector<uint8_t> fixed;
    std::vector<VersionField> fields;
};

bool ReadVersion(const uint8_t* data, size_t size, ExistingVersion* out) {
    ByteReader r(data, size);
    Node root;
    if (!ReadNode(r, 0, size, &root) || root.key != u"VS_VERSION_INFO") return false;
    if (root.children - root.value >= kFixedInfoSize && r.U32(root.value) == kFixedSignature)
        out->fixed.assign(data + root.value, data + root.value + kFixedInfoSize);
    bool tableRead = false;
    return Children(r, root, [&](const Node& block) {
        if (block.key != u"StringFileInfo") return true;
        return Children(r, block, [&](const Node& table) {
            if (tableRead) return true;
            tableRead = true;
            return Children(r, table, [&](const Node& string) {
                std::u16string value;
                size_t after;
                bool sound = true;
                VersionField field;
                field.name = Utf8(string.key, &sound);
                // A value may lack its NUL when it fills its node.
                ReadText(r, string.value, string.end, &value, &after);
                field.value = Utf8(value, &sound);
                if (!sound) return false;
                if (std::none_of(out->fields.begin(), out->fields.end(),
                                 [&](const VersionField& f) { return f.name == field.name; }))
                    out->fields.push_back(std::move(field));
                return true;
            });
        });
    });
}

} // namespace

const char* VersionFieldNames() {
    return "ProductName, CompanyName, FileVersion, ProductVersion, FileDescription, "
           "LegalCopyright, InternalName, OriginalFilename, Comments, LegalTrademarks";
}

bool AddVersionField(const std::string& assignment, std::vector<VersionField>* fields,
                     std::string* error) {
    size_t equals = assignment.find('=');
    VersionField field;
    field.name = assignment.substr(0, equals);
    if (equals != std::string::npos) field.value = assignment.substr(equals + 1);
    uint32_t high, low;
    if (std::find(std::begin(kNames), std::end(kNames), field.name) == std::end(kNames)) {
        *error = "--version-info: '" + field.name + "' is not one of " + VersionFieldNames();
    } else if (equals == std::string::npos) {
        *error = "--version-info expects NAME=VALUE";
    } else if (std::any_of(fields->begin(), fields->end(),
                           [&](const VersionField& f) { return f.name == field.name; })) {
        *error = "--version-info: " + field.name + " given twice";
    } else if (!IsUtf8(field.value) || field.value.size() > 1000) {
        *error = "--version-info: " + field.name + " is not UTF-8 text of at most 1000 bytes";
    } else if (IsVersionName(field.name) && !VersionNumbers(field.value, &high, &low)) {
        *error = "--version-info: " + field.name +
                 " must begin with 1 to 4 numbers 0..65535 "
                 "separated by dots";
    } else {
        fields->push_back(std::move(field));
        return true;
    }
    return false;
}

bool SetVersionInfo(std::vector<ResourceLeaf>* leaves, const std::vector<VersionField>& fields,
                    ResourceStore* store, std::string* error) {
    // The stub's own strings stay unless named; its fixed block keeps all but the numbers.
    ExistingVersion merged;
    auto existing = std::find_if(leaves->begin(), leaves->end(), [](const ResourceLeaf& leaf) {
        return !leaf.type.named && leaf.type.id == kRtVersion && !leaf.name.named &&
               leaf.name.id == 1;
    });
    if (existing != leaves->end() && !ReadVersion(existing->data, existing->size, &merged)) {
        *error = "the stub's version information cannot be read, so its strings cannot be kept";
        return false;
    }
    for (const VersionField& f : fields) {
        auto same = std::find_if(merged.fields.begin(), merged.fields.end(),
                                 [&](const VersionField& m) { return m.name == f.name; });
        if (same == merged.fields.end())
            merged.fields.push_back(f);
        else
            same->value = f.value;
    }
    std::vector<uint8_t> fixed =
        Dwords({kFixedSignature, kFixedStructVersion, 0, 0, 0, 0, kFixedFlagsMask, 0,
                kFileOsWindowsNt, kFileTypeApplication, 0, 0, 0});
    if (!merged.fixed.empty()) fixed = merged.fixed;
    // The numbers come from the texts; without a ProductVersion of its own, a new block takes
    // FileVersion's.
    uint32_t numbers[2][2] = {{0, 0}, {0, 0}};
    bool parsed[2] = {false, false};
    for (const VersionField& f : merged.fields) {
        int which = f.name == "FileVersion" ? 0 : f.name == "ProductVersion" ? 1 : -1;
        if (which >= 0)
            parsed[which] = VersionNumbers(f.value, &numbers[which][0], &numbers[which][1]);
    }
    if (!parsed[1] && merged.fixed.empty()) {
        parsed[1] = parsed[0];
        std::copy(numbers[0], numbers[0] + 2, numbers[1]);
    }
    for (int which = 0; which < 2; ++which)
        if (parsed[which]) {
            PutU32(&fixed[8 + 8 * which], numbers[which][0]);
            PutU32(&fixed[12 + 8 * which], numbers[which][1]);
        }

    std::vector<uint8_t> out;
    NodeWriter w(&out);
    w.Node(u"VS_VERSION_INFO", kBinaryNode, fixed, kFixedInfoSize, [&] {
        w.Node(u"StringFileInfo", kTextNode, {}, 0, [&] {
            w.Node(kStringTableKey, kTextNode, {}, 0, [&] {
                for (const VersionField& f : merged.fields) {
                    std::u16string value = Utf16(f.value);
                    std::vector<uint8_t> bytes;
                    NodeWriter(&bytes).Text(value);
                    w.Node(Utf16(f.name), kTextNode, bytes, uint32_t(value.size() + 1));
                }
            });
        });
        w.Node(u"VarFileInfo", kTextNode, {}, 0, [&] {
            w.Node(u"Translation", kBinaryNode, Dwords({kLanguage | kCodePage << 16}), 4);
        });
    });
    if (w.Overflowed()) {
        *error = "the version information's strings take more than 64 KiB";
        return false;
    }
    store->push_back(std::move(out));
    ResourceLeaf leaf;
    leaf.type.id = kRtVersion;
    leaf.name.id = 1;
    leaf.data = store->back().data();
    leaf.size = store->back().size();
    ReplaceResource(leaves, std::move(leaf));
    return true;
}

bool ReadVersionStrings(const ResourceLeaf& leaf, std::vector<VersionField>* fields) {
    ExistingVersion version;
    if (!ReadVersion(leaf.data, leaf.size, &version)) return false;
    *fields = std::move(version.fields);
    return true;
}
