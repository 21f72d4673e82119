// The host on Linux: POSIX, and glibc's C.UTF-8 locale for letters.
#include "oci-lite/Host.h"

#include <dlfcn.h>
#include <locale.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>
#include <wctype.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "oci-lite/Utf16.h"

namespace ocilite {
namespace host {

namespace {

locale_t Utf8Locale()
{
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    return locale;
}

struct Decomposition {
    char16_t composed;
    char16_t parts[4];
};
const Decomposition kDecompositions[] = {
#include "oci-lite/LinuxDecompositions.inc"
};

}  // namespace

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::string SystemNlsLang()
{
    return std::string();
}

bool LibraryFolder(std::string* folder)
{
    Dl_info info = {};
    if (dladdr(reinterpret_cast<void*>(&LibraryFolder), &info) == 0 || info.dli_fname == nullptr)
        return false;
    const std::string path = info.dli_fname;
    const size_t slash = path.find_last_of('/');
    *folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    return true;
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    if (folder.empty() || folder.back() == '/')
        return folder + name;
    return folder + '/' + name;
}

bool IsFile(const std::string& path)
{
    struct stat status = {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool ReadWholeFile(const std::string& path, std::string* content)
{
    if (!IsFile(path))
        return false;
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (file == nullptr)
        return false;
    std::string text;
    char buffer[4096];
    size_t read = 0;
    while ((read = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        text.append(buffer, read);
    if (std::ferror(file.get()))
        return false;
    *content = std::move(text);
    return true;
}

unsigned long CurrentThreadId()
{
    return static_cast<unsigned long>(syscall(SYS_gettid));
}

unsigned long long MonotonicMilliseconds()
{
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<unsigned long long>(now.tv_sec) * 1000 +
           static_cast<unsigned long long>(now.tv_nsec) / 1000000;
}

void WaitMicroseconds(unsigned microseconds)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::microseconds(microseconds);
    if (microseconds >= 2000)
        std::this_thread::sleep_for(std::chrono::microseconds(microseconds - 1000));
    while (Clock::now() < end)
        std::this_thread::yield();
}

void DebugOutput(const std::string&) {}

CharacterClass ClassOf(char16_t c)
{
    const locale_t locale = Utf8Locale();
    const wint_t wide = static_cast<wint_t>(c);
    if (locale != nullptr ? iswalpha_l(wide, locale) : (c < 0x80 && std::isalpha(c)))
        return CharacterClass::kLetter;
    if (locale != nullptr ? iswdigit_l(wide, locale) : (c < 0x80 && std::isdigit(c)))
        return CharacterClass::kDigit;
    return CharacterClass::kOther;
}

char16_t LowerCase(char16_t c)
{
    const locale_t locale = Utf8Locale();
    if (locale == nullptr)
        return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
    const wint_t lower = towlower_l(static_cast<wint_t>(c), locale);
    return lower <= 0xFFFF ? static_cast<char16_t>(lower) : c;
}

std::u16string Decompose(const std::u16string& text)
{
    std::u16string decomposed;
    decomposed.reserve(text.size());
    for (char16_t c : text) {
        const Decomposition* end = std::end(kDecompositions);
        const Decomposition* found = std::lower_bound(
            std::begin(kDecompositions), end, c,
            [](const Decomposition& entry, char16_t value) { return entry.composed < value; });
        if (found == end || found->composed != c) {
            decomposed += c;
            continue;
        }
        for (char16_t part : found->parts) {
            if (part != 0)
                decomposed += part;
        }
    }
    return decomposed;
}

}  // namespace host
}  // namespace ocilite
