// GlibcCompat.cpp
//
// Linked into the Linux qmexport only, which carries its C++ runtime (libstdc++ and libgcc,
// linked statically) so that it needs nothing but the C library. Built against a newer glibc,
// that runtime asks for two functions glibc added after 2.34: libgcc's unwinder calls
// _dl_find_object (2.35) to find the unwind tables of the code a thrown exception passes
// through, and libstdc++'s random_device refers to arc4random (2.36). Defined here, the
// program resolves them to these definitions and runs on any glibc from 2.34 on (Ubuntu
// 22.04, RHEL 9). Both keep the contracts glibc documents for them. They are hidden: only the
// program's own runtime calls them, and a library it loads (the Oracle client) keeps the
// system's. Built against an older glibc, whose runtime asks for neither, the file defines
// nothing.

#include <dlfcn.h>
#include <elf.h>
#include <errno.h>
#include <fcntl.h>
#include <link.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/random.h>
#include <unistd.h>

#if __GLIBC_PREREQ(2, 35)
#if !defined(__x86_64__) || DLFO_STRUCT_HAS_EH_DBASE || DLFO_STRUCT_HAS_EH_COUNT
#error "The dl_find_object record below is x86-64's: no base for data-relative pointers, no count"
#endif

namespace {

// What one walk over the loaded objects looks for and finds.
struct ObjectSearch {
    uintptr_t address;
    bool found;
    uintptr_t mapStart;
    uintptr_t mapEnd;
    uintptr_t ehFrameHeader;  // 0: the object has no PT_GNU_EH_FRAME segment
};

// Called by dl_iterate_phdr for each loaded object: takes the object whose loaded segments
// span the address and stops the walk there. The span is the loader's mapping of the object:
// from the page that holds the lowest segment's start to the highest segment's end.
int MatchObject(struct dl_phdr_info* pInfo, size_t, void* pData)
{
    auto& search = *static_cast<ObjectSearch*>(pData);
    uintptr_t low = UINTPTR_MAX;
    uintptr_t high = 0;
    uintptr_t ehFrameHeader = 0;
    for (ElfW(Half) i = 0; i < pInfo->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = pInfo->dlpi_phdr[i];
        if (segment.p_type == PT_LOAD) {
            const uintptr_t start = pInfo->dlpi_addr + segment.p_vaddr;
            const uintptr_t end = start + segment.p_memsz;
            if (start < low)
                low = start;
            if (end > high)
                high = end;
        } else if (segment.p_type == PT_GNU_EH_FRAME) {
            ehFrameHeader = pInfo->dlpi_addr + segment.p_vaddr;
        }
    }
    if (low >= high)
        return 0;
    low &= ~(static_cast<uintptr_t>(getpagesize()) - 1);
    if (search.address < low || search.address >= high)
        return 0;
    search.found = true;
    search.mapStart = low;
    search.mapEnd = high;
    search.ehFrameHeader = ehFrameHeader;
    return 1;
}

// The loader's record of the object that holds the address, or null when it keeps none.
struct link_map* LinkMapOf(uintptr_t address)
{
    Dl_info info;
    struct link_map* pMap = nullptr;
    if (dladdr1(reinterpret_cast<void*>(address), &info, reinterpret_cast<void**>(&pMap),
                RTLD_DL_LINKMAP) == 0)
        return nullptr;
    return pMap;
}

}  // namespace

// glibc's contract: when an object loaded in the process holds the address, fills *pResult
// (the object's mapping, its link map, its PT_GNU_EH_FRAME data or null) and returns 0;
// otherwise returns -1. The unwinder relies on it for every frame a thrown exception passes.
extern "C" __attribute__((visibility("hidden"))) int
_dl_find_object(void* pAddress, struct dl_find_object* pResult) noexcept
{
    ObjectSearch search{reinterpret_cast<uintptr_t>(pAddress), false, 0, 0, 0};
    dl_iterate_phdr(MatchObject, &search);
    if (!search.found)
        return -1;
    *pResult = {};
    pResult->dlfo_flags = 0;
    pResult->dlfo_map_start = reinterpret_cast<void*>(search.mapStart);
    pResult->dlfo_map_end = reinterpret_cast<void*>(search.mapEnd);
    pResult->dlfo_link_map = LinkMapOf(search.address);
    pResult->dlfo_eh_frame = reinterpret_cast<void*>(search.ehFrameHeader);
    return 0;
}
#endif

#if __GLIBC_PREREQ(2, 36)
namespace {

// Fills the buffer from the kernel's random source: getrandom, else /dev/urandom. Returns
// false only when neither can be read.
bool FillRandom(void* pBuffer, size_t nSize)
{
    auto* pBytes = static_cast<unsigned char*>(pBuffer);
    size_t nDone = 0;
    while (nDone < nSize) {
        const ssize_t nRead = getrandom(pBytes + nDone, nSize - nDone, 0);
        if (nRead > 0) {
            nDone += static_cast<size_t>(nRead);
        } else if (nRead == 0 || errno != EINTR) {
            break;
        }
    }
    if (nDone == nSize)
        return true;
    const int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    while (nDone < nSize) {
        const ssize_t nRead = read(fd, pBytes + nDone, nSize - nDone);
        if (nRead > 0) {
            nDone += static_cast<size_t>(nRead);
        } else if (nRead == 0 || errno != EINTR) {
            break;
        }
    }
    close(fd);
    return nDone == nSize;
}

}  // namespace

// glibc's contract: a uniformly random 32-bit number from the kernel's source; it never
// fails (the process ends when no random bytes can be had at all, as glibc's does).
extern "C" __attribute__((visibility("hidden"))) uint32_t arc4random(void) noexcept
{
    uint32_t nValue = 0;
    if (!FillRandom(&nValue, sizeof nValue))
        abort();
    return nValue;
}
#endif
