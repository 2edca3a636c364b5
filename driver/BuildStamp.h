// The build stamp: a short text of "!"-separated records in the installer's data, opened by a
// marker byte 0xFF. A header record "*NAME*" comes first, then a positional record, then keyed
// records; the start-up reads its version from the record "Z000".
#pragma once
#include <stdint.h>

enum { kBuildStampSize = 53, kStampCopySize = 512, kStampValueLength = 22 };

// The installer's own stamp: marker, text, terminator. Defined once; "start none" means it.
extern const unsigned char g_BuildStamp[kBuildStampSize];

class REF_PROG {
  public:
    REF_PROG();
    virtual ~REF_PROG();

    // Scans for a marker followed by a header record and copies the stamp text from the
    // header's "*" on. start none: the installer's own stamp. Only bytes before start + length
    // are read when start is given; the scan also stops once i + 1 reaches window.
    int Find(const unsigned char* start, int32_t length, int32_t window);
    // A header record at start + index; its characters lie below window, and the "!" after its
    // closing "*" may be the byte at window. On 1 start moves to the header.
    static int IsHeaderAt(const unsigned char*& start, int32_t index, int32_t window);
    // Moves cursor (none: the start of the stamp copy) past the next "!", or to the terminator.
    void NextRecord(const char*& cursor) const;
    // The value of the first keyed record (third record on) that begins with key: up to
    // maxLength characters copied into value, not terminated; returns their number.
    int FindKey(const char* key, char* value, int maxLength) const;

    char stampCopy[kStampCopySize];
    const unsigned char* stampRef; // the header's "*" where the stamp was found, or none
};

class SERIAL_REF : public REF_PROG {};

// The six fixed-width fields of a "Z000" value, named by the 1-based characters they hold;
// only the version is used.
struct StampFields {
    char chars1to4[5];
    char chars5to8[5];
    char chars9to10[3];
    char version[5];
    char chars15to16[3];
    char chars17to22[7];
};

// Cuts the "Z000" value of a found stamp into its fields. Fields that the value does not
// reach, and all of them when there is no such record, are empty.
void CutStampFields(const REF_PROG& stamp, StampFields* fields);

// What the start-up does: finds the installer's own stamp and gives its version field.
// Returns the version's length (0 without a stamp).
int ReadStampVersion(char* version, int capacity);
