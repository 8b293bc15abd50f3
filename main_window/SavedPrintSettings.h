#pragma once

#include "printing/PrintSettings.h"

namespace quillmap {

// The print settings the user chose last (in the print dialog, the preview or Save as PDF),
// kept in the user's settings of this program (~/.config/quillmap-printer/); the defaults
// (PrintSettings) until a first choice, and for values that are out of range.
class SavedPrintSettings
{
public:
    static PrintSettings load();
    static void save(const PrintSettings& settings);
};

} // namespace quillmap
