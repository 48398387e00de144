#include "installer_session.h"

#include <cstdlib>

#include <psapi.h>

#include "handles.h"

using tavri::win::UniqueFile;
using tavri::win::UniqueKernelHandle;

namespace installer_test {
namespace {

const wchar_t kClassKey[] = L"CLSID\\{7B4133D8-196A-4826-99B6-F8A0BC5A95F5}\\InprocServer32";
const wchar_t kProgIdKey[] = L"TavriPlugin.plugin\\CLSID";
const wchar_t kHostPluginsKey[] = L"SOFTWARE\\Messenger Plus! 2\\Plugins";

struct WindowQuery {
    DWORD processId;
    const wchar_t* className;
    const wchar_t* caption;
    HWND found;
};

BOOL CALLBACK matchProcessWindow(HWND hwnd, LPARAM param) {
    auto* q = reinterpret_cast<WindowQuery*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != q->processId || !IsWindowVisible(hwnd)) return TRUE;
    if (q->className && wintest::className(hwnd) != q->className) return TRUE;
    if (wintest::windowText(hwnd) != q->caption) return TRUE;
    q->found = hwnd;
    return FALSE;
}

HWND waitForProcessWindow(DWORD processId, const wchar_t* className, const wchar_t* caption,
                          DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        WindowQuery q{processId, className, caption, nullptr};
        EnumWindows(matchProcessWindow, reinterpret_cast<LPARAM>(&q));
        if (q.found) return q.found;
        if (GetTickCount() - start > timeoutMs) return nullptr;
        Sleep(50);
    }
}

// Pixels of a screen area, 32 bits each.
std::vector<DWORD> capture(HDC source, int x, int y, int width, int height) {
    HDC memory = CreateCompatibleDC(source);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
    GdiFlush();
    const auto* first = static_cast<const DWORD*>(bits);
    std::vector<DWORD> pixels(first, first + width * height);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return pixels;
}

// The system icon drawn over a background colour, as a message box shows it.
std::vector<DWORD> drawIcon(LPCWSTR id, int width, int height, COLORREF background) {
    HDC screen = GetDC(nullptr);
    HDC canvas = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(canvas, bitmap);
    HBRUSH brush = CreateSolidBrush(background);
    RECT all{0, 0, width, height};
    FillRect(canvas, &all, brush);
    DeleteObject(brush);
    DrawIconEx(canvas, 0, 0, LoadIconW(nullptr, id), width, height, 0, nullptr, DI_NORMAL);
    std::vector<DWORD> pixels = capture(canvas, 0, 0, width, height);
    SelectObject(canvas, old);
    DeleteObject(bitmap);
    DeleteDC(canvas);
    ReleaseDC(nullptr, screen);
    return pixels;
}

long long difference(const std::vector<DWORD>& a, const std::vector<DWORD>& b) {
    long long sum = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        for (int shift : {0, 8, 16})
            sum += std::abs(static_cast<int>((a[i] >> shift) & 0xFF) -
                            static_cast<int>((b[i] >> shift) & 0xFF));
    return sum;
}

}  // namespace

int messageBoxIcon(HWND box) {
    HWND iconControl = nullptr;
    for (HWND c : wintest::children(box))
        if (wintest::className(c) == L"Static" &&
            (GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && IsWindowVisible(c))
            iconControl = c;
    if (!iconControl) return 0;
    RECT r{};
    GetWindowRect(iconControl, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return 0;
    HDC screen = GetDC(nullptr);
    const std::vector<DWORD> shown = capture(screen, r.left, r.top, width, height);
    ReleaseDC(nullptr, screen);
    // The icons' corners are transparent: the box's own background shows there.
    const DWORD corner = shown[0];
    const COLORREF background = RGB((corner >> 16) & 0xFF, (corner >> 8) & 0xFF, corner & 0xFF);

    struct Candidate { LPCWSTR id; int kind; };
    const Candidate candidates[] = {{IDI_INFORMATION, MB_ICONINFORMATION},
                                    {IDI_WARNING, MB_ICONWARNING},
                                    {IDI_ERROR, MB_ICONERROR},
                                    {IDI_QUESTION, MB_ICONQUESTION}};
    int best = -1;
    long long bestDifference = -1;
    for (const auto& c : candidates) {
        const long long d = difference(shown, drawIcon(c.id, width, height, background));
        if (bestDifference < 0 || d < bestDifference) {
            bestDifference = d;
            best = c.kind;
        }
    }
    // Near-identical pixels only: an average of under 8 levels per channel.
    return bestDifference < 8LL * 3 * width * height ? best : -1;
}

std::string readFileBytes(const std::wstring& path, bool* exists) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr));
    if (exists) *exists = static_cast<bool>(file);
    std::string bytes;
    if (!file) return bytes;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    return bytes;
}

bool writeFileBytes(const std::wstring& path, const std::string& bytes) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                nullptr));
    DWORD written = 0;
    return file && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                             nullptr) &&
           written == bytes.size();
}

bool fileExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TempFolder::TempFolder() {
    static int counter = 0;
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"tavri-installer-" + std::to_wstring(GetCurrentProcessId()) +
            L"-" + std::to_wstring(++counter);
    CreateDirectoryW(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((path_ + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW((path_ + L"\\" + found.cFileName).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path_.c_str());
}

void TempFolder::addFromBuild(const wchar_t* name) const {
    CopyFileW(wintest::besideMe(name).c_str(), file(name).c_str(), FALSE);
}

void layOutRelease(const TempFolder& folder, ReleaseContents contents) {
    if (contents.installer) folder.addFromBuild(L"Install.exe");
    if (contents.plugin) folder.addFromBuild(L"Tavri.dll");
    if (contents.registryFile) folder.addFromBuild(L"install.reg");
}

RunningInstaller::RunningInstaller(const std::wstring& folder,
                                   const std::wstring& currentDirectory) {
    const std::wstring exe = folder + L"\\Install.exe";
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        currentDirectory.c_str(), &startup, &process_))
        return;
    form_ = waitForProcessWindow(process_.dwProcessId, nullptr, kWindowCaption.c_str(), 20000);
}

RunningInstaller::~RunningInstaller() {
    if (!process_.hProcess) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

HWND RunningInstaller::installButton() const {
    return wintest::findChild(form_, L"Button", L"&Install");
}

HWND RunningInstaller::cancelButton() const {
    return wintest::findChild(form_, L"Button", L"&Cancel");
}

HWND RunningInstaller::commandBox() const { return wintest::findChild(form_, L"Edit", nullptr); }

HWND RunningInstaller::focused() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(threadId(), &info) ? info.hwndFocus : nullptr;
}

HWND RunningInstaller::waitForMessageBox(DWORD timeoutMs) const {
    return waitForProcessWindow(process_.dwProcessId, L"#32770", kMessageCaption.c_str(),
                                timeoutMs);
}

wintest::MessageBoxView RunningInstaller::installAndReadMessage() {
    wintest::clickButton(installButton());
    // Registration under Wine takes seconds; the installer's own limit is a minute per program.
    HWND box = waitForMessageBox(150000);
    if (!box) return {};
    wintest::MessageBoxView view = wintest::readMessageBox(box);
    view.icon = messageBoxIcon(box);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    wintest::waitForWindowGone(box);
    return view;
}

long RunningInstaller::waitForExit(DWORD timeoutMs) {
    if (!process_.hProcess || WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<long>(code);
}

bool pluginRegistered() { return wintest::keyExists(HKEY_CLASSES_ROOT, kProgIdKey); }

std::wstring registeredServerPath() {
    return wintest::readString(HKEY_CLASSES_ROOT, kClassKey, nullptr);
}

bool hostListsPlugin() {
    bool found = false;
    return wintest::readString(HKEY_LOCAL_MACHINE, kHostPluginsKey, L"Tavri", &found) ==
               L"TavriPlugin.plugin" &&
           found;
}

void unregisterAndUnlist() {
    wintest::runProcess(L"regsvr32 /u /s \"" + wintest::besideMe(L"Tavri.dll") + L"\"");
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kHostPluginsKey, 0, KEY_SET_VALUE, &key) ==
        ERROR_SUCCESS) {
        RegDeleteValueW(key, L"Tavri");
        RegCloseKey(key);
    }
}

void clearInstallState() {
    unregisterAndUnlist();
    SetFileAttributesW(kDestination.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(kDestination.c_str());
}

RunningHost::RunningHost() {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    if (!CreatePipe(&readEnd, &input_, &inherit, 0)) return;
    SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
    UniqueKernelHandle hostInput(readEnd);
    UniqueFile nul(CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                               OPEN_EXISTING, 0, nullptr));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = readEnd;
    startup.hStdOutput = nul.get();
    startup.hStdError = nul.get();
    std::wstring line = L"\"" + wintest::besideMe(L"plughost.exe") + L"\"";
    CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                   &process_);
}

RunningHost::~RunningHost() {
    if (input_) CloseHandle(input_);  // end of input: the host ends
    if (!process_.hProcess) return;
    if (WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

bool RunningHost::waitUntilLoaded(const std::wstring& modulePath, DWORD timeoutMs) const {
    const DWORD start = GetTickCount();
    while (running()) {
        HMODULE modules[512];
        DWORD bytes = 0;
        if (EnumProcessModules(process_.hProcess, modules, sizeof modules, &bytes)) {
            for (DWORD i = 0; i < bytes / sizeof(HMODULE) && i < 512; ++i) {
                wchar_t name[MAX_PATH] = {};
                GetModuleFileNameExW(process_.hProcess, modules[i], name, MAX_PATH);
                if (CompareStringOrdinal(name, -1, modulePath.c_str(), -1, TRUE) == CSTR_EQUAL)
                    return true;
            }
        }
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(100);
    }
    return false;
}

bool RunningHost::running() const {
    return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

int runCapturingOutput(const std::wstring& commandLine, std::string* output, DWORD timeoutMs) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return -1;
    UniqueKernelHandle reader(readEnd), writer(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    UniqueFile nul(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                               OPEN_EXISTING, 0, nullptr));

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul.get();
    startup.hStdOutput = writeEnd;
    startup.hStdError = nul.get();
    PROCESS_INFORMATION started{};
    std::wstring line = commandLine;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &started))
        return -1;
    UniqueKernelHandle process(started.hProcess), thread(started.hThread);
    writer.reset();

    auto drain = [&] {
        DWORD available = 0;
        while (PeekNamedPipe(reader.get(), nullptr, 0, nullptr, &available, nullptr) &&
               available > 0) {
            char chunk[4096];
            DWORD got = 0;
            if (!ReadFile(reader.get(), chunk, sizeof chunk, &got, nullptr) || got == 0) break;
            output->append(chunk, got);
        }
    };
    const DWORD start = GetTickCount();
    while (WaitForSingleObject(process.get(), 20) == WAIT_TIMEOUT) {
        drain();
        if (GetTickCount() - start > timeoutMs) {
            TerminateProcess(process.get(), 1);
            return -1;
        }
    }
    drain();
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    return static_cast<int>(code);
}

void PrefixStateGuard::SetUp() {
    // A run that died midway may have left the plug-in folder parked.
    const std::wstring parked = kPluginFolder + L".away";
    if (GetFileAttributesW(kPluginFolder.c_str()) == INVALID_FILE_ATTRIBUTES)
        MoveFileW(parked.c_str(), kPluginFolder.c_str());
    fileBytes_ = readFileBytes(kDestination, &hadFile_);
    serverPath_ = pluginRegistered() ? registeredServerPath() : std::wstring();
    listed_ = hostListsPlugin();
}

void PrefixStateGuard::TearDown() {
    clearInstallState();
    if (hadFile_) writeFileBytes(kDestination, fileBytes_);
    if (!serverPath_.empty()) wintest::runProcess(L"regsvr32 /s \"" + serverPath_ + L"\"");
    if (listed_) {
        const wchar_t value[] = L"TavriPlugin.plugin";
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, kHostPluginsKey, L"Tavri", REG_SZ, value,
                        sizeof value);
    }
}

PluginFolderMovedAway::PluginFolderMovedAway() : parking_(kPluginFolder + L".away") {
    moved_ = MoveFileW(kPluginFolder.c_str(), parking_.c_str()) != 0;
}

PluginFolderMovedAway::~PluginFolderMovedAway() {
    if (moved_) MoveFileW(parking_.c_str(), kPluginFolder.c_str());
}

}  // namespace installer_test
