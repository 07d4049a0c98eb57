// SystemError: the Win32 error of a failed call, as the text a user reads.
//
// The text names the object and the system's own message from FormatMessage, "COM3: The
// system cannot find the file specified", and, where those words are jargon, says in plain
// words what they mean. Callers pass GetLastError() on the line of the call that failed,
// before anything else can change it. Callable from any thread.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace keltrove {

// "<object>: <message>", or "<object>: <what>: <message>" when `what` is given; `object`
// is a port, and the plain words speak of ports.
std::string DescribeSystemError(std::string_view object, DWORD error, std::string_view what = {});
// The same for a file or a folder: the plain words speak of files.
std::string DescribeFileError(std::string_view path, DWORD error, std::string_view what = {});

// The system's message for `error`, followed by plain words (of ports) where it is jargon.
std::string SystemMessage(DWORD error);

// UTF-8 to the UTF-16 of the wide API, and back: every text the program handles is UTF-8.
std::wstring Widen(std::string_view text);
std::string Narrow(std::wstring_view text);

}  // namespace keltrove
