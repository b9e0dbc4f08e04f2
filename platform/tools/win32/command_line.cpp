// Quoting by the rules the C run time uses to split a command line: backslashes are literal except
// before a quote, where they are doubled and the quote is escaped.
#include "platform/tools/win32/command_line.h"

void AppendQuotedArgument(std::string* pCommandLine, const std::string& argument) {
    if (!pCommandLine->empty()) {
        *pCommandLine += ' ';
    }
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
        *pCommandLine += argument;
        return;
    }
    *pCommandLine += '"';
    size_t nBackslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++nBackslashes;
            continue;
        }
        // Backslashes count only before a quote: there they are doubled and the quote escaped.
        pCommandLine->append(c == '"' ? nBackslashes * 2 + 1 : nBackslashes, '\\');
        *pCommandLine += c;
        nBackslashes = 0;
    }
    pCommandLine->append(nBackslashes * 2, '\\');
    *pCommandLine += '"';
}
