// The Linux qmexport's own _dl_find_object and arc4random (platform/posix/GlibcCompat.cpp),
// held against glibc's: the unwinder finds every frame's tables through the first, so any
// difference from glibc's answer can lose an exception. This program is linked as qmexport
// is (the C++ runtime linked in), so its own exceptions unwind through them too.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <memory>
#include <set>
#include <stdexcept>
#include <string>

namespace {

[[noreturn]] void ThrowThrough(int nDepth)
{
    if (nDepth == 0)
        throw std::runtime_error("thrown through frames");
    ThrowThrough(nDepth - 1);
}

TEST(GlibcCompatTest, ExceptionCrossesFramesAndIsCaught)
{
    try {
        ThrowThrough(20);
        FAIL() << "nothing was thrown";
    } catch (const std::runtime_error& failure) {
        EXPECT_STREQ(failure.what(), "thrown through frames");
    }
}

// Built against a glibc that has them, the program defines its own; older ones it leaves be.
#if __GLIBC_PREREQ(2, 35)
using FindObject = int (*)(void*, struct dl_find_object*);

int g_nProgramData = 1;

// glibc's own _dl_find_object, looked up in the C library itself (this program's definition
// shadows it for everyone else).
FindObject GlibcFindObject()
{
    void* pLibrary = dlopen("libc.so.6", RTLD_LAZY | RTLD_NOLOAD);
    if (pLibrary == nullptr)
        return nullptr;
    return reinterpret_cast<FindObject>(dlvsym(pLibrary, "_dl_find_object", "GLIBC_2.35"));
}

struct Probe {
    const char* pszWhat;
    void* pAddress;
};

TEST(GlibcCompatTest, FindsEveryObjectAsGlibcDoes)
{
    const FindObject glibc = GlibcFindObject();
    ASSERT_NE(glibc, nullptr) << dlerror();
    ASSERT_NE(reinterpret_cast<void*>(glibc), reinterpret_cast<void*>(&_dl_find_object));

    // A library loaded after start-up, as the client library is.
    void* pLoaded = dlopen("libresolv.so.2", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(pLoaded, nullptr) << dlerror();
    std::unique_ptr<void, int (*)(void*)> closer(pLoaded, dlclose);
    void* pLoadedCode = dlsym(pLoaded, "res_ninit");
    if (pLoadedCode == nullptr)
        pLoadedCode = dlsym(pLoaded, "__res_ninit");
    ASSERT_NE(pLoadedCode, nullptr) << dlerror();
    const auto heap = std::make_unique<char[]>(64);
    int nStack = 0;

    const Probe probes[] = {
        {"the program's code", reinterpret_cast<void*>(&ThrowThrough)},
        {"the program's data", &g_nProgramData},
        {"the C library's code", reinterpret_cast<void*>(&printf)},
        {"the C library's own finder", reinterpret_cast<void*>(glibc)},
        {"the loader's code", dlsym(RTLD_DEFAULT, "_dl_debug_state")},
        {"a library opened later", pLoadedCode},
        {"the heap", heap.get()},
        {"the stack", &nStack},
        {"address zero", nullptr},
        {"the last address", reinterpret_cast<void*>(UINTPTR_MAX)},
    };
    for (const Probe& probe : probes) {
        SCOPED_TRACE(probe.pszWhat);
        struct dl_find_object expected {};
        struct dl_find_object found {};
        const int nExpected = glibc(probe.pAddress, &expected);
        ASSERT_EQ(_dl_find_object(probe.pAddress, &found), nExpected);
        if (nExpected != 0)
            continue;
        EXPECT_EQ(found.dlfo_flags, expected.dlfo_flags);
        EXPECT_EQ(found.dlfo_map_start, expected.dlfo_map_start);
        EXPECT_EQ(found.dlfo_map_end, expected.dlfo_map_end);
        EXPECT_EQ(found.dlfo_link_map, expected.dlfo_link_map);
        EXPECT_EQ(found.dlfo_eh_frame, expected.dlfo_eh_frame);
        EXPECT_NE(found.dlfo_eh_frame, nullptr);
    }
}

// Both ends of every object's mapping as glibc reports them: the first byte is in the object,
// the byte past the end is not (or is another object's).
TEST(GlibcCompatTest, MappingEndsAsGlibcDraws)
{
    const FindObject glibc = GlibcFindObject();
    ASSERT_NE(glibc, nullptr) << dlerror();
    struct dl_find_object object {};
    ASSERT_EQ(glibc(reinterpret_cast<void*>(&ThrowThrough), &object), 0);
    auto* pStart = static_cast<char*>(object.dlfo_map_start);
    auto* pEnd = static_cast<char*>(object.dlfo_map_end);
    for (void* pAddress : {static_cast<void*>(pStart), static_cast<void*>(pEnd - 1),
                           static_cast<void*>(pEnd), static_cast<void*>(pStart - 1)}) {
        struct dl_find_object expected {};
        struct dl_find_object found {};
        const int nExpected = glibc(pAddress, &expected);
        ASSERT_EQ(_dl_find_object(pAddress, &found), nExpected) << pAddress;
        if (nExpected == 0) {
            EXPECT_EQ(found.dlfo_map_start, expected.dlfo_map_start) << pAddress;
        }
    }
}

#endif

#if __GLIBC_PREREQ(2, 36)
TEST(GlibcCompatTest, RandomNumbersVary)
{
    std::set<uint32_t> seen;
    for (int i = 0; i < 16; ++i)
        seen.insert(arc4random());
    // Sixteen draws of 32 bits repeat with a chance of about 3e-8.
    EXPECT_GE(seen.size(), 15u);
}
#endif

}  // namespace
