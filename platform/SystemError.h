// SystemError.h
//
// SystemError: the system's number for why a call failed (GetLastError's on Windows, errno's
// elsewhere), carried from the call that failed to the message that names it. The reasons the
// program acts on have names of their own here, each the system's own number for it.
#pragma once

#include "framework/String.h"

using SystemError = unsigned long;

namespace SystemErrors {

extern const SystemError kNone;
// The name or path is longer than the system takes (or the file system made another of it).
extern const SystemError kNameTooLong;
extern const SystemError kFileNotFound;
extern const SystemError kPathNotFound;
extern const SystemError kAccessDenied;
// Something of that name is there already (a file, a folder).
extern const SystemError kAlreadyExists;
extern const SystemError kFileExists;
// A folder was expected and something else is there.
extern const SystemError kNotFolder;
extern const SystemError kDiskFull;

}  // namespace SystemErrors

// The reason the calling thread's last failed system call left.
SystemError LastSystemError();

// The system's text for the reason ("The system cannot find the path specified.", "No such
// file or directory"), on one line, UTF-8; "System error N." when it has none.
CString SystemErrorText(SystemError nError);
