// Building a Windows command line that a child's run time splits back into the same arguments.
#pragma once

#include <string>

// Appends argument to *pCommandLine, separated by a blank and quoted where it needs to be.
void AppendQuotedArgument(std::string* pCommandLine, const std::string& argument);
