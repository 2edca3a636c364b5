// The installer's survey on any archive: the install value and the pre-install name stay in
// their buffers and are what the survey promises. The first byte chooses whether the
// rest is an archive or a descriptor's data for CopyInstallValue alone.
#include "FuzzCheck.h"

#include "driver/ArchiveSurvey.h"
#include "driver/PayloadEntry.h"
#include "support/FileName.h"

#include <limits.h>
#include <stdint.h>
#include <string.h>
#include <vector>

namespace {

void CheckProductName(const char* product) {
    size_t n = strnlen(product, kProductNameCapacity);
    FUZZ_CHECK(n < kProductNameCapacity);
    for (size_t k = 0; k < n; ++k)
        FUZZ_CHECK(static_cast<unsigned char>(product[k]) >= 32);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size < 1 || size > INT_MAX) return 0;
    const uint8_t* rest = bytes + 1;
    const int length = int(size - 1);
    if (bytes[0] & 1) {
        // A descriptor's data as it lies in its block: the data, then the slack's zeros.
        std::vector<unsigned char> block(rest, rest + length);
        block.resize(block.size() + kEntrySlack, 0);
        std::vector<char> product(kProductNameCapacity, 'x');
        product[0] = 0;
        CopyInstallValue(block.data(), length, product.data());
        CheckProductName(product.data());
        return 0;
    }
    PayloadArchive archive;
    archive.start = rest;
    archive.length = length;
    std::vector<char> product(kProductNameCapacity, 'x');
    std::vector<char> preInstall(kPreInstallNameCapacity, 'x');
    std::vector<char> fault(kEntryTextCapacity, 'x');
    int whole = SurveyArchive(archive, product.data(), preInstall.data(), fault.data());
    size_t faultLength = strnlen(fault.data(), fault.size());
    FUZZ_CHECK(faultLength < fault.size() && (whole == 1) == (faultLength == 0));
    CheckProductName(product.data());
    size_t n = strnlen(preInstall.data(), preInstall.size());
    FUZZ_CHECK(n < preInstall.size());
    // Only a name the extraction would write may be started.
    if (n) {
        FUZZ_CHECK(strncmp(preInstall.data(), "AutoInst_", 9) == 0);
        FUZZ_CHECK(IsPlainFileName(preInstall.data()));
    }
    return 0;
}
