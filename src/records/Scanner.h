#pragma once

#include <QImage>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace records {

// The scanner interface of the platform, as the scanning window uses it.
class Scanner {
public:
    enum class Status { Ok, InitFailed, Cancelled, Failed };
    struct Device {
        QString name;  // what acquire() takes
        QString label; // what the operator sees
    };
    struct Scan {
        Status status = Status::Failed;
        QImage picture;
    };

    virtual ~Scanner() = default;
    // False when the scanner interface cannot be used at all; the window then does not open.
    virtual bool initialise() = 0;
    virtual std::vector<Device> devices() = 0;
    // Scans one picture from the device; may run on a worker thread. `goOn` is asked now and then
    // while it reads: false tells the device to stop, and the scan ends as Cancelled.
    virtual Scan acquire(const QString& device, const std::function<bool()>& goOn) = 0;
};

// SANE: initialised here, left again when the object goes.
std::unique_ptr<Scanner> makeSaneScanner();

} // namespace records
