// UniqueHandle.h
//
// CUniqueHandle<Traits>: owns one handle that has a close function of its own and closes it
// exactly once; movable, not copyable. Traits names the handle type, the value that means
// "none" besides null, and the close function. The owners the program uses:
//   CHandle       - a kernel handle (CreateFileW, CreateThread): CloseHandle.
//   CFindHandle   - a FindFirstFileW search: FindClose.
//   CIconHandle   - an icon made or loaded as a copy (LoadImage, CopyImage): DestroyIcon.
//   CCursorHandle - a cursor made or loaded as a copy: DestroyCursor.
//   CBitmapHandle - a bitmap not held by a CBitmap: DeleteObject.
//   CModuleHandle - a module loaded by LoadLibrary(Ex): FreeLibrary.
//   CImageListHandle - an image list (ImageList_Create): ImageList_Destroy.
#pragma once

#include <windows.h>
#include <commctrl.h>

template <typename Traits>
class CUniqueHandle {
public:
    using Handle = typename Traits::Handle;

    explicit CUniqueHandle(Handle hHandle = Traits::None()) : m_hHandle(hHandle) {}
    ~CUniqueHandle() { Reset(); }
    CUniqueHandle(CUniqueHandle&& other) noexcept : m_hHandle(other.Release()) {}
    CUniqueHandle& operator=(CUniqueHandle&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    CUniqueHandle(const CUniqueHandle&) = delete;
    CUniqueHandle& operator=(const CUniqueHandle&) = delete;

    bool IsValid() const { return m_hHandle != Traits::None() && m_hHandle != Handle(); }
    Handle Get() const { return m_hHandle; }
    // Closes the handle held (if any) and holds hHandle instead.
    void Reset(Handle hHandle = Traits::None())
    {
        if (IsValid())
            Traits::Close(m_hHandle);
        m_hHandle = hHandle;
    }
    // Gives the handle up without closing it.
    Handle Release()
    {
        const Handle hHandle = m_hHandle;
        m_hHandle = Traits::None();
        return hHandle;
    }

private:
    Handle m_hHandle;
};

struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle None() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle hHandle) { ::CloseHandle(hHandle); }
};
struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle None() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle hHandle) { ::FindClose(hHandle); }
};
struct IconHandleTraits {
    using Handle = HICON;
    static Handle None() { return nullptr; }
    static void Close(Handle hHandle) { ::DestroyIcon(hHandle); }
};
struct CursorHandleTraits {
    using Handle = HCURSOR;
    static Handle None() { return nullptr; }
    static void Close(Handle hHandle) { ::DestroyCursor(hHandle); }
};
struct BitmapHandleTraits {
    using Handle = HBITMAP;
    static Handle None() { return nullptr; }
    static void Close(Handle hHandle) { ::DeleteObject(hHandle); }
};

struct ModuleHandleTraits {
    using Handle = HMODULE;
    static Handle None() { return nullptr; }
    static void Close(Handle hHandle) { ::FreeLibrary(hHandle); }
};
struct ImageListHandleTraits {
    using Handle = HIMAGELIST;
    static Handle None() { return nullptr; }
    static void Close(Handle hHandle) { ::ImageList_Destroy(hHandle); }
};

using CHandle = CUniqueHandle<KernelHandleTraits>;
using CFindHandle = CUniqueHandle<FindHandleTraits>;
using CIconHandle = CUniqueHandle<IconHandleTraits>;
using CCursorHandle = CUniqueHandle<CursorHandleTraits>;
using CBitmapHandle = CUniqueHandle<BitmapHandleTraits>;
using CModuleHandle = CUniqueHandle<ModuleHandleTraits>;
using CImageListHandle = CUniqueHandle<ImageListHandleTraits>;
