#include "oci-lite/CodePages.h"

#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace ocilite {

namespace {

struct PackedCodePage {
    unsigned codePage;
    const char* leads;
    const char* single;
    const char* pairs;
    const char* exceptions;
};

const PackedCodePage kPackedCodePages[] = {
#include "oci-lite/CodePageData.inc"
};

constexpr char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz#$";
constexpr unsigned kNone = 0xFFFF;

// Reads the packed 16-bit values (three characters each) of one string.
class ValueReader {
public:
    explicit ValueReader(const char* text) : m_text(text), m_length(std::strlen(text)) {}

    bool AtEnd() const { return m_pos + 3 > m_length; }
    unsigned Next()
    {
        unsigned value = 0;
        for (int i = 0; i < 3; ++i)
            value = (value << 6) | Digit(m_text[m_pos++]);
        return value;
    }

private:
    static unsigned Digit(char c)
    {
        return static_cast<unsigned>(std::strchr(kAlphabet, c) - kAlphabet);
    }

    const char* m_text;
    size_t m_length;
    size_t m_pos = 0;
};

// The runs of tools/pack-code-pages.py, unfolded.
std::vector<char16_t> Unpack(const char* text)
{
    std::vector<char16_t> values;
    ValueReader reader(text);
    while (!reader.AtEnd()) {
        const unsigned header = reader.Next();
        if (header < 0x8000) {
            for (unsigned i = 0; i < header; ++i)
                values.push_back(static_cast<char16_t>(reader.Next()));
            continue;
        }
        const unsigned count = header & 0x3FFF;
        const unsigned first = reader.Next();
        const bool counting = (header & 0x4000) != 0;
        for (unsigned i = 0; i < count; ++i)
            values.push_back(static_cast<char16_t>(counting ? first + i : first));
    }
    return values;
}

// One code page's tables, unpacked on first use.
struct Table {
    bool isLead[256] = {};
    int leadRow[256] = {};                            // index of the lead's row in pairs
    std::vector<char16_t> single;                     // 256
    std::vector<char16_t> pairs;                      // 256 per lead byte
    std::unordered_map<char16_t, unsigned> encoding;  // unit -> byte or lead << 8 | trail

    explicit Table(const PackedCodePage& packed)
    {
        single = Unpack(packed.single);
        pairs = Unpack(packed.pairs);
        ValueReader leads(packed.leads);
        for (int row = 0; !leads.AtEnd(); ++row) {
            const unsigned lead = leads.Next() & 0xFF;
            isLead[lead] = true;
            leadRow[lead] = row;
        }
        for (unsigned byte = 0; byte < 256; ++byte) {
            if (!isLead[byte])
                encoding.emplace(single[byte], byte);
        }
        for (unsigned lead = 0; lead < 256; ++lead) {
            if (!isLead[lead])
                continue;
            for (unsigned trail = 1; trail < 256; ++trail)
                encoding.emplace(pairs[leadRow[lead] * 256 + trail], (lead << 8) | trail);
        }
        ValueReader exceptions(packed.exceptions);
        while (!exceptions.AtEnd()) {
            const char16_t unit = static_cast<char16_t>(exceptions.Next());
            const unsigned bytes = exceptions.Next();
            if (bytes == kNone)
                encoding.erase(unit);
            else
                encoding[unit] = bytes;
        }
    }
};

const Table* TableOf(unsigned codePage)
{
    constexpr size_t kCount = sizeof kPackedCodePages / sizeof kPackedCodePages[0];
    static std::once_flag once[kCount];
    static const Table* tables[kCount] = {};
    for (size_t i = 0; i < kCount; ++i) {
        if (kPackedCodePages[i].codePage != codePage)
            continue;
        // Made once and kept for the process: the library's conversions may run until it ends.
        std::call_once(once[i], [i] { tables[i] = new Table(kPackedCodePages[i]); });
        return tables[i];
    }
    return nullptr;
}

}  // namespace

bool CodePages::Has(unsigned codePage)
{
    for (const PackedCodePage& packed : kPackedCodePages) {
        if (packed.codePage == codePage)
            return true;
    }
    return false;
}

std::u16string CodePages::Decode(unsigned codePage, const std::string& text)
{
    const Table* table = TableOf(codePage);
    std::u16string wide;
    if (table == nullptr)
        return wide;
    wide.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        if (table->isLead[byte] && i + 1 < text.size() && text[i + 1] != '\0') {
            const unsigned char trail = static_cast<unsigned char>(text[++i]);
            wide += table->pairs[static_cast<size_t>(table->leadRow[byte]) * 256 + trail];
        } else {
            wide += table->single[byte];
        }
    }
    return wide;
}

std::string CodePages::Encode(unsigned codePage, const std::u16string& text,
                              const char* replacement)
{
    const Table* table = TableOf(codePage);
    std::string narrow;
    if (table == nullptr)
        return narrow;
    narrow.reserve(text.size());
    for (char16_t unit : text) {
        const auto found = table->encoding.find(unit);
        if (found == table->encoding.end()) {
            narrow += replacement;
        } else if (found->second > 0xFF) {
            narrow += static_cast<char>(found->second >> 8);
            narrow += static_cast<char>(found->second & 0xFF);
        } else {
            narrow += static_cast<char>(found->second);
        }
    }
    return narrow;
}

}  // namespace ocilite
