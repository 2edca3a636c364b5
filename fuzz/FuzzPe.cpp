// Any bytes as an executable: the payload reader never fails unsafely, and whenever the writer
// accepts the bytes as a stub, the installer it makes gives back exactly the payload and carries
// a checksum that verifies. Seeds are tiny MinGW programs (-nostdlib) with and without a
// relocation section after the resources, an old payload, or no resources at all.
#include "FuzzCheck.h"

#include "tools/pe/ByteReader.h"
#include "tools/pe/PeImage.h"

#include <stdint.h>
#include <string.h>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> stub(data, data + size);
    size_t offset = 0, length = 0;
    std::string error;
    if (FindPayloadInPe(stub, &offset, &length, &error))
        FUZZ_CHECK(offset <= stub.size() && length <= stub.size() - offset);

    // The payload: up to 96 bytes from the input's start, its length picked by the last byte.
    size_t payloadSize = size == 0 ? 0 : data[size - 1] % 97;
    if (payloadSize > size) payloadSize = size;
    std::vector<uint8_t> payload(data, data + payloadSize);
    std::vector<uint8_t> out;
    if (!InsertPayloadIntoPe(stub, payload, &out, &error)) return 0;

    // Nothing in the stub multiplies it: the rebuilt tree costs at most twice the file, and
    // alignment pads by at most 64 KiB in two places.
    FUZZ_CHECK(out.size() <= 4 * uint64_t(size) + payload.size() + 0x30000);
    FUZZ_CHECK(FindPayloadInPe(out, &offset, &length, &error));
    FUZZ_CHECK(length == payload.size() && offset <= out.size() && length <= out.size() - offset);
    FUZZ_CHECK(length == 0 || memcmp(out.data() + offset, payload.data(), length) == 0);
    size_t checksum = 0;
    FUZZ_CHECK(PeChecksumOffset(out, &checksum, &error));
    FUZZ_CHECK(ByteReader(out.data(), out.size()).U32(checksum) == PeChecksum(out, checksum));
    return 0;
}
