#include "tag_session.h"

#include <atomic>

#include "frmsett.h"
#include "server_env.h"

namespace tagtest {
namespace {

constexpr const wchar_t* kSettingsKey = L"Software\\VB and VBA Program Settings\\Tavri Plugin\\Data";
constexpr const wchar_t* kProgId = L"TavriPlugin.plugin";
constexpr UINT kRunWork = WM_APP + 1;

std::wstring label(const wchar_t* words) {
    return std::wstring(1, L'\x02') + words + std::wstring(1, L'\x0F') + L" ";
}

std::string fieldText(HWND form, int id) {
    return narrow(wintest::windowText(wintest::childById(form, id)));
}


BOOL CALLBACK collectVisibleOfThisProcess(HWND hwnd, LPARAM found) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(hwnd))
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(hwnd);
    return TRUE;
}

}  // namespace

std::string narrow(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

std::wstring widen(const std::string& text) {
    if (text.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

void storeCredentials(const std::string& user, const std::string& password) {
    tavri::win::UniqueHKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS)
        return;
    for (const auto& [name, value] : {std::pair{L"username", user}, std::pair{L"password", password}}) {
        const std::wstring data = widen(value);
        RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    }
}

std::string storedSetting(const char* key) {
    return narrow(wintest::readString(HKEY_CURRENT_USER, kSettingsKey, widen(key).c_str()));
}

Plugin::Plugin() {
    CLSID clsid{};
    if (SUCCEEDED(CLSIDFromProgID(kProgId, &clsid)))
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object_.putVoid());
}

TagCall Plugin::parseTag(const std::wstring& tag, const std::wstring& resultOnEntry) {
    tavri::win::UniqueBstr result(wintest::bstr(resultOnEntry));
    BSTR slot = result.release();
    const wintest::CallResult r =
        wintest::call(object_.get(), L"ParseTag",
                      {wintest::Arg::value(tag), wintest::Arg::value(static_cast<IDispatch*>(nullptr)),
                       wintest::Arg::refBstr(&slot)});
    result.reset(slot);
    TagCall call;
    call.hr = r.hr;
    call.errorNumber = r.errorNumber();
    call.handled = r.isTrue();
    call.result = wintest::text(result.get());
    return call;
}

wintest::CallResult Plugin::parseCommand(const std::wstring& command) {
    tavri::win::UniqueBstr result(wintest::bstr(L""));
    BSTR slot = result.release();
    wintest::CallResult r = wintest::call(
        object_.get(), L"ParseCommand",
        {wintest::Arg::value(command), wintest::Arg::value(std::wstring()),
         wintest::Arg::value(static_cast<IDispatch*>(nullptr)), wintest::Arg::refBstr(&slot)});
    result.reset(slot);
    return r;
}

std::wstring statistics(const std::wstring& planName, const std::wstring& used,
                        const std::wstring& limit, const std::wstring& left) {
    return label(L"Plan Name:") + planName + L"\r\n" + label(L"Amount Used:") + used + L"MB\r\n" +
           label(L"Plan Limit:") + limit + L"MB\r\n" + label(L"Amount Left:") + left + L" MB";
}

std::vector<Request> serverRequests() {
    std::vector<Request> requests;
    // time, method, path, username, password, user agent, scheme
    for (const auto& line : fetchtest::readLog("TAG_LOG"))
        if (line.size() >= 5) requests.push_back({line[2], line[3], line[4]});
    return requests;
}

bool allCarry(const std::vector<Request>& requests, const std::string& user,
              const std::string& password) {
    for (const auto& r : requests)
        if (r.user != fetchtest::logEscaped(user) || r.password != fetchtest::logEscaped(password))
            return false;
    return true;
}

HWND waitForOwnWindow(const wchar_t* className, const wchar_t* caption, DWORD timeoutMs) {
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        for (HWND window : visibleWindowsOfThisProcess())
            if (wintest::className(window) == className && wintest::windowText(window) == caption)
                return window;
        if (GetTickCount64() - start > timeoutMs) return nullptr;
        Sleep(20);
    }
}

wintest::MessageBoxView dismissOwnMessageBox(DWORD timeoutMs) {
    const HWND box = waitForOwnWindow(L"#32770", kAppTitle, timeoutMs);
    if (!box) return {};
    wintest::MessageBoxView view = wintest::readMessageBox(box);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    wintest::waitForWindowGone(box);
    return view;
}

HWND waitForSettingsForm(DWORD timeoutMs) {
    return waitForOwnWindow(tavri::win::kFrmsettClassName, tavri::win::kFrmsettCaption, timeoutMs);
}

CredentialsPrompt answerWarning(DWORD warningTimeoutMs) {
    CredentialsPrompt prompt;
    prompt.warning = dismissOwnMessageBox(warningTimeoutMs);
    if (!prompt.warning.hwnd) return prompt;
    prompt.form = waitForSettingsForm();
    if (prompt.form) {
        prompt.user = formUser(prompt.form);
        prompt.password = formPassword(prompt.form);
    }
    return prompt;
}

void typeCredentials(HWND form, const std::string& user, const std::string& password) {
    wintest::setText(wintest::childById(form, tavri::win::frmsett_id::kText1), widen(user));
    wintest::setText(wintest::childById(form, tavri::win::frmsett_id::kText2), widen(password));
}

std::string formUser(HWND form) { return fieldText(form, tavri::win::frmsett_id::kText1); }
std::string formPassword(HWND form) { return fieldText(form, tavri::win::frmsett_id::kText2); }

bool pressCloseBox(HWND form) {
    PostMessageW(form, WM_SYSCOMMAND, SC_CLOSE, 0);
    return wintest::waitForWindowGone(form);
}

bool pressSave(HWND form) {
    wintest::clickButton(wintest::childById(form, tavri::win::frmsett_id::kCommand1));
    return wintest::waitForWindowGone(form);
}

std::vector<HWND> visibleWindowsOfThisProcess() {
    std::vector<HWND> found;
    EnumWindows(collectVisibleOfThisProcess, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::vector<std::string> withUser(const std::function<void()>& call,
                                  const std::function<void()>& user) {
    std::atomic<bool> returned{false};
    std::vector<std::string> swept;
    wintest::Background player([&] {
        user();
        while (!returned) {
            for (HWND window : visibleWindowsOfThisProcess()) {
                const std::wstring cls = wintest::className(window);
                swept.push_back(narrow(cls + L" \"" + wintest::windowText(window) + L"\""));
                if (cls == L"#32770")
                    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                else
                    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
            }
            Sleep(250);
        }
    });
    call();
    returned = true;
    if (!player.join(60000)) swept.push_back("(the user's side did not finish)");
    return swept;
}

OnOwnerThread::OnOwnerThread() : done_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TagTestOnOwnerThread";
    RegisterClassW(&wc);  // fails harmlessly when already registered
    window_.reset(CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  wc.hInstance, nullptr));
    SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

OnOwnerThread::~OnOwnerThread() = default;

void OnOwnerThread::post(std::function<void()> work) {
    work_ = std::move(work);
    ResetEvent(done_.get());
    PostMessageW(window_.get(), kRunWork, 0, 0);
}

bool OnOwnerThread::waitDone(DWORD timeoutMs) {
    return WaitForSingleObject(done_.get(), timeoutMs) == WAIT_OBJECT_0;
}

LRESULT CALLBACK OnOwnerThread::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kRunWork) {
        auto* self = reinterpret_cast<OnOwnerThread*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self && self->work_) self->work_();
        if (self) SetEvent(self->done_.get());
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace tagtest
