// One archive entry in place, and the result of reading its data.
#pragma once
#include <stdint.h>

#include "archive/ArchiveFormat.h"
#include "archive/Decompressor.h"

// Bytes in place: a part of an entry as it is stored.
struct ByteView {
    const unsigned char* bytes;
    int32_t length;
};

// What reading an entry came to.
enum ReadStatus : int {
    kReadSound = 0,
    kReadBadCheckword, // the checkword does not match the entry's bytes
    kReadDamaged,      // header words that would lead outside the archive
    kReadDecodeError,  // code: the decoder's error code
    kReadSizeMismatch, // the data comes to another size than the decoded size; code: its size,
                       // or -1 for a decoded size the stored stream cannot reach
    kReadNoMemory,     // the block for the data got no memory
    kReadNoData,       // a method word above 3 delivers no data
    kReadTooLarge,     // a decoded size above the reader's limit
};

struct ReadResult {
    ReadStatus status;
    int code;
};

// The result's text as the log carries it (French, Windows-1252), into text (capacity bytes).
void FormatReadResult(ReadResult result, char* text, int capacity);
// Reports the result's text on the payload channel, then channel 0.
void ReportReadResult(ReadResult result);

// Only built over an entry whose words were checked against the archive (EntryCursor).
class ArchiveEntry {
  public:
    explicit ArchiveEntry(const unsigned char* bytes) : bytes_(bytes) {}
    const unsigned char* Bytes() const { return bytes_; }
    int32_t Size() const;
    uint32_t StoredCheckword() const;
    uint32_t Method() const;
    int32_t NameLength() const;
    int32_t InfoLength() const;
    int32_t DecodedSize() const;
    // Stored forms: name and info inverted when bit 0 of the method word is set.
    ByteView Name() const;
    ByteView Info() const;
    ByteView Data() const;
    const unsigned char* StoredData() const { return Data().bytes; }
    int32_t StoredDataLength() const { return Data().length; }

    uint32_t ComputeCheckword() const;
    int CopyName(char* buffer, int capacity) const;
    int CopyInfo(char* buffer, int capacity) const;
    // 1 when the data was delivered into buffer, whatever the decoding gave; 0 when refused.
    // A decoding error is reported.
    int CopyData(unsigned char* buffer, int capacity) const;
    // The data into buffer, which holds capacity >= decoded size bytes; reports nothing. Plain
    // copies write a zero byte after the data when there is room. On a decoding error buffer is
    // left as it was.
    ReadResult DecodeData(unsigned char* buffer, int capacity) const;
    // The data handed to sink in chunks as it is decoded, in working memory of a few chunks
    // whatever the decoded size; the same checks as DecodeData, after CheckSizes. On anything
    // but kReadSound the sink may have taken part of the data: its owner discards it.
    ReadResult StreamData(DecodeSink& sink) const;
    // What the header words tell before any memory is taken for the data: a method that
    // delivers none, plain data of another length than the decoded size, or a decoded size
    // that the stored stream cannot reach. kReadSound when it may read as stored.
    ReadResult CheckSizes() const;

  private:
    const unsigned char* bytes_;
};
