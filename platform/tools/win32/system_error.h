// The system's own wording of a Windows error code, for the one-line reasons the tools print.
#pragma once

#include <string>

// "Text of the error (error N)"; never empty.
std::string SystemErrorText(unsigned long nError);
