// The stub's resources as the system sees them: the dialog template both installer dialogs are
// built on, read field by field from the compiled template; the logo and the icon.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdint.h>
#include <string>

namespace {

const WORD kFrenchFrance = MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH); // 1036

// Reads the words of an extended dialog template in order.
class TemplateReader {
  public:
    TemplateReader(const void* bytes, DWORD size)
        : at_(static_cast<const uint8_t*>(bytes)), end_(at_ + size) {}

    uint16_t Word() { return static_cast<uint16_t>(Take(2)); }
    uint32_t Dword() { return Take(4); }
    // A string (or, after 0xFFFF, an ordinal written "#n").
    std::string Text() {
        uint16_t first = Word();
        if (first == 0xFFFF) return "#" + std::to_string(Word());
        std::string text;
        for (uint16_t c = first; c != 0; c = Word())
            text += static_cast<char>(c);
        return text;
    }
    void AlignDword(const void* base) {
        uintptr_t offset = at_ - static_cast<const uint8_t*>(base);
        at_ += (4 - offset % 4) % 4;
    }
    bool Overran() const { return overran_; }

  private:
    uint32_t Take(unsigned n) {
        if (n > static_cast<size_t>(end_ - at_)) {
            overran_ = true;
            at_ = end_;
            return 0;
        }
        uint32_t value = 0;
        for (unsigned i = 0; i < n; ++i)
            value |= static_cast<uint32_t>(at_[i]) << (8 * i);
        at_ += n;
        return value;
    }
    const uint8_t* at_;
    const uint8_t* end_;
    bool overran_ = false;
};

struct ControlRow {
    uint32_t id;
    const char* atomClass; // "#128" button, "#130" static
    const char* text;
    uint32_t style;
    int16_t x, y, cx, cy;
};

TEST(Resources, DialogTemplateAutoKvr) {
    HRSRC found = FindResourceExA(nullptr, RT_DIALOG, "AUTO_KVR", kFrenchFrance);
    ASSERT_NE(nullptr, found) << "AUTO_KVR in French (France)";
    const void* bytes = LockResource(LoadResource(nullptr, found));
    TemplateReader t(bytes, SizeofResource(nullptr, found));

    EXPECT_EQ(1, t.Word()) << "extended template version";
    EXPECT_EQ(0xFFFF, t.Word());
    EXPECT_EQ(0u, t.Dword()) << "help id";
    EXPECT_EQ(0x00000401u, t.Dword()) << "extended style";
    EXPECT_EQ(0x908020C4u, t.Dword()) << "style";
    EXPECT_EQ(4, t.Word()) << "controls";
    EXPECT_EQ(40, t.Word());
    EXPECT_EQ(27, t.Word());
    EXPECT_EQ(282, t.Word());
    EXPECT_EQ(57, t.Word());
    EXPECT_EQ("", t.Text()) << "menu";
    EXPECT_EQ("", t.Text()) << "class";
    EXPECT_EQ("", t.Text()) << "caption";
    EXPECT_EQ(10, t.Word()) << "points";
    EXPECT_EQ(0, t.Word()) << "weight";
    EXPECT_EQ(0x0100, t.Word()) << "not italic, character set 1";
    EXPECT_EQ("Helv", t.Text());

    const ControlRow rows[] = {
        {1, "#128", "OK", 0x50030001, 120, 40, 88, 14},
        {2, "#128", "Quitter", 0x50030000, 216, 40, 60, 14},
        {10, "#130", "QOR_L", 0x5000000E, 0, 0, 115, 57},
        {20, "#130", "", 0x50000001, 124, 4, 148, 32},
    };
    for (const ControlRow& row : rows) {
        t.AlignDword(bytes);
        EXPECT_EQ(0u, t.Dword()) << row.id << " help id";
        EXPECT_EQ(0u, t.Dword()) << row.id << " extended style";
        EXPECT_EQ(row.style, t.Dword()) << row.id;
        EXPECT_EQ(row.x, static_cast<int16_t>(t.Word())) << row.id;
        EXPECT_EQ(row.y, static_cast<int16_t>(t.Word())) << row.id;
        EXPECT_EQ(row.cx, static_cast<int16_t>(t.Word())) << row.id;
        EXPECT_EQ(row.cy, static_cast<int16_t>(t.Word())) << row.id;
        EXPECT_EQ(row.id, t.Dword());
        EXPECT_EQ(row.atomClass, t.Text()) << row.id;
        EXPECT_EQ(row.text, t.Text()) << row.id;
        EXPECT_EQ(0, t.Word()) << row.id << " creation data";
    }
    EXPECT_FALSE(t.Overran());
}

TEST(Resources, LogoIs229By113With256Colours) {
    HRSRC found = FindResourceExA(nullptr, RT_BITMAP, "QOR_L", kFrenchFrance);
    ASSERT_NE(nullptr, found);
    const BITMAPINFOHEADER* header =
        static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(nullptr, found)));
    EXPECT_EQ(229, header->biWidth);
    EXPECT_EQ(113, header->biHeight);
    EXPECT_EQ(8, header->biBitCount);
    EXPECT_EQ(256u, header->biClrUsed);

    // As the static control loads it.
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageA(GetModuleHandleA(nullptr), "QOR_L", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(nullptr, bitmap);
    DIBSECTION section = {};
    ASSERT_NE(0, GetObjectA(bitmap, sizeof section, &section));
    EXPECT_EQ(229, section.dsBm.bmWidth);
    EXPECT_EQ(113, section.dsBm.bmHeight);
    EXPECT_EQ(8, section.dsBm.bmBitsPixel);
    DeleteObject(bitmap);
}

TEST(Resources, IconIs32By32With16Colours) {
    HRSRC found = FindResourceExA(nullptr, RT_GROUP_ICON, "G_ICON", kFrenchFrance);
    ASSERT_NE(nullptr, found);
#pragma pack(push, 2)
    struct GroupEntry {
        BYTE width, height, colours, reserved;
        WORD planes, bitCount;
        DWORD bytes;
        WORD id;
    };
    struct Group {
        WORD reserved, type, count;
        GroupEntry entries[1];
    };
#pragma pack(pop)
    const Group* group = static_cast<const Group*>(LockResource(LoadResource(nullptr, found)));
    ASSERT_EQ(1, group->count);
    EXPECT_EQ(32, group->entries[0].width);
    EXPECT_EQ(32, group->entries[0].height);
    EXPECT_EQ(16, group->entries[0].colours);
    EXPECT_EQ(4, group->entries[0].bitCount);
    EXPECT_NE(nullptr, LoadIconA(GetModuleHandleA(nullptr), "G_ICON"));
}

} // namespace
