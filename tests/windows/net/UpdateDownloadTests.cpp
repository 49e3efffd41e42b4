// The update download on Windows against the loopback vendor site (update-site.py, started by
// run-update-test.sh, which passes its address in KORVANTE_TEST_SITE): the real network, file and
// signature calls, with the message boxes recorded. Only the whole program of the announced version,
// signed by the test program's own signer, is written and started; the started stub leaves a marker
// beside itself. The signers' test root is installed into the machine's trusted roots first.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <thread>

#include "net/Update.h"
#include "platform/FileVersion.h"
#include "platform/Trust.h"
#include "platform/sim/SimUserInterface.h"
#include "system/FileUtils.h"
// After the program's headers: the Windows headers define some of its names as macros.
#include "platform/win32/WindowsApi.h"
#include <wincrypt.h>

namespace {

bool MarkerAppears(const std::string& path, std::chrono::seconds wait) {
    const auto end = std::chrono::steady_clock::now() + wait;
    while (std::chrono::steady_clock::now() < end) {
        if (platform::DeleteFile(path)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return false;
}

// The root KORVANTE_TEST_ROOT names (DER) in the local machine's trusted roots.
bool InstallTestRoot() {
    const char* path = std::getenv("KORVANTE_TEST_ROOT");
    std::FILE* file = path ? std::fopen(path, "rb") : nullptr;
    if (!file) return false;
    unsigned char der[8192];
    const size_t size = std::fread(der, 1, sizeof der, file);
    std::fclose(file);
    const HCERTSTORE roots = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, "ROOT");
    const bool added = roots && ::CertAddEncodedCertificateToStore(roots, X509_ASN_ENCODING, der, static_cast<DWORD>(size),
                                                                  CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    if (roots) ::CertCloseStore(roots, 0);
    return added;
}

TEST(UpdateDownload, OnlyTheWholeSignedProgramOfTheAnnouncedVersionIsStarted) {
    const char* site = std::getenv("KORVANTE_TEST_SITE");
    if (!site) GTEST_SKIP() << "run by run-update-test.sh, which starts the loopback site";
    ASSERT_TRUE(InstallTestRoot()) << "the test root cannot be trusted";
    const std::string program = platform::GetTempPath() + "KORVANTE.exe";
    const std::string marker = program + ".started";
    const struct { const char* name; bool started; } cases[] = {
        {"whole", true}, {"cut", false}, {"stalled", false}, {"large", false}, {"text", false}, {"otherversion", false},
        {"unsigned", false}, {"stranger", false}, {"tampered", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::ResetMessageBoxes();
        platform::DeleteFile(program);
        platform::DeleteFile(marker);
        const std::string base = std::string(site) + c.name + "/";
        DownloadUpdate(base, base, "KORVANTE.exe");
        const auto boxes = sim::MessageBoxCalls();
        if (c.started) {
            EXPECT_TRUE(boxes.empty()) << boxes.front().Text;
            EXPECT_EQ(GetFileVersion(program).Text, "9.9.9.9");
            EXPECT_TRUE(MarkerAppears(marker, std::chrono::seconds(30)));
        } else {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].Caption, " :: Warning!");  // no drive scanned: diagnostic mode
            EXPECT_FALSE(platform::DeleteFile(program));    // nothing left behind
            EXPECT_FALSE(MarkerAppears(marker, std::chrono::seconds(2)));
        }
    }
    platform::DeleteFile(program);
}

// A held file is what is checked and what is started: while it is held nobody can open it for
// writing, rename it or delete it.
TEST(UpdateDownload, AHeldFileCannotBeSwapped) {
    const std::string path = platform::GetTempPath() + "KORVANTE held.exe", other = path + ".moved";
    const uint8_t bytes[] = {'M', 'Z'};
    ASSERT_TRUE(platform::WriteNewFile(path, bytes, sizeof bytes));
    platform::HeldFile held(platform::CreateHeldFile(path));
    ASSERT_NE(held, 0u);
    EXPECT_FALSE(platform::WriteNewFile(path, bytes, 1));
    EXPECT_FALSE(::MoveFileA(path.c_str(), other.c_str()));
    EXPECT_FALSE(platform::DeleteFile(path));
    held.Reset(0);
    EXPECT_TRUE(platform::DeleteFile(path));
}

// A version file answered with an error status is not read, however its body reads: the manual check
// says the file cannot be had, as for an address nobody answers, and fetches no program.
TEST(UpdateDownload, AnErrorStatusIsNoVersion) {
    const char* site = std::getenv("KORVANTE_TEST_SITE");
    if (!site) GTEST_SKIP() << "run by run-update-test.sh, which starts the loopback site";
    const std::string program = platform::GetTempPath() + "KORVANTE.exe";
    for (const char* name : {"missing", "failing", "absent"}) {  // 404 and 500 with a version body; 404 page
        SCOPED_TRACE(name);
        sim::ResetMessageBoxes();
        platform::DeleteFile(program);
        const std::string base = std::string(site) + name + "/";
        DownloadUpdate(base, base, "KORVANTE.exe");
        const auto boxes = sim::MessageBoxCalls();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].Caption, " :: The update was interrupted.");
        EXPECT_FALSE(platform::DeleteFile(program));
    }
}

// An address nobody answers: the manual check says the Internet cannot be reached.
TEST(UpdateDownload, ClosedPortMeansNoInternet) {
    sim::ResetMessageBoxes();
    DownloadUpdate("http://127.0.0.1:9/", "http://127.0.0.1:9/", "KORVANTE.exe");
    const auto boxes = sim::MessageBoxCalls();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Caption, " :: The update was interrupted.");
}

}  // namespace
