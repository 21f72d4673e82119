// MessageBoxWatcher.cpp
#include "support/MessageBoxWatcher.h"

#include <utility>

namespace {

struct Search {
    const std::string* pstrTitle;
    std::vector<HWND> found;
};

// A named CALLBACK function, since a lambda converts only to a cdecl pointer and 32-bit
// Windows calls this with stdcall.
BOOL CALLBACK CollectBox(HWND hWnd, LPARAM lParam)
{
    auto* pSearch = reinterpret_cast<Search*>(lParam);
    DWORD nProcess = 0;
    ::GetWindowThreadProcessId(hWnd, &nProcess);
    if (nProcess != ::GetCurrentProcessId() || !::IsWindowVisible(hWnd))
        return TRUE;
    char szClass[32] = {};
    char szTitle[64] = {};
    ::GetClassNameA(hWnd, szClass, sizeof(szClass));
    ::GetWindowTextA(hWnd, szTitle, sizeof(szTitle));
    if (std::string(szClass) == "#32770" && szTitle == *pSearch->pstrTitle)
        pSearch->found.push_back(hWnd);
    return TRUE;
}

std::string FieldText(HWND hBox)
{
    HWND hText = ::GetDlgItem(hBox, 1032);
    const int nLength = ::GetWindowTextLengthA(hText);
    std::string strText(size_t(nLength) + 1, '\0');
    const int nCopied = ::GetWindowTextA(hText, &strText[0], nLength + 1);
    strText.resize(size_t(nCopied > 0 ? nCopied : 0));
    return strText;
}

}  // namespace

MessageBoxWatcher::MessageBoxWatcher(Hook hook, std::string strTitle)
    : MessageBoxWatcher(std::move(hook), Options{CloseWith::Ok, 1, 0, std::move(strTitle)})
{}

MessageBoxWatcher::MessageBoxWatcher(Hook hook, Options options)
    : m_hook(std::move(hook)), m_options(std::move(options))
{
    m_thread = std::thread([this] { Run(); });
}

MessageBoxWatcher::~MessageBoxWatcher()
{
    m_bStop = true;
    // The watcher reads window texts, which are messages to this thread's windows: keep
    // answering them until it has finished.
    while (!m_bFinished) {
        MSG msg;
        ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        ::Sleep(1);
    }
    m_thread.join();
}

std::vector<std::string> MessageBoxWatcher::Texts() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_texts;
}

size_t MessageBoxWatcher::Count() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_texts.size();
}

std::vector<HWND> MessageBoxWatcher::FreshBoxes()
{
    for (auto it = m_handled.begin(); it != m_handled.end();) {
        if (!::IsWindow(*it))
            it = m_handled.erase(it);
        else
            ++it;
    }
    Search search{&m_options.strTitle, {}};
    ::EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&search));
    std::vector<HWND> fresh;
    for (HWND hBox : search.found) {
        if (m_handled.count(hBox) == 0)
            fresh.push_back(hBox);
    }
    return fresh;
}

void MessageBoxWatcher::Run()
{
    while (!m_bStop) {
        const std::vector<HWND> fresh = FreshBoxes();
        if (fresh.empty() || int(fresh.size()) < m_options.nTogether) {
            ::Sleep(5);
            continue;
        }
        if (m_options.nDelayMs != 0)
            ::Sleep(m_options.nDelayMs);
        for (HWND hBox : fresh) {
            m_handled.insert(hBox);
            HWND hOk = ::GetDlgItem(hBox, IDOK);
            if ((::GetWindowLongPtrA(hOk, GWL_STYLE) & BS_TYPEMASK) != BS_OWNERDRAW)
                m_bAllOwnerDrawn = false;
            const std::string strText = FieldText(hBox);
            if (m_hook)
                m_hook(hBox, strText);
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_texts.push_back(strText);
            }
            if (::IsWindow(hBox) && ::IsWindowVisible(hBox))
                Close(hBox);
        }
    }
    m_bFinished = true;
}

void MessageBoxWatcher::Close(HWND hBox) const
{
    HWND hOk = ::GetDlgItem(hBox, IDOK);
    if (m_options.closeWith == CloseWith::Ok) {
        ::PostMessageA(hBox, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                       reinterpret_cast<LPARAM>(hOk));
        return;
    }
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(hBox, nullptr), &info);
    HWND hFocus = info.hwndFocus != nullptr ? info.hwndFocus : hOk;
    const WPARAM nKey = m_options.closeWith == CloseWith::Enter ? VK_RETURN : VK_ESCAPE;
    ::PostMessageA(hFocus, WM_KEYDOWN, nKey, 1);
}
