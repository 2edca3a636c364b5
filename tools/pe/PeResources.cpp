// The resource directory: a three-level tree (type, name, language) of directory tables whose
// entries point at subtables or, on the last level, at data entries. Offsets inside the tree
// are relative to its start; data entries hold the rva of the data.
#include "tools/pe/PeResources.h"

#include "tools/pe/ByteReader.h"

#include <algorithm>

namespace {

enum : uint32_t {
    kDirHeaderSize = 16,
    kDirEntrySize = 8,
    kDataEntrySize = 16,
    kHighBit = 0x80000000u,
    kMaxLeaves = 65536,
    kDataAlignment = 8,
};

uint32_t TableSize(size_t entries) {
    return kDirHeaderSize + uint32_t(entries) * kDirEntrySize;
}

uint64_t Align(uint64_t value, uint32_t alignment) {
    return (value + alignment - 1) & ~uint64_t(alignment - 1);
}

struct DirEntry {
    uint32_t nameWord;
    uint32_t target;
};

// The tree's bytes: from the resource directory's start to the end of its section's raw data.
class ResourceTree {
  public:
    ResourceTree(const std::vector<uint8_t>& file, const PeLayout& pe) : file_(file), pe_(pe) {}

    // False when the image has no resource directory or it lies outside the file.
    bool Open(std::string* error) {
        uint32_t rva = pe_.DirRva(kPeDirResource);
        if (rva == 0 || pe_.DirSize(kPeDirResource) == 0) return PeFail(error, "no resources");
        size_t at;
        if (!pe_.RvaToOffset(rva, kDirHeaderSize, file_.size(), &at))
            return PeFail(error, "resource directory lies outside the file");
        const PeSection& s = pe_.sections[pe_.SectionOf(rva)];
        size_t length = s.rawSize - (rva - s.virtualAddress);
        if (length > file_.size() - at) length = file_.size() - at;
        tree_ = ByteReader(file_.data() + at, length);
        return true;
    }

    bool Directory(uint32_t offset, std::vector<DirEntry>* entries, std::string* error) {
        uint32_t count = uint32_t(tree_.U16(offset + 12)) + tree_.U16(offset + 14);
        if (!tree_.Ok() || !tree_.Has(offset, kDirHeaderSize + count * kDirEntrySize))
            return PeFail(error, "resource directory table runs past its section");
        entries->clear();
        for (uint32_t i = 0; i < count; ++i) {
            size_t at = size_t(offset) + kDirHeaderSize + i * kDirEntrySize;
            entries->push_back(DirEntry{tree_.U32(at), tree_.U32(at + 4)});
        }
        return true;
    }

    // The key points at the name's text in the file.
    bool Key(uint32_t nameWord, ResourceKey* key, std::string* error) {
        key->named = (nameWord & kHighBit) != 0;
        key->id = key->named ? 0 : nameWord;
        key->text = nullptr;
        key->length = 0;
        if (!key->named) return true;
        uint32_t at = nameWord & ~kHighBit;
        uint32_t length = tree_.U16(at);
        if (!tree_.Has(size_t(at) + 2, size_t(length) * 2))
            return PeFail(error, "resource name runs past its section");
        key->text = tree_.Bytes() + at + 2;
        key->length = length;
        return true;
    }

    // A subtable on levels 1 and 2; a data entry on level 3.
    static bool IsSubtable(uint32_t target) { return (target & kHighBit) != 0; }
    static uint32_t Subtable(uint32_t target) { return target & ~kHighBit; }

    bool Leaf(uint32_t target, ResourceLeaf* leaf, size_t* offset, size_t* length,
              std::string* error) {
        uint32_t rva = tree_.U32(target);
        uint32_t size = tree_.U32(size_t(target) + 4);
        leaf->codePage = tree_.U32(size_t(target) + 8);
        if (!tree_.Ok()) return PeFail(error, "resource data entry runs past its section");
        // Empty data has no bytes to find; its rva may well be the end of the section.
        *offset = 0;
        if (size != 0 && !pe_.RvaToOffset(rva, size, file_.size(), offset))
            return PeFail(error, "resource data lies outside the file");
        *length = size;
        return true;
    }

  private:
    const std::vector<uint8_t>& file_;
    const PeLayout& pe_;
    ByteReader tree_{nullptr, 0};
};

// Named entries first, by their code units; then ids in ascending order.
int CompareKeys(const ResourceKey& a, const ResourceKey& b) {
    if (a.named != b.named) return a.named ? -1 : 1;
    if (!a.named) return a.id < b.id ? -1 : a.id > b.id ? 1 : 0;
    for (uint32_t i = 0; i < a.length && i < b.length; ++i)
        if (a.Unit(i) != b.Unit(i)) return a.Unit(i) < b.Unit(i) ? -1 : 1;
    return a.length < b.length ? -1 : a.length > b.length ? 1 : 0;
}

// What a key costs where it is written again: its length word and text.
uint64_t KeyBytes(const ResourceKey& key) {
    return key.named ? 2 + 2 * uint64_t(key.length) : 0;
}

// Counts what walking and rebuilding the tree costs against a budget of twice the file, so that
// subtables, names or data shared by many entries cannot multiply time or memory.
class Budget {
  public:
    explicit Budget(size_t fileLength) : left_(2 * uint64_t(fileLength)) {}

    bool Spend(uint64_t bytes, std::string* error) {
        if (bytes > left_) return PeFail(error, "resource tree costs more than the file holds");
        left_ -= bytes;
        return true;
    }

  private:
    uint64_t left_;
};

} // namespace

bool SameResourceKey(const ResourceKey& a, const ResourceKey& b) {
    auto fold = [](char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; };
    if (a.named != b.named || a.id != b.id || a.length != b.length) return false;
    for (uint32_t i = 0; i < a.length; ++i)
        if (fold(a.Unit(i)) != fold(b.Unit(i))) return false;
    return true;
}

bool ResourceKeyLess(const ResourceKey& a, const ResourceKey& b) {
    return CompareKeys(a, b) < 0;
}

bool ReadResources(const std::vector<uint8_t>& file, const PeLayout& pe,
                   std::vector<ResourceLeaf>* leaves, std::string* error) {
    leaves->clear();
    if (pe.DirRva(kPeDirResource) == 0 || pe.DirSize(kPeDirResource) == 0) return true;
    ResourceTree tree(file, pe);
    if (!tree.Open(error)) return false;
    std::vector<DirEntry> types, names, languages;
    Budget budget(file.size());
    auto table = [&](uint32_t target, std::vector<DirEntry>* entries) {
        if (!ResourceTree::IsSubtable(target) ||
            !tree.Directory(ResourceTree::Subtable(target), entries, error))
            return PeFail(error, "resource tree is not three levels deep");
        return budget.Spend(TableSize(entries->size()), error);
    };
    if (!tree.Directory(0, &types, error) || !budget.Spend(TableSize(types.size()), error))
        return false;
    for (const DirEntry& type : types) {
        if (!table(type.target, &names)) return false;
        for (const DirEntry& name : names) {
            if (!table(name.target, &languages)) return false;
            for (const DirEntry& language : languages) {
                if (ResourceTree::IsSubtable(language.target) || (language.nameWord & kHighBit))
                    return PeFail(error, "resource tree is not three levels deep");
                if (leaves->size() == kMaxLeaves) return PeFail(error, "too many resources");
                ResourceLeaf leaf;
                size_t offset, length;
                if (!tree.Key(type.nameWord, &leaf.type, error) ||
                    !tree.Key(name.nameWord, &leaf.name, error) ||
                    !tree.Leaf(language.target, &leaf, &offset, &length, error))
                    return false;
                // Each leaf's names are compared while sorting and may be written again.
                if (!budget.Spend(KeyBytes(leaf.type) + KeyBytes(leaf.name) + kDataEntrySize +
                                      Align(length, kDataAlignment),
                                  error))
                    return false;
                leaf.language = language.nameWord;
                leaf.data = file.data() + offset;
                leaf.size = length;
                leaves->push_back(std::move(leaf));
            }
        }
    }
    return true;
}

void ReplaceResource(std::vector<ResourceLeaf>* leaves, ResourceLeaf leaf) {
    leaves->erase(std::remove_if(leaves->begin(), leaves->end(),
                                 [&](const ResourceLeaf& l) {
                                     return SameResourceKey(l.type, leaf.type) &&
                                            SameResourceKey(l.name, leaf.name);
                                 }),
                  leaves->end());
    leaves->push_back(std::move(leaf));
}

bool FindResourceData(const std::vector<uint8_t>& file, const PeLayout& pe, const ResourceKey& type,
                      uint32_t id, size_t* offset, size_t* length, std::string* error) {
    ResourceTree tree(file, pe);
    if (!tree.Open(error)) return false;
    std::vector<DirEntry> entries;
    uint32_t table = 0;
    ResourceKey key;
    for (int level = 0; level < 3; ++level) {
        if (!tree.Directory(table, &entries, error)) return false;
        const DirEntry* found = nullptr;
        for (const DirEntry& e : entries) {
            if (!tree.Key(e.nameWord, &key, error)) return false;
            bool match = level == 2 || (level == 0 ? key.named && SameResourceKey(key, type)
                                                   : !key.named && key.id == id);
            if (match) {
                found = &e;
                break;
            }
        }
        if (!found) return PeFail(error, "no EXE_DATA resource with id 1");
        if (ResourceTree::IsSubtable(found->target) != (level < 2))
            return PeFail(error, "resource tree is not three levels deep");
        table = ResourceTree::Subtable(found->target);
    }
    ResourceLeaf leaf;
    return tree.Leaf(table, &leaf, offset, length, error);
}

namespace {

struct NameNode {
    const ResourceKey* key;
    std::vector<const ResourceLeaf*> languages;
};

struct TypeNode {
    const ResourceKey* key;
    std::vector<NameNode> names;
};

// Writes directory tables, name strings, data entries and data into one block.
class SectionWriter {
  public:
    SectionWriter(std::vector<uint8_t>* out, uint32_t rva) : out_(*out), rva_(rva) {}

    void Table(uint32_t at, const std::vector<const ResourceKey*>& keys,
               const std::vector<uint32_t>& targets) {
        uint32_t named = 0;
        for (const ResourceKey* k : keys)
            named += k->named;
        PutU16(&out_[at + 12], named);
        PutU16(&out_[at + 14], uint32_t(keys.size()) - named);
        for (size_t i = 0; i < keys.size(); ++i) {
            uint32_t entry = at + kDirHeaderSize + uint32_t(i) * kDirEntrySize;
            PutU32(&out_[entry], keys[i]->named ? String(*keys[i]) | kHighBit : keys[i]->id);
            PutU32(&out_[entry + 4], targets[i]);
        }
    }

    uint32_t String(const ResourceKey& key) {
        uint32_t at = strings_;
        PutU16(&out_[at], key.length);
        std::copy(key.text, key.text + 2 * size_t(key.length), out_.begin() + at + 2);
        strings_ += uint32_t(KeyBytes(key));
        return at;
    }

    uint32_t Data(const ResourceLeaf& leaf) {
        uint32_t entry = entries_;
        entries_ += kDataEntrySize;
        PutU32(&out_[entry], rva_ + data_);
        PutU32(&out_[entry + 4], uint32_t(leaf.size));
        PutU32(&out_[entry + 8], leaf.codePage);
        std::copy(leaf.data, leaf.data + leaf.size, out_.begin() + data_);
        data_ = uint32_t(Align(uint64_t(data_) + leaf.size, kDataAlignment));
        return entry;
    }

    void Start(uint32_t strings, uint32_t entries, uint32_t data) {
        strings_ = strings;
        entries_ = entries;
        data_ = data;
    }

  private:
    std::vector<uint8_t>& out_;
    uint32_t rva_;
    uint32_t strings_ = 0, entries_ = 0, data_ = 0;
};

} // namespace

bool BuildResourceSection(std::vector<ResourceLeaf>* leaves, uint32_t sectionRva,
                          std::vector<uint8_t>* section, std::string* error) {
    std::stable_sort(leaves->begin(), leaves->end(),
                     [](const ResourceLeaf& a, const ResourceLeaf& b) {
                         int c = CompareKeys(a.type, b.type);
                         if (c == 0) c = CompareKeys(a.name, b.name);
                         return c < 0 || (c == 0 && a.language < b.language);
                     });
    std::vector<TypeNode> types;
    uint64_t tables = 0, strings = 0, data = 0;
    for (size_t i = 0; i < leaves->size(); ++i) {
        const ResourceLeaf& leaf = (*leaves)[i];
        bool newType = types.empty() || ResourceKeyLess(*types.back().key, leaf.type);
        if (newType) {
            types.push_back(TypeNode{&leaf.type, {}});
            strings += KeyBytes(leaf.type);
        }
        std::vector<NameNode>& names = types.back().names;
        if (newType || ResourceKeyLess(*names.back().key, leaf.name)) {
            names.push_back(NameNode{&leaf.name, {}});
            strings += KeyBytes(leaf.name);
        } else if (names.back().languages.back()->language == leaf.language) {
            return PeFail(error, "two resources with the same type, name and language");
        }
        names.back().languages.push_back(&leaf);
        data = Align(data + leaf.size, kDataAlignment);
    }
    tables += TableSize(types.size());
    for (const TypeNode& t : types) {
        tables += TableSize(t.names.size());
        for (const NameNode& n : t.names)
            tables += TableSize(n.languages.size());
    }
    uint64_t entriesAt = Align(tables + strings, 4);
    uint64_t dataAt = Align(entriesAt + uint64_t(leaves->size()) * kDataEntrySize, kDataAlignment);
    if (dataAt + data > 0x7FFFFFFF || sectionRva + dataAt + data > 0xFFFFFFFFu)
        return PeFail(error, "resources too large");

    section->assign(size_t(dataAt + data), 0);
    SectionWriter w(section, sectionRva);
    w.Start(uint32_t(tables), uint32_t(entriesAt), uint32_t(dataAt));
    // Tables breadth first: the root, every type table, then every language table.
    uint32_t nextType = TableSize(types.size());
    uint32_t nextName = nextType;
    for (const TypeNode& t : types)
        nextName += TableSize(t.names.size());
    std::vector<const ResourceKey*> keys;
    std::vector<uint32_t> targets;
    for (const TypeNode& t : types) {
        keys.push_back(t.key);
        targets.push_back(nextType | kHighBit);
        std::vector<const ResourceKey*> nameKeys;
        std::vector<uint32_t> nameTargets;
        for (const NameNode& n : t.names) {
            nameKeys.push_back(n.key);
            nameTargets.push_back(nextName | kHighBit);
            std::vector<const ResourceKey*> languageKeys;
            std::vector<uint32_t> dataEntries;
            std::vector<ResourceKey> languageIds(n.languages.size());
            for (size_t i = 0; i < n.languages.size(); ++i) {
                languageIds[i].id = n.languages[i]->language;
                languageKeys.push_back(&languageIds[i]);
                dataEntries.push_back(w.Data(*n.languages[i]));
            }
            w.Table(nextName, languageKeys, dataEntries);
            nextName += TableSize(n.languages.size());
        }
        w.Table(nextType, nameKeys, nameTargets);
        nextType += TableSize(t.names.size());
    }
    w.Table(0, keys, targets);
    return true;
}
