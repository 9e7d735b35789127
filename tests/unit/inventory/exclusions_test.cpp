// The exclusion test: exact names compare exactly, entries with a star are
// patterns of the program's regular-expression dialect (the star repeats what
// stands before it), anchored only by a leading "^", tried in file order;
// patterns that do not compile are skipped.
#include <gtest/gtest.h>

#include "inventory/config_parser.h"
#include "inventory/exclusions.h"
#include "inventory/watch_list.h"
#include "inventory_test_support.h"
#include "platform/files.h"

namespace {

TEST(Exclusions, ExactEntriesMatchWholeNamesInTheirOwnCase) {
    VN_ExclusionStore store;
    store.AddEntry("Adobe Flash Player 32 NPAPI");
    store.AddEntry("Adobe Flash Player 32 NPAPI");
    EXPECT_EQ(store.ExactCount(), 1u);
    EXPECT_TRUE(store.IsInExclusions("Adobe Flash Player 32 NPAPI"));
    EXPECT_FALSE(store.IsInExclusions("adobe flash player 32 npapi"));
    EXPECT_FALSE(store.IsInExclusions("Adobe Flash Player 32"));
    EXPECT_FALSE(store.IsInExclusions("Adobe Flash Player 32 NPAPI (x64)"));
    EXPECT_FALSE(store.IsInExclusions(""));
}

TEST(Exclusions, AStarRepeatsTheCharacterBeforeIt) {
    VN_ExclusionStore store;
    store.AddEntry("Java Update*");  // "Java Updat" followed by any number of "e"
    EXPECT_TRUE(store.IsInExclusions("Java Update"));
    EXPECT_TRUE(store.IsInExclusions("Java Updat"));
    EXPECT_TRUE(store.IsInExclusions("Java Updateee 8"));
    EXPECT_TRUE(store.IsInExclusions("Oracle Java Update Scheduler")) << "unanchored: anywhere in the name";
    EXPECT_FALSE(store.IsInExclusions("Java Upd"));
    EXPECT_FALSE(store.IsInExclusions("java update")) << "patterns compare case-sensitively";
    EXPECT_FALSE(store.IsInExclusions("Java-Update")) << "not a file wildcard: the blank is literal";
}

TEST(Exclusions, ALeadingCaretAnchorsAtTheStart) {
    VN_ExclusionStore store;
    store.AddEntry("^Microsoft .NET*");
    EXPECT_TRUE(store.IsInExclusions("Microsoft .NET Framework 4.8"));
    EXPECT_FALSE(store.IsInExclusions("Update for Microsoft .NET Framework"));
}

TEST(Exclusions, PatternsThatDoNotCompileAreSkipped) {
    VN_ExclusionStore store;
    store.AddEntry("Visual C++ 20*");  // "++" does not compile
    store.AddEntry("*");
    store.AddEntry("(Unclosed*");
    store.AddEntry("Visual Studio 20*");
    EXPECT_EQ(store.Patterns().size(), 4u);
    EXPECT_FALSE(store.IsInExclusions("Visual C++ 2019"));
    EXPECT_FALSE(store.IsInExclusions("(Unclosed"));
    EXPECT_TRUE(store.IsInExclusions("Microsoft Visual Studio 2022"));
}

TEST(Exclusions, TheDialectsEscapesAndClassesWork) {
    VN_ExclusionStore store;
    store.AddEntry("KB\\d\\d\\d\\d\\d\\d\\d*");
    store.AddEntry("^[A-Z]:\\\\Windows\\\\*");
    EXPECT_TRUE(store.IsInExclusions("Security Update (KB5002251)"));
    EXPECT_FALSE(store.IsInExclusions("Security Update (KB500)"));
    EXPECT_TRUE(store.IsInExclusions("C:\\Windows\\system32\\notepad.exe"));
    EXPECT_FALSE(store.IsInExclusions("c:\\Windows\\notepad.exe"));
}

TEST(Exclusions, ServiceFilesAreLookedForInTheDataFolderThenTheProgramFolder) {
    testsupport::TempDir data;
    EXPECT_EQ(inventory::LocateServiceFile("config.xml", data.Path(), "C:\\Program Files\\Varnel\\"),
              "C:\\Program Files\\Varnel\\config.xml");
    testsupport::WriteFile(data.File("config.xml"), "<configuration/>");
    EXPECT_EQ(inventory::LocateServiceFile("config.xml", data.Path(), "C:\\Program Files\\Varnel\\"),
              data.Path() + "\\config.xml");
    EXPECT_EQ(inventory::LocateServiceFile("config.xml", "", "C:\\Varnel\\"), "C:\\Varnel\\config.xml");

    // The list's own folders: its data folder, and the running program's.
    VN_WatchList list(data.Path());
    EXPECT_EQ(list.ServiceFilePath("config.xml"), data.Path() + "\\config.xml");
    EXPECT_EQ(list.ServiceFilePath("exclusions.xml"), platform::ProgramFolder() + "exclusions.xml");
    EXPECT_EQ(list.GetDatabasePath(), data.Path() + "\\varnel.db");
}

}  // namespace
