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
        PutU16(&out_[start], uint32_t(out_.size() - start));
    }

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

void SetVersionInfo(std::vector<ResourceLeaf>* leaves, const std::vector<VersionField>& fields,
                    ResourceStore* store) {
    // The fixed block's numbers come from the texts; a missing ProductVersion takes FileVersion's.
    uint32_t file[2] = {0, 0}, product[2] = {0, 0};
    for (const VersionField& f : fields) {
        if (f.name == "FileVersion") VersionNumbers(f.value, &file[0], &file[1]);
        if (f.name == "ProductVersion") VersionNumbers(f.value, &product[0], &product[1]);
    }
    bool hasProduct = std::any_of(fields.begin(), fields.end(),
                                  [](const VersionField& f) { return f.name == "ProductVersion"; });
    if (!hasProduct) std::copy(file, file + 2, product);

    std::vector<uint8_t> out;
    NodeWriter w(&out);
    std::vector<uint8_t> fixed =
        Dwords({kFixedSignature, kFixedStructVersion, file[0], file[1], product[0], product[1],
                kFixedFlagsMask, 0, kFileOsWindowsNt, kFileTypeApplication, 0, 0, 0});
    w.Node(u"VS_VERSION_INFO", kBinaryNode, fixed, kFixedInfoSize, [&] {
        w.Node(u"StringFileInfo", kTextNode, {}, 0, [&] {
            w.Node(kStringTableKey, kTextNode, {}, 0, [&] {
                for (const VersionField& f : fields) {
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
    store->push_back(std::move(out));
    ResourceLeaf leaf;
    leaf.type.id = kRtVersion;
    leaf.name.id = 1;
    leaf.data = store->back().data();
    leaf.size = store->back().size();
    ReplaceResource(leaves, std::move(leaf));
}
