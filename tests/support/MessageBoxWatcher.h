// MessageBoxWatcher.h
//
// MessageBoxWatcher: a thread that finds this process's visible dialogs of one caption (the
// program's message boxes, "Quillmark", unless told another: the About box, the object
// picker, the system's save-as dialog), records the text of their field 1032, hands each to a
// hook and then closes it with OK, Enter or Escape. The export tests and the user-interface
// tests watch their boxes with it.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

class MessageBoxWatcher {
public:
    // Runs on the watcher's thread for each box, before it is closed; it may close the box
    // itself.
    using Hook = std::function<void(HWND hBox, const std::string& strText)>;

    enum class CloseWith { Ok, Enter, Escape };

    struct Options {
        CloseWith closeWith = CloseWith::Ok;
        // The boxes are closed once this many are open at the same time (1: each at once).
        int nTogether = 1;
        // The wait before closing them.
        DWORD nDelayMs = 0;
        std::string strTitle = "Quillmark";
    };

    explicit MessageBoxWatcher(Hook hook = nullptr, std::string strTitle = "Quillmark");
    MessageBoxWatcher(Hook hook, Options options);
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    // The texts of the boxes seen, in order; a box counts once its hook has returned.
    std::vector<std::string> Texts() const;
    size_t Count() const;
    // Whether every OK button seen was bound as an owner-drawn (flat) button.
    bool AllOkButtonsOwnerDrawn() const { return m_bAllOwnerDrawn.load(); }

private:
    void Run();
    std::vector<HWND> FreshBoxes();
    void Close(HWND hBox) const;

    Hook m_hook;
    Options m_options;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bFinished{false};
    std::atomic<bool> m_bAllOwnerDrawn{true};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_texts;
    std::set<HWND> m_handled;
    std::thread m_thread;
};
