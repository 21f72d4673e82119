// PickerListing.cpp: the picker's listing thread and its hand-over to the window.
#include "dialogs/PickerListing.h"

#include <utility>

PickerListing::PickerListing(ExportParams params, HWND hWnd, UINT uMessage)
    : m_params(std::move(params)), m_hWnd(hWnd), m_uMessage(uMessage)
{}

std::shared_ptr<PickerListing> PickerListing::Start(ExportParams params, HWND hWnd, UINT uMessage,
                                                    const ThreadStarter& startThread, DWORD& nError)
{
    params.interrupt = std::make_shared<DBInterrupt>();
    std::shared_ptr<PickerListing> listing(new PickerListing(std::move(params), hWnd, uMessage));
    // The thread holds the listing as long as it runs, whether or not the picker still does.
    const ThreadStart start = startThread([listing] { listing->Run(); });
    nError = start.nError;
    if (!start.Started())
        return nullptr;
    return listing;
}

void PickerListing::Run()
{
    std::vector<ExportObjectId> objects;
    ExportEnding ending = ListExportObjects(m_params, objects);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_objects = std::move(objects);
    m_ending = std::move(ending);
    if (m_hWnd != nullptr)
        ::PostMessageA(m_hWnd, m_uMessage, 0, 0);
}

void PickerListing::Take(std::vector<ExportObjectId>& objects, ExportEnding& ending)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    objects = std::move(m_objects);
    ending = std::move(m_ending);
}

void PickerListing::Abandon(const ThreadStarter& startThread)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_hWnd = nullptr;
    }
    DeliverBreak(m_params.interrupt, startThread);
}
