// The split decoding of long prefix-class streams.
#include "archive/Decompressor.h"
#include "archive/PrefixClassTable.h"

int PrefixClassDecoder::DecodeSplit(unsigned char* output, int capacity, unsigned char* scratch,
                                    int scratchSize) {
    // Lanes decode the stream's quarters at the same time, lookup by lookup in turn: independent
    // chains keep the processor busy where one chain would wait on each lookup. The first lane
    // writes output; the others start at a byte, most likely inside a code, and write their share
    // of scratch. Codes soon fall into step again, so a lane is trusted only from a boundary the
    // decoding before it reaches too.
    const int regionSize = scratchSize / (kLanes - 1);
    if (regionSize < kRoundRoom || capacity < kRoundRoom) return 0; // too little room to split
    int64_t start[kLanes], pos[kLanes], stop[kLanes];
    unsigned char *base[kLanes], *out[kLanes], *end[kLanes];
    int marked[kLanes] = {};
    struct Mark {
        int64_t position;
        int count;
    } marks[kLanes][kMarks];
    // A lane loads 8 bytes at its cursor's byte, which must leave a byte of the stream after them
    // (no end-of-stream rule can then apply); a round takes at most kRoundBits.
    const int64_t lastLoad = (int64_t(bitLength_) - 9) * 8 + 7;
    auto setStart = [&](int k, int64_t at) {
        start[k] = pos[k] = at;
        if (k) stop[k - 1] = (at - kRoundBits < lastLoad) ? at - kRoundBits : lastLoad;
        out[k] = base[k];
        marked[k] = 0;
    };
    for (int k = 0; k < kLanes; ++k) {
        stop[k] = lastLoad;
        base[k] = k ? scratch + (k - 1) * regionSize : output;
        int room = k ? regionSize : capacity;
        end[k] = base[k] + (room < capacity ? room : capacity) - kRoundRoom;
        setStart(k, k ? int64_t(bitLength_) * k / kLanes * 8 : int64_t(bytePos_) * 8 + bitPos_);
    }
    for (;;) {
        bool go = true;
#pragma GCC unroll 4
        for (int k = 0; k < kLanes; ++k)
            go &= pos[k] <= stop[k] && out[k] <= end[k];
        if (!go) break;
        uint64_t bits[kLanes];
        uint32_t entry[kLanes];
#pragma GCC unroll 4
        for (int k = 0; k < kLanes; ++k)
            bits[k] = LoadBits(bits_ + (pos[k] >> 3)) << (pos[k] & 7);
#pragma GCC unroll 4
        for (int i = 0; i < kLookups; ++i) {
#pragma GCC unroll 4
            for (int k = 0; k < kLanes; ++k) {
                // A rare entry (0) writes nothing and leaves the lane where it is.
                entry[k] = lookup_[bits[k] >> (64 - kLookupBits)];
                uint32_t symbols = entry[k] >> kSymbolShift;
                memcpy(out[k], &symbols, 4);
                out[k] += (entry[k] >> kCountShift) & 3;
                bits[k] <<= entry[k] & 63;
                pos[k] += entry[k] & 0x0F;
            }
        }
#pragma GCC unroll 4
        for (int k = 1; k < kLanes; ++k)
            if (marked[k] < kMarks) marks[k][marked[k]++] = {pos[k], int(out[k] - base[k])};
        bool rare = false;
#pragma GCC unroll 4
        for (int k = 0; k < kLanes; ++k)
            rare |= !entry[k];
        if (!rare) continue;
#pragma GCC unroll 4
        for (int k = 0; k < kLanes; ++k) {
            if (entry[k]) continue;
            // Out of step, what looks like four zeros or a bad place may be the middle of a
            // code: start again a byte further on. In step, it is a fault the decoding before
            // will meet.
            if (k && marked[k] < kMarks)
                setStart(k, ((pos[k] >> 3) + 1) * 8);
            else
                go = false;
        }
        if (!go) break;
    }
    // Join: the decoding goes on from the first lane, symbol by symbol past each lane's start
    // until it stands where that lane stood after a round, and takes what the lane decoded.
    int count = int(out[0] - output);
    bytePos_ = int(pos[0] >> 3);
    bitPos_ = int(pos[0] & 7);
    for (int k = 1; k < kLanes; ++k) {
        BitWindow window(bits_, bitLength_, bytePos_, bitPos_);
        count = TableRounds(lookup_, window, output, count, capacity, start[k]);
        window.Leave(bytePos_, bitPos_);
        int m = 0;
        for (;;) {
            int64_t position = int64_t(bytePos_) * 8 + bitPos_;
            while (m < marked[k] && marks[k][m].position < position)
                ++m;
            if (m == marked[k]) break; // never in step: decoded without it
            if (marks[k][m].position == position) {
                // What the lane decoded from there on is whole codes before the stream's last
                // bytes: only the capacity can refuse it.
                int taken = int(out[k] - base[k]) - marks[k][m].count;
                if (taken > capacity - count) throw CtCompressExcept{kErrTooManySymbols};
                memcpy(output + count, base[k] + marks[k][m].count, taken);
                count += taken;
                bytePos_ = int(pos[k] >> 3);
                bitPos_ = int(pos[k] & 7);
                break;
            }
            if (!AppendSymbol(output, capacity, count)) return count;
        }
    }
    return count;
}
