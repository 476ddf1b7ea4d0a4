// The configuration stage: "qs_sys.ini" in the current directory.
//
// The file is Base64 text (read by Base64Decode, up to its first NUL byte);
// decoded, it holds the client identifier, a TAB and ignored bytes.
#pragma once

#include <string>

class Splash;

// The client identifier in the decoded text `decoded`: the bytes before its
// first TAB, unchanged and possibly empty. false when there is no TAB.
bool ExtractClientIdentifier(const std::string& decoded, std::string* identifier);

// Opens "qs_sys.ini" (GENERIC_READ, no sharing, OPEN_EXISTING), reads it once
// into a zeroed buffer one byte longer than the file, decodes the text up to
// the first NUL and returns the identifier. Throws os::OsError (or
// std::bad_alloc) when the file cannot be opened or sized; calls FailFatal with
// the configuration message itself when the decoded bytes hold no TAB.
std::string ReadClientIdentifier(Splash& splash);
