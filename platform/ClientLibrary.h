// ClientLibrary.h
//
// The Oracle client library, loaded at run time by its name as the client installs it
// (OCI.DLL on Windows; libclntsh.so, then its versioned names, elsewhere) through the system's
// own search: never linked, never freed. When none loads, the reason is one line for the user:
// none found (and what to install), one built for another machine (read from its header), or
// the loader's own reason.
#pragma once

#include <string>

struct ClientLibraryLoad {
    // Null when no library loaded.
    void* hLibrary = nullptr;
    // The library's name as the messages give it ("oci.dll", "libclntsh.so").
    std::string strName;
    // Why none loaded, one line (empty when one did).
    std::string strReason;
};

ClientLibraryLoad LoadClientLibrary();
// The library's name as the messages give it.
const char* ClientLibraryName();
// The library as the texts of a failed call name it ("OCI.DLL", "libclntsh.so").
const char* ClientLibraryTitle();

using EntryAddress = void (*)();
// The address of an exported entry point; null when the library lacks it.
EntryAddress ClientLibraryEntry(void* hLibrary, const char* pszName);
