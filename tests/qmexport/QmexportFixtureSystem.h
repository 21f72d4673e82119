// QmexportFixtureSystem.h
//
// The fixture's calls into the system it runs on, one implementation per system
// (QmexportFixtureWindows.cpp, QmexportFixtureLinux.cpp); the rest of the fixture is shared.
#pragma once

#include <map>
#include <string>

#include "tests/qmexport/QmexportFixture.h"

namespace QmexportTest {
namespace SystemPart {

// The temporary folder, with a trailing separator, and a name for this process.
std::string TempRoot();
std::string ProcessTag();
// Sets the variable in this process (and so for the children it starts).
void SetVariable(const char* pszName, const std::string& strValue);
// Removes the folder (path with a trailing separator) with everything in it; a link inside is
// removed, never followed.
void RemoveTree(const std::string& strFolder);
// Runs the program with the command line (split by Windows' rules), the environment changed as
// given (kRemoveVariable removes), and the options' input, watch and time limit.
RunResult Run(const std::string& strProgram, const std::string& strArguments,
              const std::map<std::string, std::string>& environment, const RunOptions& options);

}  // namespace SystemPart
}  // namespace QmexportTest
