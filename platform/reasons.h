#pragma once
// Why the engine failed, in Turkish, for any window that tells the user. The engine's messages stay in
// English (the command line prints them); the file errors it can tell apart are told apart here too.

#include "core/result.h"

#include <QString>

namespace platform {

// A sentence for error: by what the engine found where a user can act on it (a read-only file, a link, a
// full disk), otherwise by its number.
QString TurkishReason(const core::Error& error);

}  // namespace platform
