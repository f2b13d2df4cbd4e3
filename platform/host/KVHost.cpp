// KVHost: a small audio control panel that loads KVEffect.dll at run time and
// hosts its windows, interactively or from a scripted sequence of steps.

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

namespace {

enum ExitCode { kExitOk = 0, kExitLoadFailed = 1, kExitBadOption = 2, kExitStepFailed = 3, kExitSettingFailed = 4 };

// Layout of the host's client area in pixels at 96 DPI, scaled to the DPI the
// process runs at. The plug-in keeps its own template size, so these only fix
// where each window's top-left corner goes.
constexpr int kMargin = 8;
constexpr int kStripTop = 10;  // the master panel lands 2 pixels higher
constexpr int kStripHeight = 56;
constexpr int kEffectsTop = kStripTop + kStripHeight + kMargin;
constexpr int kInitialWidth = 720, kInitialHeight = 560;
constexpr int kStatusFirstPart = 300;

const wchar_t kClassName[] = L"KVHostWindow";
const wchar_t kTitle[] = L"KVEffect Host";

std::wstring Format(const wchar_t* fmt, ...) {
  wchar_t buf[2048];
  va_list args;
  va_start(args, fmt);
  _vsnwprintf(buf, ARRAYSIZE(buf) - 1, fmt, args);
  va_end(args);
  buf[ARRAYSIZE(buf) - 1] = 0;
  return buf;
}

std::string ToUtf8(const std::wstring& s) {
  int n = WideCharToMultiByte(CP_UTF8, 0, s.c_str(), (int)s.size(), nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, s.c_str(), (int)s.size(), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring HandleText(HWND h) { return Format(L"0x%llx", (unsigned long long)(ULONG_PTR)h); }

std::wstring ErrorText(DWORD err) {
  wchar_t* msg = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, err, 0, (LPWSTR)&msg, 0, nullptr);
  std::wstring text = Format(L"error %lu", err);
  if (msg) {
    std::wstring m = msg;
    LocalFree(msg);
    while (!m.empty() && iswspace(m.back())) m.pop_back();
    if (!m.empty()) text += L" (" + m + L")";
  }
  return text;
}

std::wstring Trim(const std::wstring& s) {
  size_t b = s.find_first_not_of(L" \t\r\n"), e = s.find_last_not_of(L" \t\r\n");
  return b == std::wstring::npos ? L"" : s.substr(b, e - b + 1);
}

// ---------------------------------------------------------------------------
// Output: the step log goes to stdout and the --log file; errors go to stderr
// in scripted mode and to a message box when someone is at the keyboard.

struct Output {
  HANDLE hOut = nullptr, hErr = nullptr;
  HANDLE hLog = INVALID_HANDLE_VALUE;
  bool bInteractive = true;

  void Init() {
    hOut = GetStdHandle(STD_OUTPUT_HANDLE);
    hErr = GetStdHandle(STD_ERROR_HANDLE);
    // A GUI program started from a console gets no standard handles of its own.
    if ((!hOut || !hErr) && AttachConsole(ATTACH_PARENT_PROCESS)) {
      HANDLE con = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
      if (!hOut) hOut = con;
      if (!hErr) hErr = con;
    }
  }
  static void Write(HANDLE h, const std::string& bytes) {
    DWORD written;
    if (h && h != INVALID_HANDLE_VALUE) WriteFile(h, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
  }
  bool OpenLog(const std::wstring& path) {
    hLog = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    return hLog != INVALID_HANDLE_VALUE;
  }
  void Line(const std::wstring& text) {
    std::string bytes = ToUtf8(text + L"\n");
    Write(hOut, bytes);
    Write(hLog, bytes);
  }
  void Error(const std::wstring& text) {
    std::string bytes = ToUtf8(L"KVHost: " + text + L"\n");
    Write(hErr, bytes);
    Write(hLog, bytes);
    if (bInteractive) MessageBoxW(nullptr, text.c_str(), kTitle, MB_OK | MB_ICONERROR);
  }
};

Output g_out;

// ---------------------------------------------------------------------------
// Machine settings a run may change: what the plug-in reads from the registry
// and the DPI Wine hands a new process. Each is put back when the host exits.
// The original goes to a journal first, so that a host killed half-way is
// undone by the next host that starts.

struct Setting {
  const wchar_t* name;  // the option, and the value's name in the journal
  HKEY hRoot;
  const wchar_t* key;
  const wchar_t* value;
};

const Setting kDpiSetting = {L"dpi", HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels"};
const Setting kVendorSetting = {L"vendor", HKEY_LOCAL_MACHINE, L"Software\\Lumora Tech\\AL Plugin for Orvex",
                                L"VendorID"};
const Setting kLanguageSetting = {L"language", HKEY_LOCAL_MACHINE, L"Software\\Lumora Tech\\AL Plugin for Orvex",
                                  L"ForceLanguageID"};
const Setting kScalingSetting = {L"scaling", HKEY_LOCAL_MACHINE, L"Software\\Halvex\\Audio\\GUI_INFORMATION",
                                 L"CplScalingFactor"};
const Setting* const kSettings[] = {&kDpiSetting, &kVendorSetting, &kLanguageSetting, &kScalingSetting};

const wchar_t kJournalKey[] = L"Software\\KVHost\\Changed";
const REGSAM kView64 = KEY_WOW64_64KEY;  // the plug-in reads the 64-bit view

// Scope-bound registry key.
struct Key {
  HKEY h = nullptr;
  Key() = default;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  ~Key() {
    if (h) RegCloseKey(h);
  }
  bool Open(HKEY root, const std::wstring& path, REGSAM access) {
    return RegOpenKeyExW(root, path.c_str(), 0, access | kView64, &h) == ERROR_SUCCESS;
  }
  bool Create(HKEY root, const std::wstring& path) {
    return RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | kView64, nullptr, &h, nullptr) ==
           ERROR_SUCCESS;
  }
  bool ReadDword(const wchar_t* name, DWORD& out) const {
    DWORD cb = sizeof(out);
    return RegGetValueW(h, nullptr, name, RRF_RT_REG_DWORD, nullptr, &out, &cb) == ERROR_SUCCESS;
  }
};

// What the journal holds per changed setting.
struct Original {
  DWORD dwOwnerPid;  // the host that changed it
  DWORD bHadValue;
  DWORD dwValue;
  DWORD nNewKeys;  // trailing levels of the key path that the host created
};

std::wstring ParentPath(const std::wstring& path) {
  size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? L"" : path.substr(0, slash);
}

bool KeyIsEmpty(HKEY root, const std::wstring& path) {
  Key k;
  DWORD nSubKeys = 0, nValues = 0;
  return k.Open(root, path, KEY_READ) &&
         RegQueryInfoKeyW(k.h, nullptr, nullptr, nullptr, &nSubKeys, nullptr, nullptr, &nValues, nullptr, nullptr,
                          nullptr, nullptr) == ERROR_SUCCESS &&
         nSubKeys == 0 && nValues == 0;
}

// Deletes up to nLevels keys from path upwards, stopping at one that holds anything.
void DeleteEmptyKeys(HKEY root, std::wstring path, DWORD nLevels) {
  for (; nLevels && !path.empty() && KeyIsEmpty(root, path); --nLevels, path = ParentPath(path))
    RegDeleteKeyExW(root, path.c_str(), kView64, 0);
}

bool ReadOriginal(const Setting& s, Original& o) {
  Key journal;
  DWORD type = 0, cb = sizeof(o);
  return journal.Open(HKEY_CURRENT_USER, kJournalKey, KEY_READ) &&
         RegQueryValueExW(journal.h, s.name, nullptr, &type, (BYTE*)&o, &cb) == ERROR_SUCCESS && type == REG_BINARY &&
         cb == sizeof(o);
}

std::wstring ValueText(const Setting& s, DWORD v) {
  return Format(&s == &kVendorSetting ? L"0x%lX" : L"%lu", v);
}

// Sets the value, keeping the first original in the journal. result says
// what was replaced ("set (was absent)") or what went wrong.
bool Override(const Setting& s, DWORD dwValue, std::wstring& result) {
  Original o{};
  if (!ReadOriginal(s, o)) {
    o.dwOwnerPid = GetCurrentProcessId();
    Key now;
    o.bHadValue = now.Open(s.hRoot, s.key, KEY_READ) && now.ReadDword(s.value, o.dwValue);
    for (std::wstring path = s.key; !path.empty() && !Key().Open(s.hRoot, path, KEY_READ); path = ParentPath(path))
      ++o.nNewKeys;
    Key journal;
    if (!journal.Create(HKEY_CURRENT_USER, kJournalKey) ||
        RegSetValueExW(journal.h, s.name, 0, REG_BINARY, (const BYTE*)&o, sizeof(o)) != ERROR_SUCCESS) {
      result = L"cannot keep the original " + std::wstring(s.value) + L" to put it back later";
      return false;
    }
  }
  Key k;
  LSTATUS st = k.Create(s.hRoot, s.key) ? RegSetValueExW(k.h, s.value, 0, REG_DWORD, (const BYTE*)&dwValue, 4)
                                        : (LSTATUS)GetLastError();
  if (st != ERROR_SUCCESS) {
    result = L"cannot set " + std::wstring(s.value) + L": " + ErrorText(st);
    return false;
  }
  result = L"set (was " + (o.bHadValue ? ValueText(s, o.dwValue) : std::wstring(L"absent")) + L")";
  return true;
}

// Puts back what the journal holds for s; an empty result means there was nothing to do.
std::wstring Revert(const Setting& s) {
  Original o{};
  if (!ReadOriginal(s, o)) return L"";
  std::wstring result = L"removed";
  {
    Key k;
    if (o.bHadValue && k.Create(s.hRoot, s.key)) {
      RegSetValueExW(k.h, s.value, 0, REG_DWORD, (const BYTE*)&o.dwValue, 4);
      result = L"back to " + ValueText(s, o.dwValue);
    } else if (!o.bHadValue && k.Open(s.hRoot, s.key, KEY_SET_VALUE)) {
      RegDeleteValueW(k.h, s.value);
    }
  }
  DeleteEmptyKeys(s.hRoot, s.key, o.nNewKeys);
  Key journal;
  // The journal key itself stays: a host and the child it started write to it at the same time.
  if (journal.Open(HKEY_CURRENT_USER, kJournalKey, KEY_SET_VALUE)) RegDeleteValueW(journal.h, s.name);
  return result;
}

bool ProcessRuns(DWORD pid) {
  HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (!h) return false;
  bool bRuns = WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
  CloseHandle(h);
  return bRuns;
}

// Undoes what a host that did not get to exit left behind.
void RevertAbandoned() {
  for (const Setting* s : kSettings) {
    Original o{};
    if (!ReadOriginal(*s, o) || ProcessRuns(o.dwOwnerPid)) continue;
    std::wstring r = Revert(*s);
    g_out.Line(L"revert " + std::wstring(s->name) + L" -> " + r + L" (left by a host that did not exit)");
  }
}

// Puts back every setting this process changed.
void RevertOwn() {
  for (const Setting* s : kSettings) {
    Original o{};
    if (!ReadOriginal(*s, o) || o.dwOwnerPid != GetCurrentProcessId()) continue;
    g_out.Line(L"revert " + std::wstring(s->name) + L" -> " + Revert(*s));
  }
}

std::wstring ExePath() {
  std::wstring exe(32768, L'\0');
  exe.resize(GetModuleFileNameW(nullptr, exe.data(), (DWORD)exe.size()));
  return exe;
}

// The DPI GDI reports for this process's screen, the one the plug-in's window DCs get.
int ScreenDpi() {
  HDC hdc = GetDC(nullptr);
  int dpi = GetDeviceCaps(hdc, LOGPIXELSX);
  ReleaseDC(nullptr, hdc);
  return dpi;
}

// Wine reads the system DPI once, as a process starts: "LogPixels" under
// HKCU\Control Panel\Desktop, else under the current hardware profile's
// Software\Fonts. Nothing sets it per process; the awareness calls only choose
// between that value and 96. So the host sets the value, starts itself again,
// and puts the value back once the child has read it. Any other process of the
// prefix that starts in that moment gets the DPI too.
const wchar_t kStartedEventVar[] = L"KVHOST_STARTED_EVENT";

// In a host started this way: tells the parent it may put the value back.
// Returns whether this process is such a child.
bool SignalStarted() {
  wchar_t text[32];
  DWORD n = GetEnvironmentVariableW(kStartedEventVar, text, ARRAYSIZE(text));
  if (!n || n >= ARRAYSIZE(text)) return false;
  SetEnvironmentVariableW(kStartedEventVar, nullptr);  // nothing the plug-in starts inherits it
  HANDLE started = (HANDLE)(ULONG_PTR)wcstoull(text, nullptr, 10);
  SetEvent(started);
  CloseHandle(started);
  return true;
}

// Runs this host again at dpi and returns the child's exit code.
int RelaunchAtDpi(int dpi) {
  SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
  HANDLE started = CreateEventW(&sa, TRUE, FALSE, nullptr);
  SetEnvironmentVariableW(kStartedEventVar, Format(L"%llu", (unsigned long long)(ULONG_PTR)started).c_str());
  std::wstring result;
  if (!Override(kDpiSetting, (DWORD)dpi, result)) {
    g_out.Error(result);
    Revert(kDpiSetting);
    CloseHandle(started);
    return kExitSettingFailed;
  }
  std::wstring cmd = GetCommandLineW();
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = g_out.hOut;
  si.hStdError = g_out.hErr;
  PROCESS_INFORMATION pi{};
  bool bStarted = CreateProcessW(ExePath().c_str(), cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  DWORD err = GetLastError();
  if (bStarted) {
    // A child that dies before it signals must not leave the DPI behind either.
    HANDLE either[] = {started, pi.hProcess};
    WaitForMultipleObjects(2, either, FALSE, 30000);
  }
  Revert(kDpiSetting);
  CloseHandle(started);
  if (!bStarted) {
    g_out.Error(L"cannot start the host again at " + Format(L"%d", dpi) + L" DPI: " + ErrorText(err));
    return kExitSettingFailed;
  }
  CloseHandle(pi.hThread);
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = kExitSettingFailed;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  return (int)code;
}

// ---------------------------------------------------------------------------
// The plug-in, bound by name at run time.

using InitFn = HWND(WINAPI*)(HWND, int, const RECT*, int);
using UninitFn = void(WINAPI*)(HWND);
using RestoreFn = void(WINAPI*)(DWORD);

struct Plugin {
  HMODULE hModule = nullptr;
  InitFn pInit = nullptr;
  InitFn pInitEx = nullptr;
  UninitFn pUninit = nullptr;
  RestoreFn pRestore = nullptr;

  // Returns an empty string on success, else what went wrong.
  std::wstring Load(const std::wstring& path) {
    std::wstring full(32768, L'\0');
    DWORD n = GetFullPathNameW(path.c_str(), (DWORD)full.size(), full.data(), nullptr);
    full = n && n < full.size() ? full.substr(0, n) : path;
    // The altered search path lets the plug-in find its companion DLLs in its own folder.
    hModule = LoadLibraryExW(full.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!hModule) return L"cannot load plug-in " + full + L": " + ErrorText(GetLastError());
    pInit = (InitFn)GetProcAddress(hModule, "InitPlugin");
    pInitEx = (InitFn)GetProcAddress(hModule, "InitPluginEx");
    pUninit = (UninitFn)GetProcAddress(hModule, "UninitPlugin");
    pRestore = (RestoreFn)GetProcAddress(hModule, "RestoreDefault");
    std::wstring missing;
    if (!pInit) missing += L" InitPlugin";
    if (!pInitEx) missing += L" InitPluginEx";
    if (!pUninit) missing += L" UninitPlugin";
    if (!pRestore) missing += L" RestoreDefault";
    if (missing.empty()) return {};
    FreeLibrary(hModule);
    hModule = nullptr;
    return L"plug-in " + full + L" lacks the export(s):" + missing;
  }
};

// ---------------------------------------------------------------------------
// Screenshots.

bool WriteBmp(const std::wstring& path, const BITMAPINFOHEADER& bih, const void* bits, std::wstring& error) {
  DWORD size = ((DWORD)bih.biWidth * 3 + 3) / 4 * 4 * (DWORD)bih.biHeight;
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;  // "BM"
  fh.bfOffBits = sizeof(fh) + sizeof(bih);
  fh.bfSize = fh.bfOffBits + size;
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    error = L"cannot write " + path + L": " + ErrorText(GetLastError());
    return false;
  }
  DWORD n1 = 0, n2 = 0, n3 = 0;
  bool ok = WriteFile(f, &fh, sizeof(fh), &n1, nullptr) && WriteFile(f, &bih, sizeof(bih), &n2, nullptr) &&
            WriteFile(f, bits, size, &n3, nullptr) && n1 + n2 + n3 == fh.bfSize;
  if (!ok) error = L"cannot write " + path + L": " + ErrorText(GetLastError());
  CloseHandle(f);
  return ok;
}

// Captures hWnd's client area, child windows included, to a 24-bit BMP.
// Under Wine, PrintWindow paints only the parent and leaves every child out,
// while a copy from the window DC reads back the composed window surface, so
// the copy comes first. It sees only what lies on the screen.
bool CaptureClient(HWND hWnd, const std::wstring& path, std::wstring& result) {
  RedrawWindow(hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  RECT rc;
  GetClientRect(hWnd, &rc);
  if (rc.right <= 0 || rc.bottom <= 0) {
    result = L"error: empty client area";
    return false;
  }
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = rc.right;
  bi.bmiHeader.biHeight = rc.bottom;  // bottom-up, as BMP files store rows
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HDC hdcWnd = GetDC(hWnd);
  HBITMAP bmp = CreateDIBSection(hdcWnd, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC hdcMem = CreateCompatibleDC(hdcWnd);
  HGDIOBJ old = SelectObject(hdcMem, bmp);
  const wchar_t* how = nullptr;
  if (bmp && BitBlt(hdcMem, 0, 0, rc.right, rc.bottom, hdcWnd, 0, 0, SRCCOPY)) how = L"bitblt";
  else if (bmp && PrintWindow(hWnd, hdcMem, PW_CLIENTONLY)) how = L"printwindow";
  GdiFlush();
  std::wstring error = L"cannot capture the window";
  bool ok = how && WriteBmp(path, bi.bmiHeader, bits, error);
  result = ok ? Format(L"%ldx%ld %ls", rc.right, rc.bottom, how) : L"error: " + error;
  SelectObject(hdcMem, old);
  DeleteDC(hdcMem);
  if (bmp) DeleteObject(bmp);
  ReleaseDC(hWnd, hdcWnd);
  return ok;
}

// ---------------------------------------------------------------------------
// The host window and what the steps do to it.

struct Host {
  Plugin plugin;
  HWND hWnd = nullptr;
  HWND hStatus = nullptr;
  int dpi = 96;
  // Per window type: the handle the plug-in returned (null when it returned
  // null). A type without an entry has never been opened or has been closed.
  std::map<int, HWND> windows;

  int Px(int px96) const { return MulDiv(px96, dpi, 96); }
  int StatusHeight() const {
    RECT rc{};
    if (hStatus) GetWindowRect(hStatus, &rc);
    return rc.bottom - rc.top;
  }
  RECT DefaultRect(int type) const {
    RECT rc;
    GetClientRect(hWnd, &rc);
    int margin = Px(kMargin);
    if (type == 0) return {margin, Px(kStripTop), rc.right - margin, Px(kStripTop + kStripHeight)};
    return {margin, Px(kEffectsTop), rc.right - margin, rc.bottom - StatusHeight() - margin};
  }
  RECT ClientRectOf(HWND h) const {
    RECT rc;
    GetWindowRect(h, &rc);
    MapWindowPoints(HWND_DESKTOP, hWnd, (POINT*)&rc, 2);
    return rc;
  }

  // What a test wants to know about a returned window, in one line.
  std::wstring Describe(HWND h) const {
    if (!h) return L"null";
    std::wstring s = L"hwnd " + HandleText(h);
    if (!IsWindow(h)) return s + L" (not a window)";
    RECT rc = ClientRectOf(h);
    s += Format(L" at %ld,%ld size %ldx%ld", rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
    if (GetParent(h) != hWnd) s += L" (not a child of the host)";
    if (!IsWindowVisible(h)) s += L" (hidden)";
    return s;
  }

  std::wstring Open(int type, const RECT* prc, bool bEx) {
    RECT rc = prc ? *prc : DefaultRect(type);
    HWND h = (bEx ? plugin.pInitEx : plugin.pInit)(hWnd, type, &rc, 0);
    windows[type] = h;
    FitToChildren();
    UpdateStatus();
    return Describe(h);
  }

  std::wstring Close(int type) {
    auto it = windows.find(type);
    if (it == windows.end()) return L"not open";
    HWND h = it->second;
    windows.erase(it);
    UpdateStatus();
    if (!h) return L"not open (it was null)";
    plugin.pUninit(h);
    return (IsWindow(h) ? L"window remains " : L"destroyed ") + HandleText(h);
  }

  std::wstring Reopen(int type) {
    std::wstring closed = Close(type);
    return Open(type, nullptr, false) + L" (close: " + closed + L")";
  }

  void CloseAll() {
    std::erase_if(windows, [](const auto& w) { return w.second == nullptr; });
    // Effects window first, then the strip, then any other type a script opened.
    for (int type : {1, 0})
      if (windows.count(type)) g_out.Line(Format(L"close %d -> ", type) + Close(type));
    while (!windows.empty()) {
      int type = windows.begin()->first;
      g_out.Line(Format(L"close %d -> ", type) + Close(type));
    }
  }

  // The plug-in's windows keep their template size, so the host grows to show them whole.
  void FitToChildren() {
    RECT client;
    GetClientRect(hWnd, &client);
    LONG needW = client.right, needH = client.bottom;
    for (const auto& [type, h] : windows) {
      if (!h || !IsWindow(h)) continue;
      RECT rc = ClientRectOf(h);
      needW = std::max(needW, rc.right + Px(kMargin));
      needH = std::max(needH, rc.bottom + Px(kMargin) + StatusHeight());
    }
    if (needW == client.right && needH == client.bottom) return;
    RECT now;
    GetWindowRect(hWnd, &now);
    RECT rc = OnScreen(now.left, now.top, needW, needH, GetWindowLongW(hWnd, GWL_STYLE),
                       GetWindowLongW(hWnd, GWL_EXSTYLE));
    SetWindowPos(hWnd, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }

  // The outer rectangle for a client area of w by h at x,y, moved (and at worst
  // cut) to lie on the work area: screenshots read the screen, so whatever
  // hangs off it would come out black.
  static RECT OnScreen(int x, int y, int w, int h, DWORD style, DWORD exStyle) {
    RECT outer{0, 0, w, h}, work;
    AdjustWindowRectEx(&outer, style, TRUE, exStyle);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int ow = std::min<int>(outer.right - outer.left, work.right - work.left);
    int oh = std::min<int>(outer.bottom - outer.top, work.bottom - work.top);
    x = std::max<int>(work.left, std::min<int>(x, work.right - ow));
    y = std::max<int>(work.top, std::min<int>(y, work.bottom - oh));
    return {x, y, x + ow, y + oh};
  }

  // Handles stay out of the status line so that screenshots repeat exactly.
  void UpdateStatus() {
    if (!hStatus) return;
    const wchar_t* names[] = {L"Master panel", L"Effects window"};
    for (int type : {1, 0}) {
      auto it = windows.find(type);
      const wchar_t* state = it == windows.end() ? L"closed" : it->second ? L"open" : L"not available";
      std::wstring text = std::wstring(names[type]) + L": " + state;
      SendMessageW(hStatus, SB_SETTEXTW, type == 1 ? 0 : 1, (LPARAM)text.c_str());
    }
  }
};

Host g_host;

// ---------------------------------------------------------------------------
// Steps. Each has a name (--name on the command line, name in a script file),
// an argument parser and an action; a new step is a new row of kSteps.

struct Step;
using ParseFn = bool (*)(const std::wstring& arg, Step& step);
using RunFn = bool (*)(const Step& step, std::wstring& result);  // false: the step failed

struct StepDef {
  const wchar_t* name;
  const wchar_t* argHint;  // null: the step takes no argument
  ParseFn parse;
  RunFn run;
};

struct Step {
  const StepDef* def = nullptr;
  std::wstring arg;
  long long value = 0;
  bool bHasRect = false;
  RECT rc{};
};

// Where the script stands; steps run one at a time from the message loop.
struct Runner {
  std::vector<Step> steps;
  size_t next = 0;
  DWORD dwResumeAt = 0;   // tick count before which the next step waits
  bool bStopped = false;  // set by exit: later steps are skipped
  int exitCode = kExitOk;
};

Runner g_runner;

// Decimal, or hexadecimal with 0x (never octal: "010" is ten).
bool ParseInt(const std::wstring& text, long long lo, long long hi, long long& out) {
  std::wstring s = Trim(text);
  bool bNeg = !s.empty() && s[0] == L'-';
  size_t digits = bNeg ? 1 : 0;
  int base = s.compare(digits, 2, L"0x") == 0 || s.compare(digits, 2, L"0X") == 0 ? 16 : 10;
  if (base == 16) digits += 2;
  if (digits >= s.size() || !iswxdigit(s[digits])) return false;
  wchar_t* end = nullptr;
  errno = 0;
  unsigned long long magnitude = std::wcstoull(s.c_str() + digits, &end, base);
  if (errno || *end || magnitude > (unsigned long long)LLONG_MAX) return false;
  out = bNeg ? -(long long)magnitude : (long long)magnitude;
  return out >= lo && out <= hi;
}

// TYPE, or TYPE@LEFT,TOP,RIGHT,BOTTOM to hand the plug-in a rectangle of one's own.
bool ParseOpen(const std::wstring& arg, Step& step) {
  size_t at = arg.find(L'@');
  if (!ParseInt(arg.substr(0, at), INT_MIN, INT_MAX, step.value)) return false;
  if (at == std::wstring::npos) return true;
  long long edge[4];
  std::wstring rest = arg.substr(at + 1);
  for (int i = 0; i < 4; ++i) {
    size_t comma = rest.find(L',');
    if ((comma == std::wstring::npos) != (i == 3)) return false;
    if (!ParseInt(rest.substr(0, comma), INT_MIN, INT_MAX, edge[i])) return false;
    rest.erase(0, comma == std::wstring::npos ? rest.size() : comma + 1);
  }
  step.bHasRect = true;
  step.rc = {(LONG)edge[0], (LONG)edge[1], (LONG)edge[2], (LONG)edge[3]};
  return true;
}
bool ParseType(const std::wstring& arg, Step& step) { return ParseInt(arg, INT_MIN, INT_MAX, step.value); }
bool ParseDword(const std::wstring& arg, Step& step) { return ParseInt(arg, 0, 0xFFFFFFFFll, step.value); }
bool ParsePath(const std::wstring& arg, Step& step) { return !Trim(arg).empty(); }
bool ParsePercent(const std::wstring& arg, Step& step) { return ParseInt(arg, 1, 1000, step.value); }

bool RunOpen(const Step& s, std::wstring& r) {
  r = g_host.Open((int)s.value, s.bHasRect ? &s.rc : nullptr, false);
  return true;
}
bool RunOpenEx(const Step& s, std::wstring& r) {
  r = g_host.Open((int)s.value, s.bHasRect ? &s.rc : nullptr, true);
  return true;
}
bool RunClose(const Step& s, std::wstring& r) {
  r = g_host.Close((int)s.value);
  return true;
}
bool RunReopen(const Step& s, std::wstring& r) {
  r = g_host.Reopen((int)s.value);
  return true;
}
bool RunRestore(const Step& s, std::wstring& r) {
  g_host.plugin.pRestore((DWORD)s.value);
  r = L"done";
  return true;
}
bool RunWait(const Step& s, std::wstring& r) {
  g_runner.dwResumeAt = GetTickCount() + (DWORD)s.value;
  r = L"pumping";
  return true;
}
bool RunShot(const Step& s, std::wstring& r) { return CaptureClient(g_host.hWnd, s.arg, r); }
// As a user would: the first visible, enabled button of that id in the plug-in's windows.
bool RunClick(const Step& s, std::wstring& r) {
  struct Find { int id; HWND hFound; } find{(int)s.value, nullptr};
  EnumChildWindows(g_host.hWnd, [](HWND h, LPARAM lp) -> BOOL {
    auto* f = reinterpret_cast<Find*>(lp);
    if (GetDlgCtrlID(h) != f->id || !IsWindowVisible(h) || !IsWindowEnabled(h)) return TRUE;
    f->hFound = h;
    return FALSE;
  }, reinterpret_cast<LPARAM>(&find));
  if (!find.hFound) {
    r = L"no such button";
    return false;
  }
  SendMessageW(find.hFound, BM_CLICK, 0, 0);
  r = L"clicked";
  return true;
}
// The plug-in reads the factor whenever it creates a window, so it applies from the next open on.
bool RunScaling(const Step& s, std::wstring& r) { return Override(kScalingSetting, (DWORD)s.value, r); }
bool RunExit(const Step& s, std::wstring& r) {
  g_runner.bStopped = true;
  PostMessageW(g_host.hWnd, WM_CLOSE, 0, 0);
  r = L"closing";
  return true;
}

const StepDef kSteps[] = {
    {L"open", L"TYPE[@L,T,R,B]", ParseOpen, RunOpen},
    {L"open-ex", L"TYPE[@L,T,R,B]", ParseOpen, RunOpenEx},
    {L"close", L"TYPE", ParseType, RunClose},
    {L"reopen", L"TYPE", ParseType, RunReopen},
    {L"restore", L"SELECTOR", ParseDword, RunRestore},
    {L"wait", L"MS", ParseDword, RunWait},
    {L"shot", L"FILE.bmp", ParsePath, RunShot},
    {L"click", L"ID", ParseDword, RunClick},
    {L"scaling", L"PERCENT", ParsePercent, RunScaling},
    {L"exit", nullptr, nullptr, RunExit},
};

const StepDef* FindStep(const std::wstring& name) {
  for (const StepDef& d : kSteps)
    if (name == d.name) return &d;
  return nullptr;
}

// Builds a step from its name and value (null: none given). where is empty
// for the command line, else "FILE:LINE: " of a script; it shapes the errors.
bool MakeStep(const std::wstring& name, const std::wstring* value, const std::wstring& where, Step& step) {
  std::wstring what = where.empty() ? L"option --" + name : L"step '" + name + L"'";
  step.def = FindStep(name);
  if (!step.def) {
    g_out.Error(where + L"unknown " + what + L" (see --help)");
    return false;
  }
  if (!step.def->argHint) {
    if (value) g_out.Error(where + what + L" takes no value");
    return !value;
  }
  if (!value) {
    g_out.Error(where + what + L" needs a value: " + step.def->argHint);
    return false;
  }
  step.arg = *value;
  if (step.def->parse(step.arg, step)) return true;
  g_out.Error(where + L"bad value '" + step.arg + L"' for " + what + L" (expected " + step.def->argHint + L")");
  return false;
}

// Runs one step and logs "name value -> result".
void RunStep(const Step& s) {
  std::wstring result;
  if (!s.def->run(s, result)) g_runner.exitCode = kExitStepFailed;
  g_out.Line(std::wstring(s.def->name) + (s.def->argHint ? L" " + s.arg : L"") + L" -> " + result);
}

std::wstring Usage() {
  std::wstring u =
      L"usage: KVHost [--plugin DLL] [--log FILE] [--script FILE] [--dpi N] [--vendor ID]\n"
      L"              [--language ID] [STEP...]\n"
      L"  --plugin DLL   plug-in to load (default: KVEffect.dll beside KVHost.exe)\n"
      L"  --log FILE     append one line per step to FILE (UTF-8) as well as to stdout\n"
      L"  --script FILE  take steps from FILE, one a line (\"open 1\"); # starts a comment\n"
      L"  --dpi N        run at N pixels per inch (72 to 480). Wine gives a process the prefix's\n"
      L"                 DPI as it starts, so the host sets that, starts itself again and puts\n"
      L"                 it back once the new process runs\n"
      L"  --vendor ID    the edition the plug-in reads as it loads (VendorID, e.g. 0x111D)\n"
      L"  --language ID  the language the plug-in is forced to as it loads (ForceLanguageID,\n"
      L"                 e.g. 1031 for German)\n"
      L"steps, run in order with messages pumped in between:\n";
  for (const StepDef& d : kSteps)
    u += Format(L"  --%ls%ls%ls\n", d.name, d.argHint ? L" " : L"", d.argHint ? d.argHint : L"");
  return u + L"scaling sets the host's scaling factor (CplScalingFactor), which the plug-in reads\n"
             L"at each open. Whatever the host sets is put back when it exits.\n"
             L"Without --exit the host stays open for interactive use after the last step.\n";
}

bool ReadScript(const std::wstring& path, std::vector<Step>& steps) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    g_out.Error(L"cannot read script " + path + L": " + ErrorText(GetLastError()));
    return false;
  }
  std::string bytes;
  char buf[4096];
  DWORD n;
  while (ReadFile(f, buf, sizeof(buf), &n, nullptr) && n) bytes.append(buf, n);
  CloseHandle(f);
  if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) bytes.erase(0, 3);
  std::wstring text(MultiByteToWideChar(CP_UTF8, 0, bytes.data(), (int)bytes.size(), nullptr, 0), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), (int)bytes.size(), text.data(), (int)text.size());
  int lineNo = 0;
  for (size_t pos = 0; pos < text.size();) {
    size_t eol = std::min(text.find(L'\n', pos), text.size());
    std::wstring line = Trim(text.substr(pos, eol - pos));
    pos = eol + 1;
    ++lineNo;
    if (line.empty() || line[0] == L'#') continue;
    size_t sp = line.find_first_of(L" \t");
    std::wstring name = line.substr(0, sp), value = sp == std::wstring::npos ? L"" : Trim(line.substr(sp));
    if (name.rfind(L"--", 0) == 0) name.erase(0, 2);
    Step step;
    if (!MakeStep(name, sp == std::wstring::npos ? nullptr : &value, Format(L"%ls:%d: ", path.c_str(), lineNo), step))
      return false;
    steps.push_back(step);
  }
  return true;
}

// Options that hold for the whole process; steps come after the plug-in has loaded.
struct Options {
  std::wstring plugin, log;
  long long dpi = 0, vendor = 0, language = 0;  // 0: leave as the machine has it
  bool bHelp = false;
};

bool IsProcessOption(const std::wstring& name) {
  return name == L"plugin" || name == L"log" || name == L"script" || name == L"dpi" || name == L"vendor" ||
         name == L"language";
}

// Returns false after reporting a malformed command line.
bool ParseCommandLine(int argc, wchar_t** argv, Options& opt, std::vector<Step>& steps) {
  for (int i = 1; i < argc; ++i) {
    std::wstring arg = argv[i];
    if (arg.rfind(L"--", 0) != 0) {
      g_out.Error(L"unexpected argument '" + arg + L"' (options start with --; see --help)");
      return false;
    }
    std::wstring name = arg.substr(2);
    if (name == L"help") {
      opt.bHelp = true;
      continue;
    }
    if (IsProcessOption(name)) {
      if (i + 1 >= argc) {
        g_out.Error(L"option --" + name + L" needs a value");
        return false;
      }
      std::wstring value = argv[++i];
      if (name == L"plugin") opt.plugin = value;
      else if (name == L"log") opt.log = value;
      else if (name == L"script") {
        if (!ReadScript(value, steps)) return false;
      } else if (name == L"language") {
        if (!ParseInt(value, 1, 0xFFFF, opt.language)) {
          g_out.Error(L"bad value '" + value + L"' for option --language (expected a language id, e.g. 1031)");
          return false;
        }
      } else {
        bool bDpi = name == L"dpi";
        if (!(bDpi ? ParseInt(value, 72, 480, opt.dpi) : ParseInt(value, 1, 0xFFFF, opt.vendor))) {
          g_out.Error(L"bad value '" + value + L"' for option --" + name +
                      (bDpi ? L" (expected 72 to 480)" : L" (expected a vendor id, 0x1 to 0xFFFF)"));
          return false;
        }
      }
      continue;
    }
    const StepDef* def = FindStep(name);
    std::wstring value = def && def->argHint && i + 1 < argc ? argv[++i] : L"";
    Step step;
    if (!MakeStep(name, def && def->argHint && !value.empty() ? &value : nullptr, L"", step)) return false;
    steps.push_back(step);
  }
  return true;
}

// ---------------------------------------------------------------------------
// The window. Its menu runs the same steps a script would.

struct MenuItem {
  const wchar_t* label;  // null: a separator
  const wchar_t* step;
  const wchar_t* value;
};

const MenuItem kMenu[] = {
    {L"Open &effects window", L"open", L"1"},      {L"Open &master panel", L"open", L"0"},
    {L"&Close effects window", L"close", L"1"},    {L"C&lose master panel", L"close", L"0"},
    {L"Re-open e&ffects window", L"reopen", L"1"}, {L"Re-open m&aster panel", L"reopen", L"0"},
    {nullptr, nullptr, nullptr},                   {L"&Restore defaults", L"restore", L"0"},
    {nullptr, nullptr, nullptr},                   {L"E&xit", L"exit", nullptr},
};
// Command ids clear of IDOK and IDCANCEL, which IsDialogMessage sends for Enter and Escape.
constexpr UINT kFirstCommand = 100;

HMENU BuildMenu() {
  HMENU bar = CreateMenu(), sub = CreatePopupMenu();
  for (UINT i = 0; i < ARRAYSIZE(kMenu); ++i)
    if (kMenu[i].label) AppendMenuW(sub, MF_STRING, kFirstCommand + i, kMenu[i].label);
    else AppendMenuW(sub, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(bar, MF_POPUP, (UINT_PTR)sub, L"&Plug-in");
  return bar;
}

void OnCommand(UINT id) {
  if (id < kFirstCommand || id >= kFirstCommand + ARRAYSIZE(kMenu) || !kMenu[id - kFirstCommand].step) return;
  const MenuItem& item = kMenu[id - kFirstCommand];
  std::wstring value = item.value ? item.value : L"";
  Step step;
  if (MakeStep(item.step, item.value ? &value : nullptr, L"menu: ", step)) RunStep(step);
}

LRESULT CALLBACK WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE: {
      g_host.hWnd = hWnd;
      g_host.hStatus = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0,
                                       hWnd, nullptr, nullptr, nullptr);
      int parts[] = {g_host.Px(kStatusFirstPart), -1};
      SendMessageW(g_host.hStatus, SB_SETPARTS, 2, (LPARAM)parts);
      g_host.UpdateStatus();
      return 0;
    }
    case WM_SIZE:
      SendMessageW(g_host.hStatus, WM_SIZE, 0, 0);
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam));
      return 0;
    case WM_CLOSE:
      // The plug-in takes its own windows down before ours goes.
      g_host.CloseAll();
      DestroyWindow(hWnd);
      return 0;
    case WM_DESTROY:
      g_host.hWnd = nullptr;
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(hWnd, msg, wParam, lParam);
}

// Runs the message loop, and the next step from it whenever the queue has
// drained (posted messages, paints and due timers all handled) and no wait is
// pending, so whatever the plug-in posted during one step runs before the next.
void RunLoop() {
  Runner& r = g_runner;
  r.dwResumeAt = GetTickCount();
  for (;;) {
    MSG msg;
    // A plug-in that keeps posting to itself must not stall the script forever.
    for (int n = 0; n < 10000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
      if (msg.message == WM_QUIT) return;
      if (!g_host.hWnd || !IsDialogMessageW(g_host.hWnd, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
    DWORD timeout = INFINITE;
    if (r.next < r.steps.size() && !r.bStopped && g_host.hWnd) {
      LONG due = (LONG)(r.dwResumeAt - GetTickCount());
      if (due <= 0) {
        RunStep(r.steps[r.next++]);
        continue;
      }
      timeout = (DWORD)due;
    }
    MsgWaitForMultipleObjectsEx(0, nullptr, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

std::wstring DefaultPluginPath() {
  std::wstring exe = ExePath();
  return exe.substr(0, exe.find_last_of(L"\\/") + 1) + L"KVEffect.dll";
}

// Everything but putting the machine's settings back.
int Run(HINSTANCE hInst, int nShow) {
  // Errors go to a message box only when nobody scripted this run.
  for (int i = 1; i < __argc; ++i) {
    std::wstring arg = __wargv[i];
    if (arg == L"--plugin" || arg == L"--dpi" || arg == L"--vendor" || arg == L"--language") ++i;
    else g_out.bInteractive = false;
  }

  Options opt;
  if (!ParseCommandLine(__argc, __wargv, opt, g_runner.steps)) return kExitBadOption;
  if (opt.bHelp) {
    Output::Write(g_out.hOut, ToUtf8(Usage()));
    return kExitOk;
  }
  if (!opt.log.empty() && !g_out.OpenLog(opt.log)) {
    g_out.Error(L"cannot open log " + opt.log + L": " + ErrorText(GetLastError()));
    return kExitBadOption;
  }
  RevertAbandoned();

  // The plug-in picks its skin by the DPI its windows' DCs report, so the
  // system must not scale the host behind its back.
  SetProcessDPIAware();
  g_host.dpi = ScreenDpi();
  bool bRelaunched = SignalStarted();
  if (opt.dpi && opt.dpi != g_host.dpi) {
    if (!bRelaunched) return RelaunchAtDpi((int)opt.dpi);
    g_out.Error(Format(L"asked for %lld DPI, but Wine started the host at %d", opt.dpi, g_host.dpi));
    return kExitSettingFailed;
  }
  g_out.Line((opt.dpi ? Format(L"dpi %lld -> ", opt.dpi) : std::wstring(L"dpi -> ")) + Format(L"%d", g_host.dpi) +
             (bRelaunched ? L" (relaunched)" : L""));
  // What the plug-in reads as it loads: set before loading it.
  const std::pair<const Setting*, long long> loadSettings[] = {{&kVendorSetting, opt.vendor},
                                                               {&kLanguageSetting, opt.language}};
  for (const auto& [pSetting, value] : loadSettings) {
    if (!value) continue;
    std::wstring result;
    if (!Override(*pSetting, (DWORD)value, result)) {
      g_out.Error(result);
      return kExitSettingFailed;
    }
    g_out.Line(std::wstring(pSetting->name) + L" " + ValueText(*pSetting, (DWORD)value) + L" -> " + result);
  }

  std::wstring path = opt.plugin.empty() ? DefaultPluginPath() : opt.plugin;
  std::wstring error = g_host.plugin.Load(path);
  if (!error.empty()) {
    g_out.Error(error);
    return kExitLoadFailed;
  }
  g_out.Line(L"load " + path + L" -> ok");

  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = WndProc;
  wc.hInstance = hInst;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);
  DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  RECT rc = Host::OnScreen(40, 40, g_host.Px(kInitialWidth), g_host.Px(kInitialHeight), style, WS_EX_CONTROLPARENT);
  HWND hWnd = CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, kTitle, style, rc.left, rc.top, rc.right - rc.left,
                              rc.bottom - rc.top, nullptr, BuildMenu(), hInst, nullptr);
  if (!hWnd) {
    g_out.Error(L"cannot create the host window: " + ErrorText(GetLastError()));
    g_runner.exitCode = kExitStepFailed;
  } else {
    ShowWindow(hWnd, g_runner.steps.empty() ? nShow : SW_SHOWNORMAL);
    UpdateWindow(hWnd);
    RunLoop();
  }
  // Only now, with every plug-in window gone, may its code leave the process.
  FreeLibrary(g_host.plugin.hModule);
  g_out.Line(L"unload -> ok");
  return g_runner.exitCode;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE hInst, HINSTANCE, PWSTR, int nShow) {
  g_out.Init();
  int code = Run(hInst, nShow);
  RevertOwn();
  if (g_out.hLog != INVALID_HANDLE_VALUE) CloseHandle(g_out.hLog);
  return code;
}
