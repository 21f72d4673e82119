// ExternalPasswordStore.h
//
// ExternalPasswordStore: the secure external password store as the client finds it for an
// OCI_CRED_EXT logon. The folder named by TNS_ADMIN (else "network/admin" in the folder the
// library was loaded from) holds sqlnet.ora; when that file has
//     WALLET_LOCATION = (SOURCE = (METHOD = FILE) (METHOD_DATA = (DIRECTORY = <folder>)))
//     SQLNET.WALLET_OVERRIDE = TRUE
// (keywords in any case, blanks and line breaks anywhere, "#" to the end of a line a comment),
// <folder> holds oci-lite's stand-in for the wallet, "oci-lite-wallet.txt": one credential a
// line, the connect string, the user and the password separated by blanks; a line whose first
// non-blank character is "#" is a comment (a "#" elsewhere belongs to its field, as a password
// may hold one).
//
// Where the client's documentation leaves a point open, the store takes the side that makes a
// logon fail: the connect string must match exactly (case too), the first credential for it
// counts, a line without exactly three fields and a sqlnet.ora it cannot read whole (or whose
// parentheses nest more than 64 deep) count as nothing.
#pragma once

#include <string>

namespace ocilite {

struct StoredCredential {
    std::string user;      // UTF-8, as written
    std::string password;  // UTF-8, as written
};

class ExternalPasswordStore {
public:
    // The credential the store holds for connectString (as given to the attach); false when
    // there is no sqlnet.ora, no wallet location, no override, no wallet file or no line for it.
    static bool Find(const std::string& connectString, StoredCredential* credential);

    // The parts, for the conformance tests' reasoning and for Find.
    // The wallet folder sqlnet.ora's text names, with WALLET_OVERRIDE = TRUE; false otherwise.
    static bool WalletFolder(const std::string& sqlnetText, std::string* folder);
    // The first line of the wallet text for connectString.
    static bool Lookup(const std::string& walletText, const std::string& connectString,
                       StoredCredential* credential);
};

}  // namespace ocilite
