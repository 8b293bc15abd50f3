#pragma once

#include <QByteArray>

namespace quillmap {

// Leaves no temporary file behind when SIGHUP, SIGINT or SIGTERM ends the program: the
// handler removes every file registered, then the signal does what it did before (by default
// ends the program). A signal that comes while content is being copied into a target (which
// must not be left half old, half new) waits until the copy ends.
//
// Contract: registerTemp() the file `name` in the open folder `folder` once it exists, and
// unregisterTemp() the slot it gave before removing or renaming it (a slot of -1, when more than
// 64 files are being written at once, is not cleaned up). beginCopy() and endCopy() come in
// pairs around a copy into a target. Safe from any thread; the handlers are installed at the
// first call.
class SignalCleanup
{
public:
    static int registerTemp(int folder, const QByteArray& name);
    static void unregisterTemp(int slot);
    static void beginCopy();
    static void endCopy();
};

} // namespace quillmap
