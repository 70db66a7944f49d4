// Registry entries written and removed for a server, read back from the
// registry and the component categories manager.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "Halvex.h"

namespace {

// Data1 has leading zeros: the keys are found only when the text pads with
// zeros, never spaces.
const CLSID kClsid = {0x0001abcd, 0x0a0b, 0x00c0, {0x01, 0x02, 0x0a, 0x00, 0x0b, 0xc0, 0x0d, 0x0e}};
const char kGuidText[] = "{0001abcd-0a0b-00c0-0102-0a000bc00d0e}";
const char kProgId[] = "Halvex.RegistrationTest.1";

// The default (or named) value of a key under HKEY_CLASSES_ROOT; "<none>"
// when the key or value is missing.
std::string Value(const std::string &key, const char *name = nullptr) {
    char data[512];
    DWORD size = sizeof data;
    if (RegGetValueA(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) !=
        ERROR_SUCCESS)
        return "<none>";
    return data;
}

bool KeyExists(const std::string &key) {
    HKEY h;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    return true;
}

// Values under a key of HKEY_CLASSES_ROOT; -1 when the key is missing.
int ValueCount(const std::string &key) {
    HKEY h;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return -1;
    DWORD values = 0;
    const LONG status = RegQueryInfoKeyA(h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                         &values, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(h);
    return status == ERROR_SUCCESS ? static_cast<int>(values) : -1;
}

bool InHdaCategory() {
    return KeyExists(std::string("CLSID\\") + kGuidText +
                     "\\Implemented Categories\\{7DE5B060-E089-11D2-A5E6-000086339399}");
}

TEST(Registration, RegisterTwiceThenUnregister) {
    const std::string clsidKey = std::string("CLSID\\") + kGuidText;
    // Descriptions are cut to 100 characters, paths to 400.
    const std::string description(150, 'd'), path(450, 'p');
    ASSERT_TRUE(HDAUpdateRegistry(kClsid, kProgId, description.c_str(), path.c_str()));
    EXPECT_EQ(std::string(100, 'd'), Value(kProgId));
    EXPECT_EQ(std::string(400, 'p'), Value(clsidKey + "\\LocalServer32"));

    ASSERT_TRUE(HDAUpdateRegistry(kClsid, kProgId, "Registration test", "C:\\x\\Server.exe"));
    EXPECT_EQ("Registration test", Value(kProgId));
    EXPECT_EQ(kGuidText, Value(std::string(kProgId) + "\\CLSID"));
    EXPECT_TRUE(KeyExists(std::string(kProgId) + "\\OPC"));
    // The security default: an AppID key with no values at all (no
    // AccessPermission, LaunchPermission, AuthenticationLevel or RunAs), so
    // COM uses the machine's defaults and the process's own
    // CoInitializeSecurity call.
    EXPECT_EQ(0, ValueCount(std::string("AppID\\") + kGuidText));
    EXPECT_EQ(kProgId, Value(clsidKey));
    EXPECT_EQ(kGuidText, Value(clsidKey, "AppID"));
    EXPECT_EQ("C:\\x\\Server.exe", Value(clsidKey + "\\LocalServer32"));
    EXPECT_EQ(kProgId, Value(clsidKey + "\\ProgID"));
    EXPECT_TRUE(InHdaCategory());

    ASSERT_TRUE(UnregisterHDAServer(kClsid, kProgId));
    EXPECT_FALSE(KeyExists(kProgId));
    EXPECT_FALSE(KeyExists(clsidKey));
    EXPECT_FALSE(KeyExists(std::string("AppID\\") + kGuidText));
    EXPECT_FALSE(InHdaCategory());
    // Nothing left to remove.
    EXPECT_FALSE(UnregisterHDAServer(kClsid, kProgId));
}

TEST(Registration, EmptyProgIdIsRefused) {
    EXPECT_FALSE(HDAUpdateRegistry(kClsid, "", "x", "C:\\x.exe"));
    EXPECT_FALSE(HDAUpdateRegistry(kClsid, nullptr, "x", "C:\\x.exe"));
    EXPECT_FALSE(UnregisterHDAServer(kClsid, ""));
}

}  // namespace

int main(int argc, char **argv) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ::testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
