#pragma once

#include <QPageLayout>
#include <QString>

#include <memory>

class QIODevice;

namespace quillmap {

class PrinterDevice;

// The platform's printers and PDF writer, as the print jobs (PrintJob.h) need them. The
// platform's print adapter implements it; the window and quillmap_list hand theirs to the jobs.
//
// Contract: printLayout() is the paper and margins of every print and PDF of the tree (the
// default printer's paper with this program's margins as that printer can print them, else the
// locale's paper); localeLayout() the same on the locale's paper whatever printer there is.
// newPdfDevice() gives a device that writes one PDF document named `title` into `out`, which
// is open and outlives the device; `outputName` names the file in its messages.
// newPrinterDevice() gives a device for one job named `title` on the printer `printerName`, or
// null with `error` set when there is no such printer; the job is handed to the print system
// when the device's document ends, and withdrawn by PrinterDevice::abort().
// newCountingDevice() gives a device that lays the pages out on `layout` as the other two do
// and draws nothing, to count them. Devices are used on the thread that made them.
class PrintBackend
{
public:
    virtual ~PrintBackend() = default;

    // The name of the system's default printer; empty when there is none.
    virtual QString defaultPrinterName() const = 0;
    virtual QPageLayout printLayout() const = 0;
    virtual QPageLayout localeLayout() const = 0;
    virtual std::unique_ptr<PrinterDevice> newPdfDevice(QIODevice& out, const QPageLayout& layout,
                                                        const QString& title,
                                                        const QString& outputName) = 0;
    virtual std::unique_ptr<PrinterDevice>
    newPrinterDevice(const QString& printerName, const QString& title, QString* error) = 0;
    virtual std::unique_ptr<PrinterDevice> newCountingDevice(const QPageLayout& layout) = 0;
};

} // namespace quillmap
