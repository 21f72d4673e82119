// Reading dialog templates. The layouts are those that the dialog manager reads: a
// header, then each item aligned on a 32-bit boundary; strings are UTF-16, and a
// string field that starts with 0xFFFF holds a number instead.
#include "DialogTemplate.h"

#include <cstdint>
#include <cstring>

namespace {

// Walks the bytes of a template; every read checks the bounds, so a malformed
// template makes the parse fail instead of reading past the resource.
class Reader {
public:
    Reader(const BYTE* p, size_t n) : m_p(p), m_n(n) {}

    bool ok() const { return m_ok; }

    template <typename T>
    T Read()
    {
        T value{};
        if (m_pos + sizeof(T) > m_n) {
            m_ok = false;
            return value;
        }
        std::memcpy(&value, m_p + m_pos, sizeof(T));
        m_pos += sizeof(T);
        return value;
    }

    // A string field: text, or "#n" for a number, or "" when absent.
    std::string ReadSzOrOrd()
    {
        const WORD first = Read<WORD>();
        if (first == 0xFFFF)
            return "#" + std::to_string(Read<WORD>());
        std::wstring w;
        for (WORD c = first; m_ok && c != 0; c = Read<WORD>())
            w.push_back(wchar_t(c));
        return Narrow(w);
    }

    std::string ReadSz()
    {
        std::wstring w;
        for (WORD c = Read<WORD>(); m_ok && c != 0; c = Read<WORD>())
            w.push_back(wchar_t(c));
        return Narrow(w);
    }

    void AlignDword() { m_pos = (m_pos + 3) & ~size_t(3); }
    void Skip(size_t n)
    {
        if (m_pos + n > m_n)
            m_ok = false;
        else
            m_pos += n;
    }

private:
    static std::string Narrow(const std::wstring& w)
    {
        if (w.empty())
            return {};
        const int n = ::WideCharToMultiByte(CP_ACP, 0, w.c_str(), int(w.size()), nullptr, 0,
                                            nullptr, nullptr);
        std::string s(size_t(n), '\0');
        ::WideCharToMultiByte(CP_ACP, 0, w.c_str(), int(w.size()), &s[0], n, nullptr, nullptr);
        return s;
    }

    const BYTE* m_p;
    size_t m_n;
    size_t m_pos = 0;
    bool m_ok = true;
};

// The predefined control classes that a template names by number.
std::string ClassName(const std::string& s)
{
    if (s == "#128")
        return "Button";
    if (s == "#129")
        return "Edit";
    if (s == "#130")
        return "Static";
    if (s == "#131")
        return "ListBox";
    if (s == "#132")
        return "ScrollBar";
    if (s == "#133")
        return "ComboBox";
    return s;
}

RECT MakeRect(short x, short y, short cx, short cy)
{
    return RECT{x, y, x + cx, y + cy};
}

}  // namespace

bool LoadDialogTemplate(HMODULE hModule, UINT nId, DialogTemplate& out)
{
    HRSRC hRes =
        ::FindResourceA(hModule, MAKEINTRESOURCEA(nId), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    if (!hRes)
        return false;
    HGLOBAL hData = ::LoadResource(hModule, hRes);
    const BYTE* p = hData ? static_cast<const BYTE*>(::LockResource(hData)) : nullptr;
    if (!p)
        return false;

    out = DialogTemplate{};
    const DWORD size = ::SizeofResource(hModule, hRes);
    WORD head[2] = {0, 0};
    if (size >= sizeof(head))
        std::memcpy(head, p, sizeof(head));
    out.extended = (head[0] == 1 && head[1] == 0xFFFF);
    Reader r(p, size);
    WORD count = 0;
    if (out.extended) {
        r.Read<DWORD>();  // version and signature
        r.Read<DWORD>();  // help id
        out.exStyle = r.Read<DWORD>();
        out.style = r.Read<DWORD>();
    } else {
        out.style = r.Read<DWORD>();
        out.exStyle = r.Read<DWORD>();
    }
    count = r.Read<WORD>();
    const short x = r.Read<short>(), y = r.Read<short>(), cx = r.Read<short>(),
                cy = r.Read<short>();
    out.rc = MakeRect(x, y, cx, cy);
    r.ReadSzOrOrd();  // menu
    r.ReadSzOrOrd();  // window class
    out.caption = r.ReadSz();
    if (out.style & (DS_SETFONT | DS_FIXEDSYS)) {
        out.pointSize = r.Read<WORD>();
        if (out.extended) {
            r.Read<WORD>();  // weight
            r.Read<BYTE>();  // italic
            r.Read<BYTE>();  // character set
        }
        out.typeface = r.ReadSz();
    }

    for (WORD i = 0; i < count && r.ok(); ++i) {
        r.AlignDword();
        DialogItem item;
        if (out.extended) {
            r.Read<DWORD>();  // help id
            item.exStyle = r.Read<DWORD>();
            item.style = r.Read<DWORD>();
        } else {
            item.style = r.Read<DWORD>();
            item.exStyle = r.Read<DWORD>();
        }
        const short ix = r.Read<short>(), iy = r.Read<short>(), icx = r.Read<short>(),
                    icy = r.Read<short>();
        item.rc = MakeRect(ix, iy, icx, icy);
        item.id = out.extended ? int(r.Read<int32_t>()) : int(short(r.Read<WORD>()));
        item.className = ClassName(r.ReadSzOrOrd());
        item.text = r.ReadSzOrOrd();
        r.Skip(r.Read<WORD>());  // creation data
        out.items.push_back(item);
    }
    return r.ok() && out.items.size() == count;
}
