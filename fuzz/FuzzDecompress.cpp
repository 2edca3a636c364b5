// Decompress on any stream, with the decoded size taken from the first four input bytes.
#include "FuzzCheck.h"

#include "archive/Decompressor.h"

#include <limits.h>
#include <stdint.h>
#include <string.h>
#include <algorithm>
#include <vector>

namespace {

const unsigned char kUntouched = 0xA5;
int32_t DecodedSizeFrom(const uint8_t* data) {
    return int32_t(uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 |
                   uint32_t(data[3]) << 24);
}

bool KnownCode(int code) {
    switch (code) {
    case kErrNoMemory:
    case kErrSinkRefused:
    case kErrShortStream:
    case kErrDecodedSize:
    case kErrFourZeros:
    case kErrIndexPastEnd:
    case kErrClassWidth:
    case kErrPlace:
    case kErrTooManySymbols:
    case kErrShortHeader:
    case kErrDistance:
    case kErrRefTruncated:
    case kErrRefOverflow:
    case kErrRunTruncated:
    case kErrRunOverflow:
    case kErrCopyOverflow:
        return true;
    }
    return false;
}

struct PrefixOutcome {
    int count = 0, code = 0;
    std::vector<unsigned char> out;
};

PrefixOutcome DecodePrefix(const uint8_t* input, int length, int capacity, bool bySymbol) {
    PrefixOutcome r;
    r.out.assign(capacity, 0);
    std::vector<unsigned char> scratch(capacity);
    PrefixClassDecoder decoder;
    try {
        decoder.LoadTable(input, length);
        r.count = bySymbol ? decoder.DecodeAllBySymbol(r.out.data(), capacity)
                           : decoder.DecodeAll(r.out.data(), capacity, scratch.data(),
                                               int(scratch.size()));
    } catch (CtCompressExcept& e) {
        r.code = e.code;
    }
    r.out.resize(r.count);
    return r;
}

// Collects what the streaming decoding hands on, and checks it never passes the decoded size.
class Collect : public DecodeSink {
  public:
    explicit Collect(int limit) : limit_(limit) {}
    int Take(const unsigned char* bytes, int length) override {
        FUZZ_CHECK(length > 0 && int64_t(bytes_.size()) + length <= limit_);
        bytes_.insert(bytes_.end(), bytes, bytes + length);
        return 1;
    }
    std::vector<unsigned char> bytes_;

  private:
    int64_t limit_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4 || size > INT_MAX) return 0;
    const int32_t decodedSize = DecodedSizeFrom(data);
    const uint8_t* stream = data + 4;
    const int length = int(size - 4);
    // A size the stream cannot reach is refused by the archive reader before any memory is
    // taken, and the tools read no entry above kMaxEntryBytes; every other size is decoded as
    // it is (the fuzzer's RSS limit keeps the three blocks of that size in check).
    if (decodedSize >= 0 &&
        (uint64_t(decodedSize) > MaxDecodedSize(length) || uint64_t(decodedSize) > kMaxEntryBytes))
        return 0;
    // Exactly the room the caller guarantees: the sanitizer sees any write past it.
    const bool refused = decodedSize < 0 || decodedSize > INT_MAX - kStageSlack;
    std::vector<unsigned char> destination(refused ? 0 : decodedSize, kUntouched);
    unsigned char none = kUntouched;
    unsigned char* target = destination.empty() ? &none : destination.data();

    int written = -1, code = -1;
    int ok = DecompressDetailed(stream, length, target, decodedSize, &written, &code);
    if (refused) FUZZ_CHECK(!ok && code == kErrDecodedSize);
    if (ok) {
        FUZZ_CHECK(code == 0 && written >= 0 && written <= decodedSize);
        FUZZ_CHECK(Decompress(stream, length, target, decodedSize) == written);
    } else {
        FUZZ_CHECK(KnownCode(code) && written == 0);
        for (unsigned char b : destination)
            FUZZ_CHECK(b == kUntouched);
        FUZZ_CHECK(Decompress(stream, length, target, decodedSize) == 0);
    }

    // The streaming decoding, through windows small enough to meet their edges, fails on the
    // same streams and gives the same bytes.
    if (!refused) {
        int chunk = kMinStreamChunk + (length > 4 ? stream[length - 1] : 0);
        Collect sink(decodedSize);
        int64_t streamed = -1;
        int streamCode = -1;
        int streamOk =
            DecompressStream(stream, length, decodedSize, sink, &streamed, &streamCode, chunk);
        FUZZ_CHECK(streamOk == ok);
        if (ok) {
            FUZZ_CHECK(streamCode == 0 && streamed == written);
            FUZZ_CHECK(std::equal(sink.bytes_.begin(), sink.bytes_.end(), target) &&
                       int64_t(sink.bytes_.size()) == streamed);
        } else {
            FUZZ_CHECK(KnownCode(streamCode));
        }
    }

    // The table-driven prefix-class decoder must agree with the symbol-by-symbol one.
    if (length > 0 && !refused) {
        PrefixOutcome table = DecodePrefix(stream, length, decodedSize, false);
        PrefixOutcome exact = DecodePrefix(stream, length, decodedSize, true);
        FUZZ_CHECK(table.code == exact.code && table.count == exact.count);
        FUZZ_CHECK(table.out == exact.out);
    }
    return 0;
}
