#pragma once

#include <QString>

namespace quillmap {

// The C library's text for the system error number `error`, in the language of the user's
// LC_MESSAGES where the C library has one (the program sets its locale from the environment
// at start-up). Thread-safe, unlike strerror().
QString SystemErrorText(int error);

} // namespace quillmap
