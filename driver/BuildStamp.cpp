#include "driver/BuildStamp.h"

#include "support/Text.h"

// `used` keeps the compiler from dropping the bytes; Find's reference to them keeps the
// linker's section collection from dropping them, so the stamp stays findable in the file.
__attribute__((used)) const unsigned char g_BuildStamp[kBuildStampSize] =
    "\xFF"
    "*X_MED*!0000009200999900!Z000QOR0AKVR001.0aVC000000";

namespace {

const unsigned char kMarker = 0xFF;
const int kHeaderMaxSpan = 24;
const int kHeaderMinClose = 5; // the closing "*" lies at k = 5 or later

bool IsHeaderChar(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '*';
}

} // namespace

REF_PROG::REF_PROG() : stampCopy(), stampRef(nullptr) {}

REF_PROG::~REF_PROG() {}

int REF_PROG::Find(const unsigned char* start, int32_t length, int32_t window) {
    // extent: how many bytes may be read at all.
    int32_t extent = length;
    if (!start) {
        start = g_BuildStamp;
        extent = kBuildStampSize;
    }
    if (extent <= 0) return 0;
    // A header reads one byte past its closing "*" (the "!"), so it may look no further than
    // extent - 1; within the extent this gives the same answers as the unbounded reading.
    int32_t headerWindow = window < extent - 1 ? window : extent - 1;
    int32_t i = 0;
    for (;;) {
        if (start[i] == kMarker) {
            if (extent - 1 <= i) return 0;
            ++i;
            const unsigned char* header = start;
            if (start[i] == '*' && IsHeaderAt(header, i, headerWindow)) {
                // The text runs to its terminator, at most 511 characters, and never past
                // the readable bytes.
                int32_t room = extent - i < kStampCopySize - 1 ? extent - i : kStampCopySize - 1;
                int32_t n = 0;
                while (n < room && header[n] != 0)
                    ++n;
                TextCopy(stampCopy, reinterpret_cast<const char*>(header), n + 1);
                stampRef = header;
                return 1;
            }
            // On the byte after the marker: a marker again is examined as one; anything else
            // is passed over below.
            if (start[i] == kMarker) continue;
        }
        do {
            ++i;
            if (i >= extent || i >= length || i + 1 >= window) return 0;
        } while (start[i] != kMarker);
    }
}

int REF_PROG::IsHeaderAt(const unsigned char*& start, int32_t index, int32_t window) {
    if (index < 0 || index >= window) return 0;
    int32_t span = window - index < kHeaderMaxSpan ? window - index : kHeaderMaxSpan;
    const unsigned char* c = start + index;
    for (int32_t k = 0; k < span; ++k) {
        if (!IsHeaderChar(c[k])) return 0;
        if (k >= kHeaderMinClose && c[k] == '*' && c[k + 1] == '!') {
            start = c;
            return 1;
        }
    }
    return 0;
}

void REF_PROG::NextRecord(const char*& cursor) const {
    if (!cursor) cursor = stampCopy;
    while (*cursor != 0 && *cursor != '!')
        ++cursor;
    if (*cursor == '!') ++cursor;
}

int REF_PROG::FindKey(const char* key, char* value, int maxLength) const {
    int keyLength = TextLength(key);
    const char* cursor = nullptr;
    NextRecord(cursor);
    if (*cursor == 0) return 0;
    for (;;) {
        NextRecord(cursor);
        if (*cursor == 0) return 0;
        // The length test keeps the comparison inside the stamp copy's text.
        if (TextLength(cursor) >= keyLength &&
            TextPrefixEqual(static_cast<unsigned>(keyLength), cursor, key)) {
            const char* from = cursor + keyLength;
            int n = 0;
            while (n < maxLength && from[n] != 0 && from[n] != '!') {
                value[n] = from[n];
                ++n;
            }
            return n;
        }
    }
}

void CutStampFields(const REF_PROG& stamp, StampFields* fields) {
    // One byte more than the value: a short value leaves zeros, so later fields come out empty.
    char value[kStampValueLength + 1] = {0};
    stamp.FindKey("Z000", value, kStampValueLength);
    const struct {
        char* field;
        int position;
        int capacity;
    } cuts[] = {
        {fields->chars1to4, 1, sizeof fields->chars1to4},
        {fields->chars5to8, 5, sizeof fields->chars5to8},
        {fields->chars9to10, 9, sizeof fields->chars9to10},
        {fields->version, 11, sizeof fields->version},
        {fields->chars15to16, 15, sizeof fields->chars15to16},
        {fields->chars17to22, 17, sizeof fields->chars17to22},
    };
    for (const auto& cut : cuts)
        TextCopy(cut.field, value + cut.position - 1, cut.capacity);
}

int ReadStampVersion(char* version, int capacity) {
    SERIAL_REF stamp;
    stamp.Find(nullptr, 0, 256);
    StampFields fields;
    CutStampFields(stamp, &fields);
    return TextCopy(version, fields.version, capacity);
}
