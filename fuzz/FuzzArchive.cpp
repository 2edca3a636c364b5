// ReadEntry on every index of any archive, with every buffer combination at small and exact
// capacities; every buffer is exactly its capacity, so the sanitizer sees any write past it.
// The one-pass cursor and the entry data must agree with it.
#include "FuzzCheck.h"

#include "archive/EntryData.h"
#include "archive/PayloadArchive.h"

#include <limits.h>
#include <stdint.h>
#include <string.h>
#include <vector>

namespace {

const int kMaxIndex = 64;

// Reads entry index with the given capacities (-1: no buffer); returns ReadEntry's result.
int Read(const PayloadArchive& archive, int index, int nameCapacity, int infoCapacity,
         int dataCapacity, int* decodedSize, std::vector<unsigned char>* dataOut = nullptr) {
    std::vector<char> name(nameCapacity > 0 ? nameCapacity : 0);
    std::vector<char> info(infoCapacity > 0 ? infoCapacity : 0);
    std::vector<unsigned char> data(dataCapacity > 0 ? dataCapacity : 0);
    char emptyText = 'x';
    unsigned char emptyData = 'x';
    int length = dataCapacity;
    int result = archive.ReadEntry(index,
                                   nameCapacity < 0 ? nullptr
                                   : name.empty()   ? &emptyText
                                                    : name.data(),
                                   nameCapacity,
                                   infoCapacity < 0 ? nullptr
                                   : info.empty()   ? &emptyText
                                                    : info.data(),
                                   infoCapacity,
                                   dataCapacity < 0 ? nullptr
                                   : data.empty()   ? &emptyData
                                                    : data.data(),
                                   &length);
    if (result)
        *decodedSize = length;
    else
        FUZZ_CHECK(length == dataCapacity); // a failed read leaves dataLength alone
    if (nameCapacity > 0 && result) {
        bool terminated = false;
        for (char c : name)
            terminated |= c == 0;
        FUZZ_CHECK(terminated);
    }
    if (dataOut) *dataOut = data;
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size > INT_MAX) return 0;
    PayloadArchive archive;
    archive.start = bytes;
    archive.length = int32_t(size);
    FUZZ_CHECK(archive.ReadEntry(-1, nullptr, 0, nullptr, 0, nullptr, nullptr) == 0);

    EntryCursor cursor = archive.Entries();
    for (int index = 0; index < kMaxIndex; ++index) {
        const unsigned char* at = nullptr;
        EntryStatus status = archive.Locate(index, &at);
        FUZZ_CHECK(cursor.Next() == status && cursor.Index() == index);
        int decodedSize = -1;
        int found = Read(archive, index, -1, -1, -1, &decodedSize);
        FUZZ_CHECK(found == (status == kEntryFound));
        if (!found) break;
        ArchiveEntry entry(at);
        FUZZ_CHECK(cursor.Entry().Bytes() == at);
        FUZZ_CHECK(at >= bytes && entry.Size() <= int32_t(size - (at - bytes)));
        FUZZ_CHECK(entry.DecodedSize() == decodedSize);
        int exactName = entry.NameLength() + 1, exactInfo = entry.InfoLength() + 1;
        const int nameCapacities[] = {-1, 0, 1, 64, exactName < 4096 ? exactName : 4096};
        const int infoCapacities[] = {-1, 1, 128, exactInfo < 4096 ? exactInfo : 4096};
        for (int nameCapacity : nameCapacities)
            for (int infoCapacity : infoCapacities)
                FUZZ_CHECK(Read(archive, index, nameCapacity, infoCapacity, -1, &decodedSize));

        // Decoded sizes are not cut: what the readers refuse before taking memory is not read,
        // everything else is, at the capacities callers give.
        EntryData data(entry, kMaxEntryBytes);
        if (data.result.status == kReadTooLarge) continue;
        if (entry.CheckSizes().status != kReadSound) {
            FUZZ_CHECK(data.result.status == entry.CheckSizes().status && !data.Bytes());
            continue;
        }
        const int dataCapacities[] = {0, 1, decodedSize - 1, decodedSize, decodedSize + 10};
        for (int dataCapacity : dataCapacities) {
            if (dataCapacity < 0) continue;
            int reported = -1;
            std::vector<unsigned char> read;
            FUZZ_CHECK(Read(archive, index, 64, 128, dataCapacity, &reported, &read));
            FUZZ_CHECK(reported == decodedSize);
            // What reads sound is what ReadEntry delivers, and the block's slack stays zero.
            if (data.Sound() && dataCapacity == decodedSize + 10) {
                FUZZ_CHECK(memcmp(read.data(), data.Bytes(), size_t(decodedSize)) == 0);
                for (int k = 0; k < kEntrySlack; ++k)
                    FUZZ_CHECK(data.Bytes()[decodedSize + k] == 0);
            }
        }
    }
    return 0;
}
