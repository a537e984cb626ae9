// Cabinet opening and the host version check against the stand-in host: every stand-in HDSV.DLL
// version copied over the prefix's system-directory HDSV.DLL, and registry values changed (and put
// back afterwards).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/alloc.h"
#include "host/cabinet.h"
#include "host/cabinet_win.h"
#include "host/hdapi.h"
#include "support/mainwin_support.h"

namespace {

std::string SystemHdsv() {
    char dir[MAX_PATH] = "";
    GetSystemDirectoryA(dir, sizeof dir);
    return std::string(dir) + "\\HDSV.DLL";
}

// Keeps the prefix's HDSV.DLL aside and puts it back when destroyed.
struct SavedHdsv {
    std::string path = SystemHdsv();
    std::string saved = path + ".mainwin-saved";
    bool existed;
    SavedHdsv() { existed = CopyFileA(path.c_str(), saved.c_str(), FALSE) != 0; }
    ~SavedHdsv() {
        if (existed) {
            CopyFileA(saved.c_str(), path.c_str(), FALSE);
            DeleteFileA(saved.c_str());
        } else {
            DeleteFileA(path.c_str());
        }
    }
    // Installs the stand-in HDSV-<version>.DLL from the test executable's folder (not the working
    // directory, which a file dialog of an earlier test may have moved).
    bool Install(const char* version) {
        char exe[MAX_PATH] = {0};
        GetModuleFileNameA(NULL, exe, sizeof exe - 1);
        std::string from = exe;
        from = from.substr(0, from.find_last_of("\\/") + 1) + "HDSV-" + version + ".DLL";
        return CopyFileA(from.c_str(), path.c_str(), FALSE) != 0;
    }
};

class CabinetTest : public ::testing::Test {
  protected:
    void SetUp() override { InstallRecorders(); }
    void TearDown() override {
        HDCloseCabinet();
        UninstallRecorders();
    }
};

TEST_F(CabinetTest, KnownVersionsGiveTheirLevel) {
    SavedHdsv hdsv;
    const struct {
        const char* version;
        int level;
    } cases[] = {{"5.0", 1}, {"5.1", 1}, {"5.5", 2}, {"5.51", 2}, {"5.55", 2}, {"5.60", 2}};
    for (const auto& c : cases) {
        ASSERT_TRUE(hdsv.Install(c.version)) << "no stand-in HDSV-" << c.version << ".DLL";
        int32_t level = 9;
        EXPECT_EQ(CheckHostVersion(&level), 1) << c.version;
        EXPECT_EQ(level, c.level) << c.version;
    }
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(CabinetTest, UnknownVersionsAreRefusedWithTheirNumbers) {
    SavedHdsv hdsv;
    const struct {
        const char* version;
        const char* text;
    } cases[] = {{"5.2", "Impossible de trouver la version d'HDSV (5.2)"},
                 {"6.0", "Impossible de trouver la version d'HDSV (6.0)"}};
    for (const auto& c : cases) {
        ASSERT_TRUE(hdsv.Install(c.version)) << "no stand-in HDSV-" << c.version << ".DLL";
        g_boxes.clear();
        int32_t level = 9;
        EXPECT_EQ(CheckHostVersion(&level), 0);
        EXPECT_EQ(level, 9) << "the level must stay unchanged";
        ASSERT_EQ(g_boxes.size(), 1u);
        EXPECT_EQ(g_boxes[0].text, c.text);
        EXPECT_EQ(g_boxes[0].caption, "Sondrel 4.0");
        EXPECT_EQ(g_boxes[0].style, (UINT)(MB_OK | MB_ICONERROR));
        EXPECT_EQ(g_boxes[0].owner, (HWND)NULL);
    }
}

TEST_F(CabinetTest, MissingHdsvFailsWithoutAMessage) {
    SavedHdsv hdsv;
    DeleteFileA(hdsv.path.c_str());
    int32_t level = 9;
    EXPECT_EQ(CheckHostVersion(&level), 0);
    EXPECT_EQ(level, 9);
    EXPECT_TRUE(g_boxes.empty());
    // A file without a version resource is the same: this program's own executable has one, so
    // use a text file.
    HANDLE f = CreateFileA(hdsv.path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD written;
    WriteFile(f, "not a DLL", 9, &written, NULL);
    CloseHandle(f);
    EXPECT_EQ(CheckHostVersion(&level), 0);
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(CabinetTest, OpensTheCabinetOfThePrefixQuietly) {
    SavedHdsv hdsv;
    ASSERT_TRUE(hdsv.Install("5.1"));
    Host.HostApiLevel = 0;
    OpenCurrentCabinet((HWND)0x1234);
    EXPECT_TRUE(g_boxes.empty()) << (g_boxes.empty() ? "" : g_boxes[0].text);
    EXPECT_EQ(Host.HostApiLevel, 1);
    EXPECT_NE(Host.CabinetsRoot[0], 0);
    EXPECT_NE(Host.CabinetName[0], 0);
    EXPECT_NE(Host.CabinetDirectory[0], 0);
    // The registry names the directory in another case than the pass table: it still matched,
    // or the cabinet (which requires its pass) would not have opened.
}

TEST_F(CabinetTest, RefusedVersionGivesTwoMessagesThenOpens) {
    SavedHdsv hdsv;
    ASSERT_TRUE(hdsv.Install("6.0"));
    Host.HostApiLevel = 0;
    HWND owner = (HWND)0x1234;
    OpenCurrentCabinet(owner);
    ASSERT_EQ(g_boxes.size(), 2u);
    EXPECT_EQ(g_boxes[0].text, "Impossible de trouver la version d'HDSV (6.0)");
    EXPECT_EQ(g_boxes[0].owner, (HWND)NULL);
    EXPECT_EQ(g_boxes[1].text, "Impossible de trouver la version d'HDSV");
    EXPECT_EQ(g_boxes[1].caption, "Sondrel");
    EXPECT_EQ(g_boxes[1].style, (UINT)(MB_OK | MB_ICONERROR));
    EXPECT_EQ(g_boxes[1].owner, owner);
    EXPECT_EQ(Host.HostApiLevel, 0);
}

TEST_F(CabinetTest, MissingHdsvGivesOnlyTheSecondMessage) {
    SavedHdsv hdsv;
    DeleteFileA(hdsv.path.c_str());
    OpenCurrentCabinet(NULL);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, "Impossible de trouver la version d'HDSV");
}

const char kCannotOpen[] = "Impossible d'ouvrir le cabinet par d\xE9"
                           "faut";

TEST_F(CabinetTest, MissingLastCabinetValue) {
    SavedRegistryValue last(kCabinetsKey, "Dernier");
    ASSERT_TRUE(last.existed) << "the prefix has no cabinet set up";
    last.Remove();
    OpenCurrentCabinet((HWND)0x77);
    EXPECT_EQ(Host.CabinetName[0], 0);
    EXPECT_EQ(Host.CabinetDirectory[0], 0);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, kCannotOpen);
    EXPECT_EQ(g_boxes[0].caption, "Sondrel");
    EXPECT_EQ(g_boxes[0].style, (UINT)(MB_OK | MB_ICONERROR));
    EXPECT_EQ(g_boxes[0].owner, (HWND)0x77);
}

TEST_F(CabinetTest, UnknownCabinetName) {
    SavedRegistryValue last(kCabinetsKey, "Dernier");
    last.Set("Cabinet qui n'existe pas");
    OpenCurrentCabinet(NULL);
    EXPECT_STREQ(Host.CabinetName, "Cabinet qui n'existe pas");
    EXPECT_EQ(Host.CabinetDirectory[0], 0);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, kCannotOpen);
}

TEST_F(CabinetTest, TooLongRootIsTakenAsMissing) {
    SavedRegistryValue root(kPathsKey, "Cabinets");
    ASSERT_TRUE(root.existed);
    root.Set("C:\\" + std::string(300, 'x'));
    OpenCurrentCabinet(NULL);
    EXPECT_EQ(Host.CabinetsRoot[0], 0);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, kCannotOpen);
    // 259 characters still fit the 260-byte text.
    g_boxes.clear();
    root.Set("C:\\" + std::string(256, 'y'));
    OpenCurrentCabinet(NULL);
    EXPECT_EQ(std::string(Host.CabinetsRoot).size(), 259u);
}

TEST_F(CabinetTest, MissingRootKey) {
    SavedRegistryValue root(kPathsKey, "Cabinets");
    root.Remove();
    OpenCurrentCabinet(NULL);
    EXPECT_EQ(Host.CabinetsRoot[0], 0);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, kCannotOpen);
}

TEST_F(CabinetTest, WrongCaseDirectoryInTheRegistryStillOpens) {
    // Put the directory in upper case: the pass table compares ignoring case.
    SavedRegistryValue last(kCabinetsKey, "Dernier");
    ASSERT_TRUE(last.existed);
    std::string name((const char*)last.data.data());
    SavedRegistryValue dir(kCabinetsKey, name.c_str());
    ASSERT_TRUE(dir.existed);
    std::string upper((const char*)dir.data.data());
    CharUpperA(&upper[0]);
    dir.Set(upper);
    OpenCurrentCabinet(NULL);
    EXPECT_STREQ(Host.CabinetDirectory, upper.c_str());
    for (const RecordedBox& b : g_boxes)
        EXPECT_NE(b.text, kCannotOpen);
}

TEST_F(CabinetTest, VersionBlockThatCannotBeAllocatedIsAVersionNotFound) {
    SavedHdsv hdsv;
    ASSERT_TRUE(hdsv.Install("5.5"));
    long live = SondrelLiveBlocks();
    int32_t level = 9;
    SondrelFailAllocationAt(1);
    EXPECT_EQ(CheckHostVersion(&level), 0);
    SondrelFailAllocationAt(0);
    EXPECT_EQ(level, 9);
    EXPECT_TRUE(g_boxes.empty());
    EXPECT_EQ(SondrelLiveBlocks(), live);
    // Opening the cabinet then says what it says when the version cannot be found, and goes on.
    Host.HostApiLevel = 0;
    SondrelFailAllocationAt(1);
    OpenCurrentCabinet(NULL);
    SondrelFailAllocationAt(0);
    EXPECT_EQ(Host.HostApiLevel, 0);
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, "Impossible de trouver la version d'HDSV");
    EXPECT_EQ(g_boxes[0].caption, "Sondrel");
    EXPECT_EQ(g_boxes[0].style, (UINT)(MB_OK | MB_ICONERROR));
    EXPECT_EQ(SondrelLiveBlocks(), live);
    EXPECT_EQ(CheckHostVersion(&level), 1); // and it is found again once memory is there
    EXPECT_EQ(level, 2);
}

} // namespace
