#include "driver/PayloadSurvey.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/files/FilesTestSupport.h"

namespace {

struct SurveyRow {
    const char* what;
    std::vector<TestEntry> entries;
    std::string product;
    std::string preInstall;
};

// The survey's result, with the name of the entry it failed at ("" when it did not).
int Survey(const PayloadArchive& archive, std::string* product, std::string* preInstall,
           std::string* fault = nullptr) {
    char productName[kProductNameCapacity];
    char preInstallName[kPreInstallNameCapacity];
    char faultName[kEntryNameCapacity];
    std::fill(productName, productName + sizeof productName, 'x');
    std::fill(preInstallName, preInstallName + sizeof preInstallName, 'x');
    std::fill(faultName, faultName + sizeof faultName, 'x');
    int whole = SurveyArchive(archive, productName, preInstallName, faultName);
    *product = productName;
    *preInstall = preInstallName;
    if (fault) *fault = faultName;
    return whole;
}

TEST(SurveyArchive, FindsTheProductNameAndThePreInstallProgram) {
    const std::string longValue(200, 'P');
    const SurveyRow rows[] = {
        {"neither kind", {{"readme.txt", "Install=No"}, {"install.exe", "MZ"}}, "", ""},
        {"prefix in other letter case", {{"autoinst_setup.exe", "MZ"}}, "", ""},
        {"\".exe\" anywhere, any case",
         {{"AutoInst_setup.exe.bak", ""}, {"AutoInst_B.EXE", "", kMethodPlain}},
         "",
         "AutoInst_B.EXE"},
        {"the last pre-install program wins",
         {{"AutoInst_a.exe", ""}, {"AutoInst_b.exe", ""}},
         "",
         "AutoInst_b.exe"},
        {"first descriptor with a value wins, any case",
         {{"a.kvr", "Version=1\r\n"},
          {"b.KVR", "x\r\ninstall=Produit\r\n"},
          {"c.kvr", "Install=Autre"}},
         "Produit",
         ""},
        {"an empty value is no descriptor",
         {{"a.kvr", "Install=\r\nInstall=Late"}, {"b.kvr", "Install=Second"}},
         "Second",
         ""},
        {"value ends at the first control character",
         {{"p.kvr", "Install=Mon logiciel\r\nVersion=2", kMethodCompressedInverted}},
         "Mon logiciel",
         ""},
        {"accented bytes are kept, as UTF-8; the tab ends",
         {{"p.kvr",
           "Install=Caf\xE9"
           " cr\xE8"
           "me \x80\x9F\tx",
           kMethodPlain}},
         "Caf\u00e9 cr\u00e8me \u20ac\u0178",
         ""},
        {"the key is found after a NUL and the data's end ends the value",
         {{"p.kvr",
           std::string("abc\0Install=Apr\xE8"
                       "s",
                       17),
           kMethodCompressed}},
         "Apr\u00e8s",
         ""},
        {"a key beyond the data is not found", {{"p.kvr", "Install"}}, "", ""},
        {"a long value is cut to 127 characters",
         {{"p.kvr", "Install=" + longValue}},
         std::string(127, 'P'),
         ""},
        {"one entry can be both",
         {{"AutoInst_x.kvr.exe", "Install=Les deux"}},
         "Les deux",
         "AutoInst_x.kvr.exe"},
        {"a pre-install name the extraction would not write is not chosen",
         {{"AutoInst_a.exe", ""},
          {"AutoInst_..\\evil.exe", ""},
          {"AutoInst_b.exe:s", ""},
          {"AutoInst_" + std::string(60, 'n') + ".exe", ""}},
         "",
         "AutoInst_a.exe"},
    };
    for (const SurveyRow& row : rows) {
        TestPayload payload = TestPayload::Of(row.entries);
        std::string product, preInstall, fault;
        EXPECT_EQ(1, Survey(payload.View(), &product, &preInstall, &fault)) << row.what;
        EXPECT_EQ("", fault) << row.what;
        EXPECT_EQ(row.product, product) << row.what;
        EXPECT_EQ(row.preInstall, preInstall) << row.what;
    }
}

TEST(SurveyArchive, ACheckwordErrorEndsTheWalk) {
    TestPayload payload;
    payload.Add({"AutoInst_a.exe", ""});
    payload.AddWithBadCheckword({"AutoInst_b.exe", ""});
    payload.Add({"p.kvr", "Install=Trop tard"});
    LogCapture log(kLogPayload);
    std::string product, preInstall, fault;
    // A damaged payload is a failure, named by the entry's place.
    EXPECT_EQ(0, Survey(payload.View(), &product, &preInstall, &fault));
    EXPECT_EQ("#2", fault);
    EXPECT_EQ("", product);
    EXPECT_EQ("AutoInst_a.exe", preInstall);
    EXPECT_EQ(std::vector<std::string>{"Checkword erreur"}, log.texts);
}

TEST(SurveyArchive, ADescriptorWithoutMemoryIsReportedAndALaterOneCounts) {
    TestPayload payload;
    payload.AddHuge("big.kvr", "Install=Jamais");
    payload.Add({"p.kvr", "Install=Produit"});
    LogCapture log(kLogPayload);
    LogCapture all(kLogAll);
    std::string product, preInstall, fault;
    // The first descriptor that fails is named even when a later one names the product.
    EXPECT_EQ(0, Survey(payload.View(), &product, &preInstall, &fault));
    EXPECT_EQ("big.kvr", fault);
    EXPECT_EQ("Produit", product);
    EXPECT_EQ(std::vector<std::string>{"M\u00e9moire insuffisante : big.kvr"}, log.texts);
    EXPECT_EQ(log.texts, all.texts);
}

TEST(SurveyPayload, ReadsTheModulesOwnResource) {
    PayloadArchive archive;
    char product[kProductNameCapacity] = "old";
    char preInstall[kPreInstallNameCapacity] = "old";
    char fault[kEntryNameCapacity] = "old";
    EXPECT_EQ(1, SurveyPayload(archive, product, preInstall, fault));
    EXPECT_STREQ("", fault);
    EXPECT_EQ(42, archive.length);
    EXPECT_STREQ("", product);
    EXPECT_STREQ("AutoInst_r.exe", preInstall);
}

TEST(SurveyPayload, AModuleWithoutPayloadIsReportedOnce) {
    LogCapture log(kLogPayload);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    PayloadArchive archive;
    EXPECT_EQ(0, FindPayload(kernel, archive));
    EXPECT_EQ(nullptr, archive.start);

    char product[kProductNameCapacity] = "old";
    char preInstall[kPreInstallNameCapacity] = "old";
    char fault[kEntryNameCapacity] = "old";
    // No payload is reported by FindPayload, not as a damaged one.
    EXPECT_EQ(1, SurveyPayload(archive, product, preInstall, fault, kernel));
    EXPECT_STREQ("", product);
    EXPECT_STREQ("", preInstall);
    EXPECT_EQ(2u, log.texts.size());
    for (const std::string& text : log.texts)
        EXPECT_EQ("Ressource EXE_DATA absente", text);
}

} // namespace
