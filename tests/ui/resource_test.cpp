// The resources linked into the program, checked through the system's own readers: the dialog as the dialog
// manager builds it from the template, the version record, and what the manifest asks for.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/ui/dialog_harness.h"
#include "ui/resource.h"

namespace {

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

using TemplateTest = DialogTest;

TEST_F(TemplateTest, ControlsFollowTheTemplateInTabOrder) {
    const struct {
        int id;
        const char* className;
        bool tabStop;
        RECT dialogUnits;  // x, y, width, height
    } expected[] = {
        {IDC_BROWSE, "Button", true, {191, 201, 15, 14}},
        {IDC_INPUT_FILE, "Edit", true, {25, 202, 156, 12}},
        {IDC_SYNCHRONIZE, "Button", true, {237, 201, 66, 14}},
        {IDC_STATIC, "Button", false, {13, 187, 215, 36}},
        {IDC_STATIC, "Static", false, {19, 20, 87, 8}},
        {IDC_REDUCE_NUMBER, "Edit", true, {117, 18, 28, 12}},
        {IDC_SWITCH_ORIENTATION, "Button", true, {202, 20, 89, 10}},
        {IDC_STATIC, "Button", false, {13, 43, 293, 75}},
        {IDC_STATIC, "Static", false, {21, 64, 20, 8}},
        {IDC_HOURS, "Edit", true, {47, 62, 28, 12}},
        {IDC_STATIC, "Static", false, {84, 64, 26, 8}},
        {IDC_MINUTES, "Edit", true, {113, 62, 28, 12}},
        {IDC_STATIC, "Static", false, {151, 64, 29, 8}},
        {IDC_SECONDS, "Edit", true, {185, 62, 28, 12}},
        {IDC_STATIC, "Static", false, {221, 64, 38, 8}},
        {IDC_MILLISECONDS, "Edit", true, {263, 62, 28, 12}},
        {IDC_ADD_TIME, "Button", false, {111, 95, 43, 10}},
        // The checked radio button takes the group's tab stop.
        {IDC_REDUCE_TIME, "Button", true, {173, 95, 56, 10}},
        {IDC_STATIC, "Button", false, {13, 138, 293, 36}},
        {IDC_BETWEEN_TIMES, "Button", true, {23, 138, 174, 8}},
        {IDC_FROM_TIME, "SysDateTimePick32", true, {87, 152, 60, 11}},
        {IDC_STATIC, "Static", false, {154, 154, 13, 8}},
        {IDC_TO_TIME, "SysDateTimePick32", true, {172, 152, 60, 11}},
    };
    Open();
    HWND child = GetWindow(dialog->m_hWnd, GW_CHILD);
    for (const auto& control : expected) {
        SCOPED_TRACE(control.id);
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(static_cast<short>(GetDlgCtrlID(child)), control.id);
        EXPECT_EQ(ClassOf(child), control.className);
        EXPECT_EQ((GetWindowLongA(child, GWL_STYLE) & WS_TABSTOP) != 0, control.tabStop);
        // Position and size are converted each by itself, as the dialog manager does.
        RECT pixels = control.dialogUnits;
        MapDialogRect(dialog->m_hWnd, &pixels);
        pixels.right += pixels.left;
        pixels.bottom += pixels.top;
        RECT actual;
        GetWindowRect(child, &actual);
        MapWindowPoints(HWND_DESKTOP, dialog->m_hWnd, reinterpret_cast<POINT*>(&actual), 2);
        EXPECT_EQ(actual.left, pixels.left);
        EXPECT_EQ(actual.top, pixels.top);
        EXPECT_EQ(actual.right, pixels.right);
        EXPECT_EQ(actual.bottom, pixels.bottom);
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr) << "more than 23 controls";

    RECT client;
    GetClientRect(dialog->m_hWnd, &client);
    RECT size = {0, 0, 320, 234};
    MapDialogRect(dialog->m_hWnd, &size);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);
    const LONG style = GetWindowLongA(dialog->m_hWnd, GWL_STYLE);
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
    EXPECT_TRUE(GetWindowLongA(dialog->m_hWnd, GWL_EXSTYLE) & WS_EX_APPWINDOW);
}

std::string VersionString(const std::vector<char>& record, const std::string& key) {
    char* value = nullptr;
    UINT length = 0;
    const std::string path = "\\StringFileInfo\\040904B0\\" + key;
    if (!VerQueryValueA(record.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) {
        return "<missing>";
    }
    return std::string(value, length > 0 ? strnlen(value, length) : 0);
}

TEST(VersionRecord, CarriesTheProgramsNamesAndNumbers) {
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, sizeof module);
    std::vector<char> record(GetFileVersionInfoSizeA(module, nullptr));
    ASSERT_FALSE(record.empty());
    ASSERT_TRUE(GetFileVersionInfoA(module, 0, static_cast<DWORD>(record.size()), record.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(record.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    const struct {
        const char* key;
        const char* value;
    } strings[] = {
        {"CompanyName", ""},
        {"FileDescription", "Kelvaro MFC Application"},
        {"FileVersion", "1, 0, 0, 1"},
        {"InternalName", "Kelvaro"},
        {"LegalTrademarks", ""},
        {"OriginalFilename", "Kelvaro.EXE"},
        {"ProductName", "Kelvaro Application"},
        {"ProductVersion", "1, 0, 0, 1"},
    };
    for (const auto& entry : strings) {
        EXPECT_EQ(VersionString(record, entry.key), entry.value) << entry.key;
    }
    EXPECT_NE(VersionString(record, "LegalCopyright"), "<missing>");

    WORD* translation = nullptr;
    ASSERT_TRUE(
        VerQueryValueA(record.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 0x04B0);
}

TEST(Icon, IsOne32By32ImageIn16Colours) {
    const HMODULE module = GetModuleHandleA(nullptr);
    const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(IDR_MAINFRAME), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
    ASSERT_NE(found, nullptr);
    // GRPICONDIR: reserved, type, count, then one 14-byte entry: width, height, colours, reserved, planes, bits.
    const auto* group = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    EXPECT_EQ(*reinterpret_cast<const WORD*>(group + 4), 1);
    EXPECT_EQ(group[6], 32);
    EXPECT_EQ(group[7], 32);
    EXPECT_EQ(group[8], 16);
    EXPECT_EQ(*reinterpret_cast<const WORD*>(group + 12), 4);
}

TEST(Manifest, GivesVersion6CommonControlsAndDpiAwareness) {
    // The side-by-side copy is the version 6 one (Wine's reports 5.81 from DllGetVersion either way).
    char path[MAX_PATH] = {};
    GetModuleFileNameA(GetModuleHandleA("comctl32.dll"), path, sizeof path);
    std::string lower = path;
    CharLowerA(&lower[0]);
    EXPECT_NE(lower.find("\\winsxs\\"), std::string::npos) << path;
    EXPECT_NE(lower.find("common-controls_6595b64144ccf1df_6."), std::string::npos) << path;
    EXPECT_TRUE(IsProcessDPIAware());
}

}  // namespace
