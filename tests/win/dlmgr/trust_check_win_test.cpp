// The trust check against the real WinVerifyTrust and CryptoAPI: every
// signed, unsigned and tampered test file, with osslsigncode's verdict on each
// (recorded when the files were made) as the independent reference.
#include "dlmgr/win/trust_check.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "common/recorded_events.h"
#include "dlmgr_win_support.h"

namespace dlmgr {
namespace {

using dlmgr_test::SigningFixture;
using dlmgr_test::WinePath;

struct Expected {
    std::string path;
    bool valid = false;   // osslsigncode: the signature is valid and chains to the test root
    bool accept = false;  // the trust check must accept it for "Harbinel"
};

std::vector<Expected> Matrix() {
    std::vector<Expected> files;
    std::ifstream manifest(std::string(VARNEL_SIGNING_FIXTURES) + "/variants/manifest.txt");
    std::string line;
    while (std::getline(manifest, line)) {
        std::istringstream fields(line);
        std::string name, valid, accept;
        if (fields >> name >> valid >> accept)
            files.push_back({SigningFixture("variants/" + name), valid == "valid", accept == "accept"});
    }
    // The agent and its packages as the build signs them.
    files.push_back({WinePath(std::string(VARNEL_INSTALLER_DIR) + "/varnel.exe"), true, true});
    files.push_back({WinePath(std::string(VARNEL_INSTALLER_DIR) + "/varnel.msi"), true, true});
    files.push_back({SigningFixture("varnel-1.3.1.56.msi"), true, true});
    return files;
}

TEST(TrustCheck, AcceptsExactlyTheFilesSignedByTheMakerAndAgreesWithOsslsigncode) {
    const std::vector<Expected> files = Matrix();
    ASSERT_GE(files.size(), 22u);
    for (const Expected& f : files) {
        testing_support::EventRecorder events;
        const bool trusted = VerifyTrust(f.path);
        const bool signer = VerifySigner(f.path);
        EXPECT_EQ(trusted, f.valid) << f.path;
        EXPECT_EQ(trusted && signer, f.accept) << f.path;
        bool named = false;
        for (const auto& e : events.Events()) {
            EXPECT_EQ(e.kind, platform::EventKind::Error);
            named = named || e.text.find(f.path) != std::string::npos;
        }
        // A refusal leaves its reason, with the file's path, in the event log.
        EXPECT_EQ(named, !f.accept) << f.path;
    }
}

TEST(TrustCheck, EventsSayWhyAFileWasRefused) {
    testing_support::EventRecorder events;
    EXPECT_FALSE(VerifySigner(SigningFixture("variants/not-harbinel-ltd.exe")));
    EXPECT_FALSE(VerifyTrust(SigningFixture("variants/digest-patched.msi")));
    EXPECT_FALSE(VerifyTrust(SigningFixture("variants/self-signed.exe")));
    EXPECT_FALSE(VerifySigner(SigningFixture("variants/unsigned.msi")));
    const std::vector<std::string> texts = events.Texts();
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[0], "Unexpected signer\nSigner: Not Harbinel Ltd\nDownload: " +
                            SigningFixture("variants/not-harbinel-ltd.exe"));
    EXPECT_EQ(texts[1].rfind("Error verifying trust\nError code: 80096010\n", 0), 0u) << texts[1];
    EXPECT_NE(texts[1].find("the signed digest does not match the signature"), std::string::npos) << texts[1];
    EXPECT_EQ(texts[2].rfind("Error verifying trust\nError code: 800b0109\n", 0), 0u) << texts[2];
    EXPECT_EQ(texts[3].rfind("CryptQueryObject failed\n", 0), 0u) << texts[3];
}

TEST(TrustCheck, AMissingFileIsRefused) {
    testing_support::EventRecorder events;
    const std::string missing = SigningFixture("variants/missing.msi");
    EXPECT_FALSE(VerifyTrust(missing));
    EXPECT_FALSE(VerifySigner(missing));
    EXPECT_EQ(events.Texts().size(), 2u);
}

}  // namespace
}  // namespace dlmgr
