// driver.exe: acts on another program's windows the way a user would, for
// the end-to-end tests. One subcommand per run; results go to stdout as
// UTF-8, one item per line. Exit code 0 on success, 1 on failure or timeout
// (with a message on stderr), 2 on a usage error, 3 when a menu of the other
// program could not be read at all.
// See tests/e2e/README.md for the subcommands.
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------- output

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                       nullptr, nullptr);
  if (size <= 0) return {};
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
  return out;
}

void WriteTo(DWORD which, const std::wstring& text) {
  HANDLE handle = GetStdHandle(which);
  DWORD mode = 0;
  DWORD written = 0;
  if (GetConsoleMode(handle, &mode)) {
    WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  } else {
    const std::string bytes = ToUtf8(text);
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }
}

void Print(const std::wstring& line) { WriteTo(STD_OUTPUT_HANDLE, line + L"\n"); }

[[noreturn]] void Fail(const std::wstring& message, int code = 1) {
  WriteTo(STD_ERROR_HANDLE, L"driver: " + message + L"\n");
  ExitProcess(static_cast<UINT>(code));
}

std::wstring Hex(uintptr_t value) {
  static const wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring out;
  do {
    out.insert(out.begin(), kDigits[value & 15]);
    value >>= 4;
  } while (value != 0);
  return L"0x" + out;
}

std::wstring Hex(HWND window) { return Hex(reinterpret_cast<uintptr_t>(window)); }

// Tabs and line breaks inside a text would break the one-line-per-item
// output, so they are written as \t, \n, \r (and a backslash as \\).
std::wstring Escape(const std::wstring& text) {
  std::wstring out;
  for (const wchar_t c : text) {
    switch (c) {
      case L'\\': out += L"\\\\"; break;
      case L'\t': out += L"\\t"; break;
      case L'\n': out += L"\\n"; break;
      case L'\r': out += L"\\r"; break;
      default: out += c;
    }
  }
  return out;
}

// ---------------------------------------------------------------- options

struct Options {
  std::vector<std::wstring> args;  // positional arguments after the subcommand
  DWORD timeout = 5000;
  std::wstring windowClass;
  std::wstring title;    // --title, for message boxes
  std::wstring control;  // --control, for tab-select
  bool contains = false;
  bool selected = false;
  bool header = false;
  bool right = false;
  bool twice = false;
  bool mouse = false;
  bool add = false;
};

bool ParseNumber(const std::wstring& text, long long* value) {
  if (text.empty()) return false;
  wchar_t* end = nullptr;
  const bool hex = text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X');
  const long long v = std::wcstoll(text.c_str(), &end, hex ? 16 : 10);
  if (end == nullptr || *end != L'\0') return false;
  *value = v;
  return true;
}

int NumberArg(const std::wstring& text, const wchar_t* what) {
  long long v = 0;
  if (!ParseNumber(text, &v) || v < 0 || v > 0x7fffffff) Fail(std::wstring(L"bad ") + what + L": " + text, 2);
  return static_cast<int>(v);
}

// ---------------------------------------------------------------- timing

class Deadline {
 public:
  explicit Deadline(DWORD ms) : start_(GetTickCount()), ms_(ms) {}
  bool Passed() const { return GetTickCount() - start_ >= ms_; }

 private:
  DWORD start_;
  DWORD ms_;
};

// ---------------------------------------------------------------- messages

// Every message to the other program has a bound, so a hung target fails
// the step instead of hanging the test.
LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, 5000, &result)) {
    Fail(L"window " + Hex(window) + L" did not answer message " + Hex(message) + L" (error " +
         std::to_wstring(GetLastError()) + L")");
  }
  return static_cast<LRESULT>(result);
}

// For messages that act like a user: their handler may open a modal dialog
// or menu and so not return for a long time. A message still being handled
// after a short wait counts as delivered.
void SendAction(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  SetLastError(0);
  if (SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, 1500, &result)) return;
  const DWORD error = GetLastError();
  if (error == ERROR_TIMEOUT || error == 0) return;
  Fail(L"window " + Hex(window) + L" refused message " + Hex(message) + L" (error " + std::to_wstring(error) + L")");
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

// The caption of a top-level window, read without sending it a message.
std::wstring CaptionOf(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int n = GetWindowTextW(window, text.data(), length + 1);
  text.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return text;
}

// The text of a control, asked of the control itself (the system carries
// WM_GETTEXT between processes).
std::wstring TextOf(HWND window) {
  const LRESULT length = Send(window, WM_GETTEXTLENGTH, 0, 0);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT n = Send(window, WM_GETTEXT, static_cast<WPARAM>(length) + 1, reinterpret_cast<LPARAM>(text.data()));
  text.resize(n > 0 && n <= length ? static_cast<size_t>(n) : 0);
  return text;
}

// ---------------------------------------------------------------- matching

// A label as the user reads it: accelerator text after a tab dropped, an
// access key in brackets "(&F)" dropped, and single '&' removed.
std::wstring WithoutMnemonic(const std::wstring& text, bool dropBracketKey) {
  std::wstring t = text.substr(0, text.find(L'\t'));
  if (dropBracketKey) {
    const size_t open = t.find(L"(&");
    if (open != std::wstring::npos && open + 3 < t.size() && t[open + 3] == L')') {
      t.erase(open, 4);
    }
  }
  std::wstring out;
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i] == L'&') {
      if (i + 1 < t.size() && t[i + 1] == L'&') {
        out += L'&';
        ++i;
      }
      continue;
    }
    out += t[i];
  }
  return out;
}

bool Matches(const std::wstring& actual, const std::wstring& wanted, bool contains) {
  return contains ? actual.find(wanted) != std::wstring::npos : actual == wanted;
}

bool LabelMatches(const std::wstring& actual, const std::wstring& wanted, bool contains) {
  return Matches(actual, wanted, contains) || Matches(WithoutMnemonic(actual, false), wanted, contains) ||
         Matches(WithoutMnemonic(actual, true), wanted, contains);
}

// ---------------------------------------------------------------- windows

struct TopLevelQuery {
  std::wstring title;
  std::wstring windowClass;
  bool contains = false;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM param) {
  auto* query = reinterpret_cast<TopLevelQuery*>(param);
  if (!IsWindowVisible(window)) return TRUE;
  if (!query->windowClass.empty() && ClassOf(window) != query->windowClass) return TRUE;
  if (!query->title.empty() || query->windowClass.empty()) {
    if (!Matches(CaptionOf(window), query->title, query->contains)) return TRUE;
  }
  query->found.push_back(window);
  return TRUE;
}

std::vector<HWND> FindTopLevel(const std::wstring& title, const std::wstring& windowClass, bool contains) {
  TopLevelQuery query;
  query.title = title;
  query.windowClass = windowClass;
  query.contains = contains;
  EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

BOOL CALLBACK ListTopLevel(HWND window, LPARAM param) {
  auto* lines = reinterpret_cast<std::wstring*>(param);
  if (IsWindowVisible(window)) *lines += L"  \"" + CaptionOf(window) + L"\" [" + ClassOf(window) + L"]\n";
  return TRUE;
}

std::wstring VisibleWindowsForMessage() {
  std::wstring lines;
  EnumWindows(ListTopLevel, reinterpret_cast<LPARAM>(&lines));
  return lines.empty() ? L"no visible windows" : L"visible windows:\n" + lines;
}

// TITLE may also be a window handle as printed by wait-window ("0x...").
HWND HandleFromText(const std::wstring& text) {
  long long value = 0;
  if (text.size() > 2 && text[0] == L'0' && text[1] == L'x' && ParseNumber(text, &value)) {
    HWND window = reinterpret_cast<HWND>(static_cast<intptr_t>(value));
    if (IsWindow(window)) return window;
  }
  return nullptr;
}

HWND WaitTopLevel(const std::wstring& title, const Options& options) {
  if (HWND window = HandleFromText(title)) return window;
  const Deadline deadline(options.timeout);
  for (;;) {
    const std::vector<HWND> found = FindTopLevel(title, options.windowClass, options.contains);
    if (!found.empty()) return found.front();
    if (deadline.Passed()) {
      Fail(L"no visible window titled \"" + title + L"\"" +
           (options.windowClass.empty() ? L"" : L" of class " + options.windowClass) + L" after " +
           std::to_wstring(options.timeout) + L" ms; " + VisibleWindowsForMessage());
    }
    Sleep(50);
  }
}

BOOL CALLBACK CollectChild(HWND window, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

std::vector<HWND> Descendants(HWND top) {
  std::vector<HWND> children;
  EnumChildWindows(top, CollectChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

// CONTROL is a control id (decimal or 0x hex), "@CLASS" or "@CLASS#N" (the
// first or N-th descendant of that class, counting from 1), or the control's
// text (access-key '&' ignored). Visible matches win over hidden ones.
HWND FindControl(HWND top, const std::wstring& wanted, bool contains) {
  long long id = 0;
  const bool byId = ParseNumber(wanted, &id);
  std::wstring wantedClass;
  long long ordinal = 1;
  if (!byId && wanted.size() > 1 && wanted[0] == L'@') {
    wantedClass = wanted.substr(1);
    const size_t hash = wantedClass.rfind(L'#');
    if (hash != std::wstring::npos && hash > 0 && ParseNumber(wantedClass.substr(hash + 1), &ordinal)) {
      wantedClass.resize(hash);
    }
  }
  HWND hidden = nullptr;
  long long seen = 0;
  for (HWND child : Descendants(top)) {
    bool match = false;
    if (byId) {
      match = GetDlgCtrlID(child) == id;
    } else if (!wantedClass.empty()) {
      match = _wcsicmp(ClassOf(child).c_str(), wantedClass.c_str()) == 0 && ++seen == ordinal;
      if (match) return child;
    } else {
      match = LabelMatches(TextOf(child), wanted, contains);
    }
    if (!match) continue;
    if (IsWindowVisible(child)) return child;
    if (hidden == nullptr) hidden = child;
  }
  return hidden;
}

HWND WaitControl(HWND top, const std::wstring& wanted, const Options& options) {
  const Deadline deadline(options.timeout);
  for (;;) {
    if (HWND control = FindControl(top, wanted, options.contains)) return control;
    if (!IsWindow(top)) Fail(L"the window closed while looking for control \"" + wanted + L"\"");
    if (deadline.Passed()) Fail(L"no control \"" + wanted + L"\" in window \"" + CaptionOf(top) + L"\"");
    Sleep(50);
  }
}

struct Target {
  HWND top;
  HWND control;
};

Target TopAndControl(const Options& options, size_t needed, const wchar_t* usage) {
  if (options.args.size() < needed) Fail(std::wstring(L"usage: ") + usage, 2);
  const HWND top = WaitTopLevel(options.args[0], options);
  return {top, WaitControl(top, options.args[1], options)};
}

void Notify(HWND control, WORD code) {
  HWND parent = GetParent(control);
  if (parent == nullptr) Fail(L"control " + Hex(control) + L" has no parent to notify");
  SendAction(parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(control)), code),
             reinterpret_cast<LPARAM>(control));
}

// ---------------------------------------------------------------- remote memory

// A block of memory inside the process that owns a window. Common controls
// read and write their structures through pointers in their own address
// space, so structures for them have to be placed there. Both processes must
// have the same pointer size.
class RemoteMemory {
 public:
  RemoteMemory(HWND window, size_t size) : size_(size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION,
                           FALSE, pid);
    if (process_ == nullptr) Fail(L"cannot open process " + std::to_wstring(pid));
    BOOL mine = FALSE;
    BOOL theirs = FALSE;
    IsWow64Process(GetCurrentProcess(), &mine);
    IsWow64Process(process_, &theirs);
    if (mine != theirs) Fail(L"the target program and the driver must both be 32-bit or both 64-bit");
    base_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (base_ == nullptr) Fail(L"cannot allocate memory in process " + std::to_wstring(pid));
  }
  ~RemoteMemory() {
    if (base_ != nullptr) VirtualFreeEx(process_, base_, 0, MEM_RELEASE);
    if (process_ != nullptr) CloseHandle(process_);
  }
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;

  uintptr_t Address(size_t offset = 0) const { return reinterpret_cast<uintptr_t>(base_) + offset; }
  LPARAM Param(size_t offset = 0) const { return static_cast<LPARAM>(Address(offset)); }

  void Write(size_t offset, const void* data, size_t size) {
    SIZE_T done = 0;
    if (offset + size > size_ ||
        !WriteProcessMemory(process_, reinterpret_cast<void*>(Address(offset)), data, size, &done) ||
        done != size) {
      Fail(L"cannot write the target's memory");
    }
  }
  void Read(size_t offset, void* data, size_t size) const {
    SIZE_T done = 0;
    if (offset + size > size_ ||
        !ReadProcessMemory(process_, reinterpret_cast<void*>(Address(offset)), data, size, &done) ||
        done != size) {
      Fail(L"cannot read the target's memory");
    }
  }
  std::wstring ReadText(size_t offset, size_t maxChars) const {
    std::wstring text(maxChars, L'\0');
    Read(offset, text.data(), maxChars * sizeof(wchar_t));
    text.resize(text.find(L'\0') == std::wstring::npos ? maxChars : text.find(L'\0'));
    return text;
  }

 private:
  HANDLE process_ = nullptr;
  void* base_ = nullptr;
  size_t size_;
};

constexpr size_t kTextChars = 4096;

// ---------------------------------------------------------------- list view

int ListViewCount(HWND list) { return static_cast<int>(Send(list, LVM_GETITEMCOUNT, 0, 0)); }

int ListViewColumns(HWND list) {
  HWND header = reinterpret_cast<HWND>(Send(list, LVM_GETHEADER, 0, 0));
  const int columns = header ? static_cast<int>(Send(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
  return columns > 0 ? columns : 1;
}

std::wstring ListViewText(HWND list, RemoteMemory& memory, int item, int column) {
  LVITEMW request{};
  request.mask = LVIF_TEXT;
  request.iItem = item;
  request.iSubItem = column;
  request.pszText = reinterpret_cast<LPWSTR>(memory.Address(sizeof(LVITEMW)));
  request.cchTextMax = static_cast<int>(kTextChars);
  const wchar_t nothing = L'\0';
  memory.Write(sizeof(LVITEMW), &nothing, sizeof nothing);
  memory.Write(0, &request, sizeof request);
  Send(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), memory.Param());
  return memory.ReadText(sizeof(LVITEMW), kTextChars);
}

std::wstring HeaderText(HWND header, RemoteMemory& memory, int column) {
  HDITEMW request{};
  request.mask = HDI_TEXT;
  request.pszText = reinterpret_cast<LPWSTR>(memory.Address(sizeof(HDITEMW)));
  request.cchTextMax = static_cast<int>(kTextChars);
  const wchar_t nothing = L'\0';
  memory.Write(sizeof(HDITEMW), &nothing, sizeof nothing);
  memory.Write(0, &request, sizeof request);
  if (!Send(header, HDM_GETITEMW, static_cast<WPARAM>(column), memory.Param())) return {};
  return memory.ReadText(sizeof(HDITEMW), kTextChars);
}

void ListViewSetState(HWND list, RemoteMemory& memory, int item, UINT state, UINT mask) {
  LVITEMW request{};
  request.state = state;
  request.stateMask = mask;
  memory.Write(0, &request, sizeof request);
  SendAction(list, LVM_SETITEMSTATE, static_cast<WPARAM>(item), memory.Param());
}

int ListViewIndex(HWND list, const std::wstring& text) {
  const int index = NumberArg(text, L"item index");
  const int count = ListViewCount(list);
  if (index >= count) Fail(L"item " + text + L" does not exist (the list has " + std::to_wstring(count) + L")");
  return index;
}

// Selects and focuses one item the way a click does (others deselected
// unless `add`), and scrolls it into view.
void ListViewSelect(HWND list, int index, bool add) {
  RemoteMemory memory(list, sizeof(LVITEMW));
  if (!add) ListViewSetState(list, memory, -1, 0, LVIS_SELECTED);
  ListViewSetState(list, memory, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  Send(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE);
}

POINT ListViewItemCentre(HWND list, int index) {
  RemoteMemory memory(list, sizeof(RECT));
  RECT rect{};
  rect.left = LVIR_LABEL;
  memory.Write(0, &rect, sizeof rect);
  if (!Send(list, LVM_GETITEMRECT, static_cast<WPARAM>(index), memory.Param())) {
    Fail(L"cannot get the rectangle of item " + std::to_wstring(index));
  }
  memory.Read(0, &rect, sizeof rect);
  return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// ---------------------------------------------------------------- input

bool BringToFront(HWND window) {
  if (GetForegroundWindow() == window) return true;
  if (IsIconic(window)) ShowWindowAsync(window, SW_RESTORE);
  for (int attempt = 0; attempt < 40; ++attempt) {
    if (attempt % 10 == 0) SetForegroundWindow(window);
    if (GetForegroundWindow() == window) return true;
    Sleep(25);
  }
  return false;
}

void SendInputs(std::vector<INPUT>& inputs) {
  if (inputs.empty()) return;
  const UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  if (sent != inputs.size()) Fail(L"SendInput delivered " + std::to_wstring(sent) + L" of " +
                                  std::to_wstring(inputs.size()) + L" events");
  inputs.clear();
}

void AddKey(std::vector<INPUT>& inputs, WORD vk, bool extended, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = (extended ? KEYEVENTF_EXTENDEDKEY : 0) | (up ? KEYEVENTF_KEYUP : 0);
  inputs.push_back(input);
}

void AddUnicode(std::vector<INPUT>& inputs, wchar_t unit) {
  for (const bool up : {false, true}) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wScan = unit;
    input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
    inputs.push_back(input);
  }
}

struct NamedKey {
  const wchar_t* name;
  WORD vk;
  bool extended;
};

constexpr NamedKey kNamedKeys[] = {
    {L"ENTER", VK_RETURN, false}, {L"ESC", VK_ESCAPE, false},    {L"ESCAPE", VK_ESCAPE, false},
    {L"TAB", VK_TAB, false},      {L"SPACE", VK_SPACE, false},   {L"BS", VK_BACK, false},
    {L"BACKSPACE", VK_BACK, false}, {L"DEL", VK_DELETE, true},   {L"DELETE", VK_DELETE, true},
    {L"INS", VK_INSERT, true},    {L"INSERT", VK_INSERT, true},  {L"HOME", VK_HOME, true},
    {L"END", VK_END, true},       {L"PGUP", VK_PRIOR, true},     {L"PGDN", VK_NEXT, true},
    {L"UP", VK_UP, true},         {L"DOWN", VK_DOWN, true},      {L"LEFT", VK_LEFT, true},
    {L"RIGHT", VK_RIGHT, true},   {L"APPS", VK_APPS, true},      {L"ALT", VK_MENU, false},
    {L"F1", VK_F1, false},        {L"F2", VK_F2, false},         {L"F3", VK_F3, false},
    {L"F4", VK_F4, false},        {L"F5", VK_F5, false},         {L"F6", VK_F6, false},
    {L"F7", VK_F7, false},        {L"F8", VK_F8, false},         {L"F9", VK_F9, false},
    {L"F10", VK_F10, false},      {L"F11", VK_F11, false},       {L"F12", VK_F12, false},
};

// One key press with the pending modifiers held around it.
void PressKey(std::vector<INPUT>& inputs, WORD vk, bool extended, unsigned modifiers) {
  const WORD mods[] = {VK_SHIFT, VK_CONTROL, VK_MENU};
  for (int m = 0; m < 3; ++m) {
    if (modifiers & (1u << m)) AddKey(inputs, mods[m], false, false);
  }
  AddKey(inputs, vk, extended, false);
  AddKey(inputs, vk, extended, true);
  for (int m = 2; m >= 0; --m) {
    if (modifiers & (1u << m)) AddKey(inputs, mods[m], false, true);
  }
}

// Keys: plain characters are typed; {NAME} or {NAME N} presses a named key
// (N times); {WAIT MS} pauses; '+', '^', '%' hold Shift, Ctrl, Alt for the
// next key; {+} {^} {%} {{} {}} type those characters.
void TypeKeys(const std::wstring& keys) {
  std::vector<INPUT> inputs;
  unsigned modifiers = 0;
  auto flush = [&] {
    SendInputs(inputs);
    Sleep(30);
  };
  for (size_t i = 0; i < keys.size(); ++i) {
    const wchar_t c = keys[i];
    if (c == L'+' || c == L'^' || c == L'%') {
      modifiers |= c == L'+' ? 1u : c == L'^' ? 2u : 4u;
      continue;
    }
    if (c == L'{') {
      const size_t close = keys.find(L'}', i + 2);
      if (close == std::wstring::npos) Fail(L"unclosed { in keys: " + keys, 2);
      std::wstring name = keys.substr(i + 1, close - i - 1);
      i = close;
      int repeat = 1;
      const size_t space = name.find(L' ');
      if (space != std::wstring::npos) {
        repeat = NumberArg(name.substr(space + 1), L"repeat count");
        name.resize(space);
      }
      for (auto& ch : name) ch = static_cast<wchar_t>(towupper(ch));
      if (name == L"WAIT") {
        flush();
        Sleep(static_cast<DWORD>(repeat));
        continue;
      }
      if (name.size() == 1 && !iswalnum(name[0])) {
        for (int r = 0; r < repeat; ++r) AddUnicode(inputs, name[0]);
        modifiers = 0;
        flush();
        continue;
      }
      const NamedKey* key = nullptr;
      for (const auto& k : kNamedKeys) {
        if (name == k.name) key = &k;
      }
      if (key == nullptr) Fail(L"unknown key {" + name + L"}", 2);
      for (int r = 0; r < repeat; ++r) {
        PressKey(inputs, key->vk, key->extended, modifiers);
        flush();
      }
      modifiers = 0;
      continue;
    }
    // A character the keyboard layout has a key for goes as that key, so
    // that accelerators and access keys see a real key; anything else is
    // typed as a Unicode character.
    const SHORT scan = c < 0x80 ? VkKeyScanW(c) : -1;
    if (scan != -1 && (HIBYTE(scan) & ~1) == 0) {
      PressKey(inputs, LOBYTE(scan), false, modifiers | ((HIBYTE(scan) & 1) ? 1u : 0u));
    } else {
      AddUnicode(inputs, c);
    }
    modifiers = 0;
    flush();
  }
  flush();
}

void MouseClick(POINT screen, bool right, bool twice) {
  if (!SetCursorPos(screen.x, screen.y)) Fail(L"cannot move the mouse");
  Sleep(30);
  std::vector<INPUT> inputs;
  for (int n = 0; n < (twice ? 2 : 1); ++n) {
    for (const bool up : {false, true}) {
      INPUT input{};
      input.type = INPUT_MOUSE;
      input.mi.dwFlags = right ? (up ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_RIGHTDOWN)
                               : (up ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_LEFTDOWN);
      inputs.push_back(input);
    }
  }
  SendInputs(inputs);
  Sleep(100);
}

// Posted mouse messages at a point in the control's client area: they need
// neither the foreground nor the real cursor.
void PostClick(HWND control, POINT client, bool right, bool twice) {
  const LPARAM at = MAKELPARAM(client.x, client.y);
  if (right) {
    PostMessageW(control, WM_RBUTTONDOWN, MK_RBUTTON, at);
    PostMessageW(control, WM_RBUTTONUP, 0, at);
  } else if (twice) {
    PostMessageW(control, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageW(control, WM_LBUTTONUP, 0, at);
  } else {
    PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(control, WM_LBUTTONUP, 0, at);
  }
  Sleep(100);
}

// ---------------------------------------------------------------- menus

struct MenuItem {
  std::wstring text;
  int depth = 0;
  UINT id = 0;
  UINT type = 0;
  UINT state = 0;
  bool submenu = false;
  bool bitmap = false;
  bool placed = false;  // rect holds the item's place on the screen
  RECT rect{};
};

// Menus of another process can be read directly on Windows. Wine keeps
// menus inside their process (the item count comes back as -1), so there
// the menu is read by a hook procedure of this program that runs in the
// target's own thread and copies the items into shared memory.
bool ReadMenuDirect(HWND owner, HMENU menu, int depth, bool recurse, std::vector<MenuItem>* items) {
  const int count = GetMenuItemCount(menu);
  if (count < 0) return false;
  for (int i = 0; i < count; ++i) {
    wchar_t text[1024] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING | MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE | MIIM_STATE | MIIM_BITMAP;
    info.dwTypeData = text;
    info.cch = 1023;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) return false;
    MenuItem item;
    item.text = text;
    item.depth = depth;
    item.id = info.wID;
    item.type = info.fType;
    item.state = info.fState;
    item.submenu = info.hSubMenu != nullptr;
    item.bitmap = info.hbmpItem != nullptr || (info.fType & MFT_BITMAP) != 0;
    item.placed = depth == 0 && GetMenuItemRect(owner, menu, static_cast<UINT>(i), &item.rect);
    items->push_back(item);
    if (recurse && info.hSubMenu && !ReadMenuDirect(owner, info.hSubMenu, depth + 1, true, items)) return false;
  }
  return true;
}

namespace hook {

// Shared between the driver and its hook procedure in the target. The hook
// code runs in a copy of this program that the target loads without its
// start-up code, so it uses the system's functions only.
constexpr int kMaxItems = 512;
constexpr int kTextChars = 256;
struct Entry {
  int depth;
  UINT id;
  UINT type;
  UINT state;
  int submenu;
  int bitmap;
  int placed;
  RECT rect;
  wchar_t text[kTextChars];
};
struct Dump {
  volatile LONG done;
  int count;
  Entry items[kMaxItems];
};

constexpr wchar_t kQueryMessage[] = L"KumoyaDriverMenuQuery";
constexpr WPARAM kPopup = 0;    // the menu of a popup menu window
constexpr WPARAM kMenuBar = 1;  // the window's main menu, with its submenus

void MappingName(DWORD pid, wchar_t* name) { wsprintfW(name, L"Local\\KumoyaDriverMenu-%lu", pid); }

void Collect(Dump* dump, HWND owner, HMENU menu, int depth, bool recurse) {
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count && dump->count < kMaxItems; ++i) {
    Entry* entry = &dump->items[dump->count];
    MENUITEMINFOW info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING | MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE | MIIM_STATE | MIIM_BITMAP;
    info.dwTypeData = entry->text;
    info.cch = kTextChars - 1;
    entry->text[0] = L'\0';
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) continue;
    entry->depth = depth;
    entry->id = info.wID;
    entry->type = info.fType;
    entry->state = info.fState;
    entry->submenu = info.hSubMenu != nullptr;
    entry->bitmap = info.hbmpItem != nullptr || (info.fType & MFT_BITMAP) != 0;
    entry->placed = depth == 0 && GetMenuItemRect(owner, menu, static_cast<UINT>(i), &entry->rect);
    ++dump->count;
    if (recurse && info.hSubMenu) Collect(dump, owner, info.hSubMenu, depth + 1, true);
  }
}

LRESULT CALLBACK Procedure(int code, WPARAM wParam, LPARAM lParam) {
  const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && call->message == RegisterWindowMessageW(kQueryMessage)) {
    wchar_t name[64];
    MappingName(static_cast<DWORD>(call->lParam), name);
    if (HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, name)) {
      if (auto* dump = static_cast<Dump*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(Dump)))) {
        const bool bar = call->wParam == kMenuBar;
        HMENU menu = bar ? GetMenu(call->hwnd) : reinterpret_cast<HMENU>(SendMessageW(call->hwnd, MN_GETHMENU, 0, 0));
        if (menu != nullptr) {
          Collect(dump, bar ? call->hwnd : nullptr, menu, 0, bar);
          InterlockedExchange(&dump->done, 1);
        }
        UnmapViewOfFile(dump);
      }
      CloseHandle(mapping);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// A hook procedure for another process must live in a DLL: the system loads
// that module into the target, and an EXE loaded that way gets no imports.
// So the hook module is a copy of this program marked as a DLL without an
// entry point, in the temporary folder, named after this build's size and
// time so that a target never meets a stale copy of another build.
HMODULE LoadHookModule() {
  wchar_t self[MAX_PATH] = {};
  if (!GetModuleFileNameW(nullptr, self, MAX_PATH)) return nullptr;
  WIN32_FILE_ATTRIBUTE_DATA attributes{};
  if (!GetFileAttributesExW(self, GetFileExInfoStandard, &attributes)) return nullptr;
  wchar_t folder[MAX_PATH] = {};
  if (!GetTempPathW(MAX_PATH, folder)) return nullptr;
  wchar_t path[MAX_PATH + 64] = {};
  wsprintfW(path, L"%skumoya-driver-hook-%lx-%lx%08lx.dll", folder, attributes.nFileSizeLow,
            attributes.ftLastWriteTime.dwHighDateTime, attributes.ftLastWriteTime.dwLowDateTime);
  if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) {
    HANDLE in = CreateFileW(self, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE) return nullptr;
    std::string image(attributes.nFileSizeLow, '\0');
    DWORD got = 0;
    const BOOL read = ReadFile(in, image.data(), attributes.nFileSizeLow, &got, nullptr);
    CloseHandle(in);
    if (!read || got != image.size() || image.size() < sizeof(IMAGE_DOS_HEADER)) return nullptr;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    const size_t at = static_cast<size_t>(dos->e_lfanew);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || at + sizeof(IMAGE_NT_HEADERS) > image.size()) return nullptr;
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(image.data() + at);
    if (nt->Signature != IMAGE_NT_SIGNATURE) return nullptr;
    nt->FileHeader.Characteristics |= IMAGE_FILE_DLL;
    nt->OptionalHeader.AddressOfEntryPoint = 0;
    // Written beside its final name and then renamed, so that a driver
    // running at the same moment never loads a half-written copy.
    wchar_t partial[MAX_PATH + 80] = {};
    wsprintfW(partial, L"%s.%lu.tmp", path, GetCurrentProcessId());
    HANDLE out = CreateFileW(partial, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE) return nullptr;
    DWORD put = 0;
    const BOOL written = WriteFile(out, image.data(), static_cast<DWORD>(image.size()), &put, nullptr);
    CloseHandle(out);
    if (!written || put != image.size() || !MoveFileExW(partial, path, MOVEFILE_REPLACE_EXISTING)) {
      DeleteFileW(partial);
      if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) return nullptr;
    }
  }
  return LoadLibraryW(path);
}

bool Read(HWND window, WPARAM what, std::vector<MenuItem>* items) {
  HMODULE module = LoadHookModule();
  if (module == nullptr) return false;
  // The same procedure, at its place in the loaded copy.
  const auto offset = reinterpret_cast<uintptr_t>(&Procedure) - reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr));
  const auto procedure = reinterpret_cast<HOOKPROC>(reinterpret_cast<uintptr_t>(module) + offset);
  wchar_t name[64];
  MappingName(GetCurrentProcessId(), name);
  HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Dump), name);
  if (mapping == nullptr) return false;
  auto* dump = static_cast<Dump*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Dump)));
  bool ok = false;
  if (dump != nullptr) {
    HHOOK installed = SetWindowsHookExW(WH_CALLWNDPROC, procedure, module, GetWindowThreadProcessId(window, nullptr));
    if (installed != nullptr) {
      DWORD_PTR result = 0;
      SendMessageTimeoutW(window, RegisterWindowMessageW(kQueryMessage), what,
                          static_cast<LPARAM>(GetCurrentProcessId()), SMTO_NORMAL, 5000, &result);
      UnhookWindowsHookEx(installed);
      ok = InterlockedCompareExchange(&dump->done, 0, 0) == 1;
      for (int i = 0; ok && i < dump->count; ++i) {
        const Entry& e = dump->items[i];
        MenuItem item;
        item.text.assign(e.text, wcsnlen(e.text, kTextChars));
        item.depth = e.depth;
        item.id = e.id;
        item.type = e.type;
        item.state = e.state;
        item.submenu = e.submenu != 0;
        item.bitmap = e.bitmap != 0;
        item.placed = e.placed != 0;
        item.rect = e.rect;
        items->push_back(item);
      }
    }
    UnmapViewOfFile(dump);
  }
  CloseHandle(mapping);
  return ok;
}

}  // namespace hook

constexpr int kUnsupported = 3;

// The main menu of a window (with its submenus) or the menu of an open popup
// menu window, as a flat list in menu order with depths.
std::vector<MenuItem> ReadMenu(HWND window, bool popup) {
  HMENU menu = popup ? reinterpret_cast<HMENU>(Send(window, MN_GETHMENU, 0, 0)) : GetMenu(window);
  if (menu == nullptr) Fail(popup ? L"the popup menu window did not give its menu" : L"the window has no menu bar");
  std::vector<MenuItem> items;
  if (ReadMenuDirect(popup ? nullptr : window, menu, 0, !popup, &items)) return items;
  items.clear();
  if (hook::Read(window, popup ? hook::kPopup : hook::kMenuBar, &items)) return items;
  Fail(L"cannot read the menu of another process here; use 'driver key' with access keys or arrow keys",
       kUnsupported);
}

std::wstring MenuLine(const MenuItem& item) {
  const std::wstring indent(static_cast<size_t>(item.depth) * 2, L' ');
  if (item.type & MFT_SEPARATOR) return indent + L"---\tseparator";
  std::wstring line = indent + Escape(item.text);
  line += item.submenu ? L"\tsubmenu=yes" : L"\tsubmenu=no";
  line += item.bitmap ? L"\tbitmap=yes" : L"\tbitmap=no";
  line += item.submenu ? std::wstring(L"\tid=-") : L"\tid=" + std::to_wstring(item.id);
  line += (item.state & MFS_GRAYED) ? L"\tdisabled" : L"\tenabled";
  if (item.state & MFS_CHECKED) line += L"\tchecked";
  return line;
}

// Finds a command item by its label; "A>B" names item B directly under the
// submenu A (any number of levels may be given).
const MenuItem* FindMenuItem(const std::vector<MenuItem>& items, const std::wstring& path, bool contains) {
  std::vector<std::wstring> parts;
  for (size_t start = 0;;) {
    const size_t sep = path.find(L'>', start);
    parts.push_back(path.substr(start, sep == std::wstring::npos ? std::wstring::npos : sep - start));
    if (sep == std::wstring::npos) break;
    start = sep + 1;
  }
  std::vector<const MenuItem*> chain;  // the item's ancestors and itself
  for (const auto& item : items) {
    chain.resize(static_cast<size_t>(item.depth));
    chain.push_back(&item);
    if (item.submenu || (item.type & MFT_SEPARATOR) || chain.size() < parts.size()) continue;
    bool match = true;
    for (size_t k = 0; k < parts.size() && match; ++k) {
      match = LabelMatches(chain[chain.size() - parts.size() + k]->text, parts[k], contains);
    }
    if (match) return &item;
  }
  return nullptr;
}

HWND WaitPopupMenu(const Options& options) {
  const Deadline deadline(options.timeout);
  for (;;) {
    const std::vector<HWND> menus = FindTopLevel(L"", L"#32768", false);
    if (!menus.empty()) return menus.front();  // the top one: the deepest open submenu
    if (deadline.Passed()) Fail(L"no popup menu is open");
    Sleep(50);
  }
}

// ---------------------------------------------------------------- message boxes

HWND WaitDialog(const Options& options) {
  const Deadline deadline(options.timeout);
  for (;;) {
    const std::vector<HWND> dialogs = FindTopLevel(options.title, L"#32770", options.contains);
    if (!dialogs.empty()) return dialogs.front();
    if (deadline.Passed()) {
      Fail(L"no message box" + (options.title.empty() ? std::wstring() : L" titled \"" + options.title + L"\"") +
           L" appeared; " + VisibleWindowsForMessage());
    }
    Sleep(50);
  }
}

// ---------------------------------------------------------------- subcommands

void WaitWindow(const Options& o) {
  if (o.args.empty()) Fail(L"usage: wait-window TITLE [--class CLASS] [--contains] [--timeout MS]", 2);
  Print(Hex(WaitTopLevel(o.args[0], o)));
}

void WaitGone(const Options& o) {
  if (o.args.empty()) Fail(L"usage: wait-gone TITLE [--timeout MS]", 2);
  const Deadline deadline(o.timeout);
  HWND handle = HandleFromText(o.args[0]);
  for (;;) {
    const bool present = handle ? IsWindow(handle) && IsWindowVisible(handle)
                                : !FindTopLevel(o.args[0], o.windowClass, o.contains).empty();
    if (!present) return;
    if (deadline.Passed()) Fail(L"window \"" + o.args[0] + L"\" still open after " + std::to_wstring(o.timeout) + L" ms");
    Sleep(50);
  }
}

BOOL CALLBACK PrintTopLevel(HWND window, LPARAM) {
  if (!IsWindowVisible(window)) return TRUE;
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  Print(Hex(window) + L"\t" + ClassOf(window) + L"\t" + Escape(CaptionOf(window)) + L"\t" + std::to_wstring(pid));
  return TRUE;
}

void ListWindows(const Options&) { EnumWindows(PrintTopLevel, 0); }

void ListControls(const Options& o) {
  if (o.args.empty()) Fail(L"usage: list-controls TITLE", 2);
  const HWND top = WaitTopLevel(o.args[0], o);
  for (HWND child : Descendants(top)) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&rect), 2);
    Print(ClassOf(child) + L"\t" + std::to_wstring(GetDlgCtrlID(child)) + L"\t" + Escape(TextOf(child)) +
          (IsWindowVisible(child) ? L"\tvisible" : L"\thidden") +
          (IsWindowEnabled(child) ? L"\tenabled\t" : L"\tdisabled\t") + std::to_wstring(rect.left) + L"," +
          std::to_wstring(rect.top) + L"," + std::to_wstring(rect.right) + L"," + std::to_wstring(rect.bottom) +
          L"\t" + Hex(child));
  }
}

HWND FocusOf(HWND top) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &info)) Fail(L"cannot read the window's thread state");
  return info.hwndFocus;
}

// Without CONTROL: prints the control that has the keyboard focus in the
// window's thread. With CONTROL: gives it the focus (the window is brought
// to the front first), as a click or the Tab key would.
void Focus(const Options& o) {
  if (o.args.empty()) Fail(L"usage: focus TITLE [CONTROL]", 2);
  const HWND top = WaitTopLevel(o.args[0], o);
  if (o.args.size() >= 2) {
    const HWND control = WaitControl(top, o.args[1], o);
    if (!BringToFront(top)) Fail(L"cannot bring \"" + CaptionOf(top) + L"\" to the front");
    const DWORD mine = GetCurrentThreadId();
    const DWORD theirs = GetWindowThreadProcessId(top, nullptr);
    AttachThreadInput(mine, theirs, TRUE);
    SetFocus(control);
    AttachThreadInput(mine, theirs, FALSE);
    if (FocusOf(top) != control) Fail(L"the control did not take the focus");
    return;
  }
  HWND focus = FocusOf(top);
  if (focus == nullptr) Fail(L"no window has the focus");
  Print(ClassOf(focus) + L"\t" + std::to_wstring(GetDlgCtrlID(focus)) + L"\t" + Hex(focus));
}

// A click at a point of a control (client coordinates, the centre by
// default): posted mouse messages, or with --mouse the real cursor.
void MouseClickCommand(const Options& o) {
  const Target t = TopAndControl(o, 2, L"mouse-click TITLE CONTROL [X Y] [--right] [--double] [--mouse]");
  POINT point{};
  if (o.args.size() >= 4) {
    point = POINT{NumberArg(o.args[2], L"x"), NumberArg(o.args[3], L"y")};
  } else {
    RECT client{};
    GetClientRect(t.control, &client);
    point = POINT{client.right / 2, client.bottom / 2};
  }
  if (o.mouse) {
    if (!BringToFront(t.top)) Fail(L"cannot bring \"" + CaptionOf(t.top) + L"\" to the front");
    ClientToScreen(t.control, &point);
    MouseClick(point, o.right, o.twice);
  } else {
    PostClick(t.control, point, o.right, o.twice);
  }
}

void Click(const Options& o) {
  const Target t = TopAndControl(o, 2, L"click TITLE CONTROL");
  // A user can only click what is shown and enabled.
  if (!IsWindowVisible(t.control)) Fail(L"control \"" + o.args[1] + L"\" is hidden");
  if (!IsWindowEnabled(t.control)) Fail(L"control \"" + o.args[1] + L"\" is disabled");
  SendAction(t.control, BM_CLICK, 0, 0);
}

void GetCheck(const Options& o) {
  const Target t = TopAndControl(o, 2, L"get-check TITLE CONTROL");
  Print(std::to_wstring(Send(t.control, BM_GETCHECK, 0, 0)));
}

void SetText(const Options& o) {
  const Target t = TopAndControl(o, 3, L"set-text TITLE CONTROL TEXT");
  if (!Send(t.control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(o.args[2].c_str()))) {
    Fail(L"the control refused the text");
  }
}

void GetText(const Options& o) {
  const Target t = TopAndControl(o, 2, L"get-text TITLE CONTROL");
  Print(TextOf(t.control));
}

// Combo boxes and list boxes: the system carries CB_GETLBTEXT/LB_GETTEXT
// between processes for controls that keep their own strings.
std::vector<std::wstring> ListItems(HWND control, bool combo) {
  const UINT countMsg = combo ? CB_GETCOUNT : LB_GETCOUNT;
  const UINT lengthMsg = combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN;
  const UINT textMsg = combo ? CB_GETLBTEXT : LB_GETTEXT;
  const LRESULT count = Send(control, countMsg, 0, 0);
  if (count < 0) Fail(L"the control " + Hex(control) + L" is not a " + (combo ? L"combo box" : L"list box"));
  std::vector<std::wstring> items;
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = Send(control, lengthMsg, static_cast<WPARAM>(i), 0);
    std::wstring text(length > 0 ? static_cast<size_t>(length) + 1 : 1, L'\0');
    const LRESULT n = length > 0 ? Send(control, textMsg, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data())) : 0;
    text.resize(n > 0 && n <= length ? static_cast<size_t>(n) : 0);
    items.push_back(text);
  }
  return items;
}

// INDEX is a number, or an item's text.
int ItemIndex(HWND control, bool combo, const std::wstring& wanted, bool contains) {
  const std::vector<std::wstring> items = ListItems(control, combo);
  long long index = 0;
  if (ParseNumber(wanted, &index)) {
    if (index < 0 || index >= static_cast<long long>(items.size())) {
      Fail(L"item " + wanted + L" does not exist (there are " + std::to_wstring(items.size()) + L")");
    }
    return static_cast<int>(index);
  }
  for (size_t i = 0; i < items.size(); ++i) {
    if (Matches(items[i], wanted, contains)) return static_cast<int>(i);
  }
  Fail(L"no item \"" + wanted + L"\"");
}

void ComboItems(const Options& o, bool combo) {
  const Target t = TopAndControl(o, 2, combo ? L"combo-items TITLE CONTROL [--selected]"
                                             : L"listbox-items TITLE CONTROL [--selected]");
  if (o.selected) {
    Print(std::to_wstring(Send(t.control, combo ? CB_GETCURSEL : LB_GETCURSEL, 0, 0)));
    return;
  }
  for (const auto& item : ListItems(t.control, combo)) Print(Escape(item));
}

void ComboSelect(const Options& o, bool combo) {
  const Target t = TopAndControl(o, 3, combo ? L"combo-select TITLE CONTROL INDEX|TEXT"
                                             : L"listbox-select TITLE CONTROL INDEX|TEXT");
  const int index = ItemIndex(t.control, combo, o.args[2], o.contains);
  if (Send(t.control, combo ? CB_SETCURSEL : LB_SETCURSEL, static_cast<WPARAM>(index), 0) != index) {
    Fail(L"the control did not take selection " + std::to_wstring(index));
  }
  Notify(t.control, combo ? CBN_SELCHANGE : LBN_SELCHANGE);
}

void ListViewItems(const Options& o) {
  const Target t = TopAndControl(o, 2, L"listview-items TITLE CONTROL [--header] [--selected]");
  if (o.selected) {
    int item = -1;
    while ((item = static_cast<int>(Send(t.control, LVM_GETNEXTITEM, static_cast<WPARAM>(item), LVNI_SELECTED))) >= 0) {
      Print(std::to_wstring(item));
    }
    return;
  }
  RemoteMemory memory(t.control, sizeof(LVITEMW) + sizeof(HDITEMW) + (kTextChars + 1) * sizeof(wchar_t));
  const int columns = ListViewColumns(t.control);
  if (o.header) {
    HWND header = reinterpret_cast<HWND>(Send(t.control, LVM_GETHEADER, 0, 0));
    std::wstring line;
    for (int c = 0; c < columns; ++c) line += (c ? L"\t" : L"") + Escape(header ? HeaderText(header, memory, c) : L"");
    Print(line);
  }
  const int count = ListViewCount(t.control);
  for (int row = 0; row < count; ++row) {
    std::wstring line;
    for (int c = 0; c < columns; ++c) line += (c ? L"\t" : L"") + Escape(ListViewText(t.control, memory, row, c));
    Print(line);
  }
}

void ListViewSelectCommand(const Options& o) {
  const Target t = TopAndControl(o, 3, L"listview-select TITLE CONTROL INDEX [--add]");
  ListViewSelect(t.control, ListViewIndex(t.control, o.args[2]), o.add);
}

void ListViewClick(const Options& o, bool twice) {
  const Target t = TopAndControl(o, 3, L"listview-click TITLE CONTROL INDEX [--double] [--right] [--mouse]");
  const int index = ListViewIndex(t.control, o.args[2]);
  ListViewSelect(t.control, index, o.add);
  POINT point = ListViewItemCentre(t.control, index);
  if (o.mouse) {
    if (!BringToFront(t.top)) Fail(L"cannot bring \"" + CaptionOf(t.top) + L"\" to the front");
    ClientToScreen(t.control, &point);
    MouseClick(point, o.right, twice);
  } else {
    PostClick(t.control, point, o.right, twice);
  }
}

void ContextMenu(const Options& o) {
  const Target t = TopAndControl(o, 2, L"context-menu TITLE CONTROL");
  // As from the keyboard's menu key: the position is -1,-1.
  PostMessageW(t.control, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(t.control), MAKELPARAM(-1, -1));
}

HWND TabControl(HWND top, const Options& o) {
  return WaitControl(top, o.control.empty() ? std::wstring(L"@SysTabControl32") : o.control, o);
}

void TabSelect(const Options& o) {
  if (o.args.size() < 2) Fail(L"usage: tab-select TITLE INDEX [--control CONTROL]", 2);
  const HWND top = WaitTopLevel(o.args[0], o);
  const HWND tab = TabControl(top, o);
  const int index = NumberArg(o.args[1], L"tab index");
  const int count = static_cast<int>(Send(tab, TCM_GETITEMCOUNT, 0, 0));
  if (index >= count) Fail(L"tab " + o.args[1] + L" does not exist (there are " + std::to_wstring(count) + L")");
  // Moving the focus to a tab selects it and notifies the parent with
  // TCN_SELCHANGING/TCN_SELCHANGE, as a click does.
  SendAction(tab, TCM_SETCURFOCUS, static_cast<WPARAM>(index), 0);
  if (Send(tab, TCM_GETCURSEL, 0, 0) != index) Fail(L"the tab control did not change to tab " + o.args[1]);
}

void TabItems(const Options& o) {
  if (o.args.empty()) Fail(L"usage: tab-items TITLE [--control CONTROL] [--selected]", 2);
  const HWND top = WaitTopLevel(o.args[0], o);
  const HWND tab = TabControl(top, o);
  if (o.selected) {
    Print(std::to_wstring(Send(tab, TCM_GETCURSEL, 0, 0)));
    return;
  }
  const int count = static_cast<int>(Send(tab, TCM_GETITEMCOUNT, 0, 0));
  RemoteMemory memory(tab, sizeof(TCITEMW) + (kTextChars + 1) * sizeof(wchar_t));
  for (int i = 0; i < count; ++i) {
    TCITEMW request{};
    request.mask = TCIF_TEXT;
    request.pszText = reinterpret_cast<LPWSTR>(memory.Address(sizeof(TCITEMW)));
    request.cchTextMax = static_cast<int>(kTextChars);
    const wchar_t nothing = L'\0';
    memory.Write(sizeof(TCITEMW), &nothing, sizeof nothing);
    memory.Write(0, &request, sizeof request);
    Send(tab, TCM_GETITEMW, static_cast<WPARAM>(i), memory.Param());
    Print(Escape(memory.ReadText(sizeof(TCITEMW), kTextChars)));
  }
}

void Key(const Options& o) {
  if (o.args.size() < 2) Fail(L"usage: key TITLE|- KEYS", 2);
  if (o.args[0] != L"-") {
    const HWND top = WaitTopLevel(o.args[0], o);
    if (!BringToFront(top)) Fail(L"cannot bring \"" + CaptionOf(top) + L"\" to the front");
  }
  TypeKeys(o.args[1]);
}

void MenuCommand(const Options& o) {
  if (o.args.size() < 2) Fail(L"usage: menu TITLE ITEM  (ITEM may be \"Menu>Item\")", 2);
  const HWND top = WaitTopLevel(o.args[0], o);
  const std::vector<MenuItem> items = ReadMenu(top, false);
  const MenuItem* item = FindMenuItem(items, o.args[1], o.contains);
  if (item == nullptr) Fail(L"no menu item \"" + o.args[1] + L"\"");
  if (item->state & MFS_GRAYED) Fail(L"menu item \"" + o.args[1] + L"\" is disabled");
  // A chosen menu item reaches its window as a posted WM_COMMAND.
  PostMessageW(top, WM_COMMAND, MAKEWPARAM(item->id, 0), 0);
  Sleep(100);
}

void MenuItems(const Options& o) {
  if (o.args.empty()) Fail(L"usage: menu-items TITLE", 2);
  for (const auto& item : ReadMenu(WaitTopLevel(o.args[0], o), false)) Print(MenuLine(item));
}

void PopupMenuItems(const Options& o) {
  for (const auto& item : ReadMenu(WaitPopupMenu(o), true)) Print(MenuLine(item));
}

// Clicks an item of the open popup menu with the real mouse, as a user
// does: a command item closes the menu, a submenu item opens its submenu.
void PopupMenuChoose(const Options& o) {
  if (o.args.empty()) Fail(L"usage: popup-menu-choose ITEM [--contains] [--timeout MS]", 2);
  const HWND popup = WaitPopupMenu(o);
  const std::vector<MenuItem> items = ReadMenu(popup, true);
  const MenuItem* chosen = nullptr;
  for (const auto& item : items) {
    if (!(item.type & MFT_SEPARATOR) && LabelMatches(item.text, o.args[0], o.contains)) {
      chosen = &item;
      break;
    }
  }
  if (chosen == nullptr) Fail(L"the popup menu has no item \"" + o.args[0] + L"\"");
  if (chosen->state & MFS_GRAYED) Fail(L"popup menu item \"" + o.args[0] + L"\" is disabled");
  if (!chosen->placed) Fail(L"cannot find where the item \"" + o.args[0] + L"\" is on the screen");
  const size_t before = FindTopLevel(L"", L"#32768", false).size();
  MouseClick(POINT{(chosen->rect.left + chosen->rect.right) / 2, (chosen->rect.top + chosen->rect.bottom) / 2},
             false, false);
  const Deadline deadline(o.timeout);
  for (;;) {
    const size_t open = FindTopLevel(L"", L"#32768", false).size();
    if (chosen->submenu ? open > before : open == 0) return;
    if (deadline.Passed()) Fail(chosen->submenu ? L"the submenu did not open" : L"the popup menu did not close");
    Sleep(50);
  }
}

void Close(const Options& o) {
  if (o.args.empty()) Fail(L"usage: close TITLE", 2);
  PostMessageW(WaitTopLevel(o.args[0], o), WM_CLOSE, 0, 0);
}

void MessageBoxText(const Options& o) {
  const HWND dialog = WaitDialog(o);
  Print(Escape(CaptionOf(dialog)));
  for (HWND child : Descendants(dialog)) {
    if (_wcsicmp(ClassOf(child).c_str(), L"Static") != 0 || !IsWindowVisible(child)) continue;
    const LONG style = GetWindowLongW(child, GWL_STYLE);
    if ((style & SS_TYPEMASK) == SS_ICON || (style & SS_TYPEMASK) == SS_BITMAP) continue;
    const std::wstring text = TextOf(child);
    if (!text.empty()) Print(text);
  }
}

void MessageBoxClick(const Options& o) {
  if (o.args.empty()) Fail(L"usage: message-box-click BUTTON [--title CAPTION] [--timeout MS]", 2);
  const HWND dialog = WaitDialog(o);
  const HWND button = WaitControl(dialog, o.args[0], o);
  SendAction(button, BM_CLICK, 0, 0);
  const Deadline deadline(o.timeout);
  while (IsWindow(dialog) && IsWindowVisible(dialog)) {
    if (deadline.Passed()) Fail(L"the message box did not close");
    Sleep(50);
  }
}

// ---------------------------------------------------------------- self-test window

// A window with one of each control the driver handles. Every notification
// it receives is appended to a log, one line each, so that a test can check
// that the driver's actions arrive as a user's would.
namespace selftest {

std::wstring logPath;
HWND edit = nullptr;

void Log(const std::wstring& line) {
  const std::string bytes = ToUtf8(line + L"\n");
  HANDLE file = CreateFileW(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

enum : int {
  kPush = 101, kCheck = 102, kEdit = 103, kCombo = 104, kList = 105, kTab = 106, kMessage = 107,
  kHidden = 108, kDisabledButton = 109, kListBox = 110,
  kHello = 201, kExit = 202, kTicked = 203, kDisabled = 204,
  kOpen = 301, kRename = 302, kPicture = 303, kDeep = 311,
};

HMENU MainMenu() {
  HMENU file = CreatePopupMenu();
  AppendMenuW(file, MF_STRING, kHello, L"&Hello\tCtrl+H");
  AppendMenuW(file, MF_STRING | MF_CHECKED, kTicked, L"&Ticked");
  AppendMenuW(file, MF_STRING | MF_GRAYED, kDisabled, L"&Disabled");
  AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(file, MF_STRING, kExit, L"E&xit");
  HMENU bar = CreateMenu();
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
  return bar;
}

void ShowPopup(HWND window, int x, int y) {
  HMENU more = CreatePopupMenu();
  AppendMenuW(more, MF_STRING, kDeep, L"&Deep");
  HMENU popup = CreatePopupMenu();
  AppendMenuW(popup, MF_STRING, kOpen, L"&Open");
  AppendMenuW(popup, MF_STRING, kRename, L"名前の変更(&R)");
  AppendMenuW(popup, MF_STRING, kPicture, L"&Picture");
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_BITMAP;
  info.hbmpItem = HBMMENU_POPUP_CLOSE;
  SetMenuItemInfoW(popup, kPicture, FALSE, &info);
  AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(popup, MF_POPUP, reinterpret_cast<UINT_PTR>(more), L"&More");
  if (x == -1 && y == -1) {
    POINT p{40, 40};
    ClientToScreen(window, &p);
    x = p.x;
    y = p.y;
  }
  Log(L"popup shown");
  SetForegroundWindow(window);
  TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, x, y, 0, window, nullptr);
  PostMessageW(window, WM_NULL, 0, 0);
  DestroyMenu(popup);
}

HWND Control(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int id, int x, int y, int w, int h) {
  HWND c = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  return c;
}

void CreateControls(HWND window) {
  Control(window, L"Button", L"&Push", BS_PUSHBUTTON | WS_TABSTOP, kPush, 10, 10, 80, 24);
  Control(window, L"Button", L"Check me", BS_AUTOCHECKBOX | WS_TABSTOP, kCheck, 100, 10, 110, 24);
  Control(window, L"Button", L"Message...", BS_PUSHBUTTON | WS_TABSTOP, kMessage, 220, 10, 100, 24);
  Control(window, L"Button", L"Hidden", BS_PUSHBUTTON, kHidden, 330, 10, 60, 24);
  ShowWindow(GetDlgItem(window, kHidden), SW_HIDE);
  Control(window, L"Button", L"Disabled", BS_PUSHBUTTON | WS_DISABLED, kDisabledButton, 330, 42, 60, 24);
  HWND box = Control(window, L"ListBox", L"", LBS_NOTIFY | WS_BORDER | WS_VSCROLL, kListBox, 10, 272, 180, 44);
  for (const wchar_t* item : {L"one", L"二"}) SendMessageW(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  edit = Control(window, L"Edit", L"", WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP, kEdit, 10, 42, 200, 22);
  HWND combo = Control(window, L"ComboBox", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, kCombo, 220, 42, 150, 200);
  for (const wchar_t* item : {L"Alpha", L"ベータ", L"Gamma"}) {
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  }
  HWND list = Control(window, L"SysListView32", L"", LVS_REPORT | LVS_SHOWSELALWAYS | WS_BORDER | WS_TABSTOP, kList,
                      10, 74, 380, 120);
  const wchar_t* headers[] = {L"Name", L"Value"};
  for (int c = 0; c < 2; ++c) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = 170;
    column.pszText = const_cast<wchar_t*>(headers[c]);
    SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column));
  }
  const wchar_t* cells[3][2] = {{L"first", L"1"}, {L"second", L"日本語のテキスト"}, {L"third", L"tab\there"}};
  for (int r = 0; r < 3; ++r) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = r;
    item.pszText = const_cast<wchar_t*>(cells[r][0]);
    SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    item.iSubItem = 1;
    item.pszText = const_cast<wchar_t*>(cells[r][1]);
    SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(r), reinterpret_cast<LPARAM>(&item));
  }
  HWND tab = Control(window, L"SysTabControl32", L"", WS_CLIPSIBLINGS, kTab, 10, 204, 380, 60);
  const wchar_t* tabs[] = {L"First", L"二番目"};
  for (int i = 0; i < 2; ++i) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(tabs[i]);
    SendMessageW(tab, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
  }
}

void OnNotify(const NMHDR* header) {
  if (header->idFrom == kList) {
    if (header->code == LVN_ITEMCHANGED) {
      const auto* change = reinterpret_cast<const NMLISTVIEW*>(header);
      if ((change->uChanged & LVIF_STATE) && ((change->uNewState ^ change->uOldState) & LVIS_SELECTED)) {
        Log(L"listview item=" + std::to_wstring(change->iItem) +
            ((change->uNewState & LVIS_SELECTED) ? L" selected" : L" deselected"));
      }
    } else if (header->code == NM_DBLCLK || header->code == NM_CLICK || header->code == NM_RCLICK) {
      const auto* click = reinterpret_cast<const NMITEMACTIVATE*>(header);
      const wchar_t* what = header->code == NM_DBLCLK ? L"dblclk" : header->code == NM_CLICK ? L"click" : L"rclick";
      Log(std::wstring(L"listview ") + what + L" item=" + std::to_wstring(click->iItem));
    }
  } else if (header->idFrom == kTab && header->code == TCN_SELCHANGE) {
    Log(L"tab selchange index=" + std::to_wstring(SendMessageW(header->hwndFrom, TCM_GETCURSEL, 0, 0)));
  }
}

void OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
  const int id = LOWORD(wParam);
  const int code = HIWORD(wParam);
  HWND control = reinterpret_cast<HWND>(lParam);
  if (control == nullptr) {
    Log(L"command " + std::to_wstring(id));
    if (id == kExit) DestroyWindow(window);
    return;
  }
  if (id == kPush && code == BN_CLICKED) {
    Log(L"clicked 101");
  } else if (id == kCheck && code == BN_CLICKED) {
    Log(L"check state=" + std::to_wstring(SendMessageW(control, BM_GETCHECK, 0, 0)));
  } else if (id == kMessage && code == BN_CLICKED) {
    const int answer = MessageBoxW(window, L"本文のテキスト\nsecond line", L"SelfTest box", MB_OKCANCEL | MB_ICONINFORMATION);
    Log(L"messagebox result=" + std::to_wstring(answer));
  } else if (id == kHidden || id == kDisabledButton) {
    Log(L"clicked " + std::to_wstring(id));
  } else if (id == kListBox && code == LBN_SELCHANGE) {
    Log(L"listbox selchange index=" + std::to_wstring(SendMessageW(control, LB_GETCURSEL, 0, 0)));
  } else if (id == kCombo && code == CBN_SELCHANGE) {
    const LRESULT index = SendMessageW(control, CB_GETCURSEL, 0, 0);
    wchar_t text[64] = {};
    if (index >= 0 && SendMessageW(control, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0) < 64) {
      SendMessageW(control, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    }
    Log(L"combo selchange index=" + std::to_wstring(index) + L" text=" + text);
  }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      CreateControls(window);
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) SetFocus(edit);
      return 0;
    case WM_COMMAND:
      OnCommand(window, wParam, lParam);
      return 0;
    case WM_NOTIFY:
      OnNotify(reinterpret_cast<const NMHDR*>(lParam));
      return 0;
    case WM_CONTEXTMENU:
      ShowPopup(window, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
      return 0;
    case WM_DESTROY:
      Log(L"destroyed");
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

int Run(const Options& o) {
  if (o.args.empty()) Fail(L"usage: selftest-window LOGFILE", 2);
  logPath = o.args[0];
  INITCOMMONCONTROLSEX init{};
  init.dwSize = sizeof init;
  init.dwICC = ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES;
  InitCommonControlsEx(&init);
  WNDCLASSW cls{};
  cls.lpfnWndProc = WindowProc;
  cls.hInstance = GetModuleHandleW(nullptr);
  cls.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  cls.lpszClassName = L"DriverSelfTestWindow";
  if (!RegisterClassW(&cls)) Fail(L"cannot register the window class");
  HWND window = CreateWindowExW(0, cls.lpszClassName, L"DriverSelfTest", WS_OVERLAPPEDWINDOW, 50, 50, 420, 380,
                                nullptr, MainMenu(), cls.hInstance, nullptr);
  if (window == nullptr) Fail(L"cannot create the window");
  ACCEL accel{FVIRTKEY | FCONTROL, 'H', kHello};
  HACCEL accelerators = CreateAcceleratorTableW(&accel, 1);
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  Log(L"ready");
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (TranslateAcceleratorW(window, accelerators, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  DestroyAcceleratorTable(accelerators);
  return 0;
}

}  // namespace selftest

const wchar_t kUsage[] =
    L"usage: driver SUBCOMMAND ARGS... [--timeout MS] [--contains] [--class CLASS]\n"
    L"  wait-window TITLE | wait-gone TITLE | list-windows | list-controls TITLE | focus TITLE [CONTROL]\n"
    L"  mouse-click TITLE CONTROL [X Y] [--right] [--double] [--mouse]\n"
    L"  click TITLE CONTROL | get-check TITLE CONTROL | set-text TITLE CONTROL TEXT | get-text TITLE CONTROL\n"
    L"  combo-items TITLE CONTROL [--selected] | combo-select TITLE CONTROL INDEX|TEXT\n"
    L"  listbox-items TITLE CONTROL [--selected] | listbox-select TITLE CONTROL INDEX|TEXT\n"
    L"  listview-items TITLE CONTROL [--header] [--selected] | listview-select TITLE CONTROL INDEX [--add]\n"
    L"  listview-click TITLE CONTROL INDEX [--double] [--right] [--mouse] | listview-dblclick TITLE CONTROL INDEX\n"
    L"  context-menu TITLE CONTROL | tab-select TITLE INDEX [--control C] | tab-items TITLE [--selected]\n"
    L"  key TITLE|- KEYS | menu TITLE ITEM | menu-items TITLE | popup-menu-items | popup-menu-choose ITEM\n"
    L"  close TITLE\n"
    L"  message-box-text [--title CAPTION] | message-box-click BUTTON [--title CAPTION]\n";

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) Fail(kUsage, 2);
  const std::wstring command = argv[1];
  Options o;
  for (int i = 2; i < argc; ++i) {
    const std::wstring arg = argv[i];
    auto value = [&](const wchar_t* name) {
      if (i + 1 >= argc) Fail(std::wstring(name) + L" needs a value", 2);
      return std::wstring(argv[++i]);
    };
    if (arg == L"--") {
      for (++i; i < argc; ++i) o.args.push_back(argv[i]);
    } else if (arg == L"--timeout") {
      o.timeout = static_cast<DWORD>(NumberArg(value(L"--timeout"), L"timeout"));
    } else if (arg == L"--class") {
      o.windowClass = value(L"--class");
    } else if (arg == L"--title") {
      o.title = value(L"--title");
    } else if (arg == L"--control") {
      o.control = value(L"--control");
    } else if (arg == L"--contains") {
      o.contains = true;
    } else if (arg == L"--selected") {
      o.selected = true;
    } else if (arg == L"--header") {
      o.header = true;
    } else if (arg == L"--right") {
      o.right = true;
    } else if (arg == L"--double") {
      o.twice = true;
    } else if (arg == L"--mouse") {
      o.mouse = true;
    } else if (arg == L"--add") {
      o.add = true;
    } else {
      o.args.push_back(arg);
    }
  }
  if (command == L"wait-window") WaitWindow(o);
  else if (command == L"wait-gone") WaitGone(o);
  else if (command == L"list-windows") ListWindows(o);
  else if (command == L"list-controls") ListControls(o);
  else if (command == L"focus") Focus(o);
  else if (command == L"click") Click(o);
  else if (command == L"mouse-click") MouseClickCommand(o);
  else if (command == L"get-check") GetCheck(o);
  else if (command == L"set-text") SetText(o);
  else if (command == L"get-text") GetText(o);
  else if (command == L"combo-items") ComboItems(o, true);
  else if (command == L"combo-select") ComboSelect(o, true);
  else if (command == L"listbox-items") ComboItems(o, false);
  else if (command == L"listbox-select") ComboSelect(o, false);
  else if (command == L"listview-items") ListViewItems(o);
  else if (command == L"listview-select") ListViewSelectCommand(o);
  else if (command == L"listview-click") ListViewClick(o, o.twice);
  else if (command == L"listview-dblclick") ListViewClick(o, true);
  else if (command == L"context-menu") ContextMenu(o);
  else if (command == L"tab-select") TabSelect(o);
  else if (command == L"tab-items") TabItems(o);
  else if (command == L"key") Key(o);
  else if (command == L"menu") MenuCommand(o);
  else if (command == L"menu-items") MenuItems(o);
  else if (command == L"popup-menu-items") PopupMenuItems(o);
  else if (command == L"popup-menu-choose") PopupMenuChoose(o);
  else if (command == L"close") Close(o);
  else if (command == L"message-box-text") MessageBoxText(o);
  else if (command == L"message-box-click") MessageBoxClick(o);
  else if (command == L"selftest-window") return selftest::Run(o);
  else Fail(L"unknown subcommand " + command + L"\n" + kUsage, 2);
  return 0;
}
